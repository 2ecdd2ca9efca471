#include "monitor/bus_monitor.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "controller/conversions.h"
#include "controller/memory_map.h"
#include "link/crc16.h"
#include "link/frame_text.h"
#include "link/local_time.h"

namespace torv::bus_monitor {

namespace {

constexpr std::uint8_t kRead = 0x03;
constexpr std::uint8_t kWrite = 0x06;
using namespace bytes;

// The names the window gives the bytes: the parameter captions (P1..P17)
// and the programme's columns, so the monitor speaks as the window does.
struct Label {
    int byte;
    const char* text;
};
constexpr Label kLabels[] = {
    {kSlaveAddress, "adres"},
    {kBaudCode, "szybkość"},
    {kResetCounter, "licznik resetów"},
    {kAutoStep, "krok"},
    {kAutoHoursTotal, "godz. razem"},
    {kSetTemperature, "T zadana"},
    {kSetDifference, "dT zadana"},
    {kCalibrationT1, "P10"},
    {kCalibrationT2, "P11"},
    {kCalibrationT3, "P12"},
    {kCalibrationT4, "P13"},
    {kVentOpenTime, "P1"},
    {kVentOpenPause, "P2"},
    {kVentCloseTime, "P3"},
    {kVentClosePause, "P4"},
    {kHumidifyTime, "P6"},
    {kHumidifyPause, "P7"},
    {kHumidifyAlarmThreshold, "P5"},
    {kAirHysteresis, "P8"},
    {kDifferenceHysteresis, "P9"},
    {kLcdMode, "P14"},
    {kLcdInfoTime1, "P15"},
    {kLcdInfoTime2, "P16"},
    {kAlarmBuzzer, "P17"},
    {kAutoHoursDone, "godz. wykonane"},
    {kOutputBits, "wyjścia"},
    {kTempDry, "T suchy"},
    {kTempWet, "T mokry"},
    {kTempControl1, "T kontr.1"},
    {kTempControl2, "T kontr.2"},
};

std::string labelOf(int byte)
{
    for (const Label& l : kLabels)
        if (l.byte == byte)
            return l.text;
    for (const ProgrammeStep& step : kProgrammeSteps)
        if (byte >= step.firstByte && byte < step.firstByte + 3) {
            static constexpr const char* kColumns[] = {" czas", " T", " dT"};
            return "Pr" + std::to_string(step.step) + kColumns[byte - step.firstByte];
        }
    return {};
}

// Tenths with a decimal comma: -15 -> "-1,5".
std::string tenths(int value)
{
    const int magnitude = value < 0 ? -value : value;
    return (value < 0 ? "-" : "") + std::to_string(magnitude / 10) + "," + std::to_string(magnitude % 10);
}

std::string listItem(int byte, int index)
{
    const std::vector<std::string> items = ListItemsOf(byte);
    if (index < 0 || index >= static_cast<int>(items.size()))
        return "?";
    return items[static_cast<std::size_t>(index)];
}

// The set values and the programme's temperatures are whole degrees.
bool inDegrees(int byte)
{
    const int programme = byte - kProgrammeSteps.front().firstByte;
    return byte == kSetTemperature || byte == kSetDifference ||
           (programme >= 0 && programme < 3 * static_cast<int>(kProgrammeSteps.size()) && programme % 3 != 0);
}

// A byte as the controller means it; `next` is the byte after it, for a temperature word.
std::string valueText(int byte, std::uint8_t value, std::optional<std::uint8_t> next)
{
    if (byte < kFirstByte || byte > kLastByte)
        return std::to_string(value);
    const MapEntry& e = MapAt(byte);
    switch (e.kind) {
    case Kind::Tenths: return tenths(value);
    case Kind::OffsetTenths: return tenths(value - 100);
    case Kind::List: return listItem(byte, value);
    case Kind::BaudList: return listItem(byte, value - 1);
    case Kind::BaudSet: return listItem(kBaudCode, value - 1);
    case Kind::Flag: return value ? "tak" : "nie";
    case Kind::TemperatureWord:
        return next ? tenths(TemperatureRaw(value, *next) - 500) + " °C" : "?";
    case Kind::BitField: {
        std::string lamps;
        for (const OutputLamp& lamp : kOutputLamps)
            if (value & lamp.mask)
                lamps += (lamps.empty() ? "" : "+") + std::string(lamp.caption);
        return lamps.empty() ? "—" : lamps;
    }
    case Kind::WholeNumber:
    case Kind::Number: return std::to_string(value) + (inDegrees(byte) ? " °C" : "");
    default: return std::to_string(value);
    }
}

std::string range(int start, int count) { return std::to_string(start) + ".." + std::to_string(start + 2 * count - 1); }

std::string requestMeaning(const Frame& f)
{
    if (f.function == kRead)
        return "odczyt " + range(f.start, f.count);
    if (f.function != kWrite || f.keptBytes < 6)
        return "funkcja " + std::to_string(f.function);
    const std::uint8_t high = f.bytes[4], low = f.bytes[5];
    switch (f.start) {
    case kAddressHigh: return "zmiana adresu " + std::to_string(f.address) + " → " + std::to_string(low);
    case kBaudSet: return "zmiana szybkości → " + valueText(kBaudSet, high, std::nullopt);
    case kResetCounter: return "reset (bajt " + std::to_string(kResetCounter) + " := " + std::to_string(high) + ")";
    case kAutoStartStop:
        if (high == 1)
            return "start/stop programu";
        break;
    default: break;
    }
    const std::string label = labelOf(f.start);
    const std::string where = "(bajt " + std::to_string(f.start) + ")";
    if (label.empty())
        return "zapis " + std::to_string(high) + " " + where;
    return "zapis " + label + " := " + valueText(f.start, high, low) + " " + where;
}

// The values a good read reply brought, named as the window names them.
std::string replyValues(const Frame& f)
{
    std::string out;
    const int dataBytes = std::min<int>(2 * f.count, static_cast<int>(f.keptBytes) - 5);
    for (int i = 0; i < dataBytes; ++i) {
        const int byte = f.start + i;
        if (byte >= kFirstByte && byte <= kLastByte && MapAt(byte).lowByte)
            continue;
        const std::string label = labelOf(byte);
        if (label.empty())
            continue;
        const std::optional<std::uint8_t> next =
            i + 1 < dataBytes ? std::optional<std::uint8_t>(f.bytes[static_cast<std::size_t>(4 + i)]) : std::nullopt;
        out += (out.empty() ? "" : ", ") + label + " " + valueText(byte, f.bytes[static_cast<std::size_t>(3 + i)], next);
    }
    return out.empty() ? "bez nazwanych wartości" : out;
}

std::string exceptionName(std::uint8_t code)
{
    switch (code) {
    case 1: return "niedozwolona funkcja";
    case 2: return "niedozwolony adres danych";
    case 3: return "niedozwolona wartość danych";
    case 4: return "awaria urządzenia";
    case 6: return "urządzenie zajęte";
    default: return "nieznany kod";
    }
}

Frame frameOf(std::uint64_t atUs, Direction direction, std::span<const std::uint8_t> bytes, std::size_t total)
{
    Frame f;
    f.atUs = atUs;
    f.direction = direction;
    f.keptBytes = static_cast<std::uint8_t>(std::min(bytes.size(), kKeptBytes));
    f.totalBytes = static_cast<std::uint32_t>(std::max(total, static_cast<std::size_t>(f.keptBytes)));
    std::copy_n(bytes.begin(), f.keptBytes, f.bytes.begin());
    return f;
}

} // namespace

void FrameRing::push(const Frame& frame)
{
    if (frames_.size() < capacity_)
        frames_.push_back(frame);
    else
        frames_[static_cast<std::size_t>(end_ % capacity_)] = frame;
    ++end_;
    if (end_ - first_ > capacity_)
        first_ = end_ - capacity_;
}

Outcome Classify(const ModbusLink::Transaction& t, std::uint8_t* exceptionCode)
{
    using LinkOutcome = ModbusLink::Outcome;
    switch (t.outcome) {
    case LinkOutcome::Ok: return Outcome::Ok;
    case LinkOutcome::NoReply: return Outcome::NoReply;
    case LinkOutcome::BadCrc: return Outcome::CrcError;
    case LinkOutcome::Noise: return Outcome::Noise;
    case LinkOutcome::BadHeader: break;
    }
    // An exception reply: address, function | 0x80, code, CRC.
    const auto& r = t.reply;
    if (r.size() == 5 && r[0] == t.address && r[1] == (t.function | 0x80) && crc16(r.data(), 3) == (r[3] | r[4] << 8)) {
        if (exceptionCode)
            *exceptionCode = r[2];
        return Outcome::Exception;
    }
    return Outcome::WrongHeader;
}

void Recorder::transaction(const ModbusLink::Transaction& t)
{
    Frame request = frameOf(t.sentUs, Direction::Request, t.request, t.request.size());
    request.address = t.address;
    request.function = t.function;
    request.start = t.start;
    request.count = t.count;
    ring_.push(request);

    Frame reply = frameOf(t.judgedUs, Direction::Reply, t.reply, t.replyBytes);
    reply.address = t.address;
    reply.function = t.function;
    reply.start = t.start;
    reply.count = t.count;
    reply.outcome = Classify(t, &reply.exceptionCode);
    ring_.push(reply);

    AddressStats& s = stats_[t.address];
    ++s.requests;
    switch (reply.outcome) {
    case Outcome::Ok:
        ++s.good;
        s.lastGoodUs = t.judgedUs;
        break;
    case Outcome::NoReply: ++s.noReply; break;
    case Outcome::CrcError: ++s.crcErrors; break;
    case Outcome::WrongHeader: ++s.headerErrors; break;
    case Outcome::Exception: ++s.exceptions; break;
    case Outcome::Noise: ++s.noise; break;
    default: break;
    }
    ++statsGeneration_;
}

void Recorder::discard(const ModbusLink::Discard& d)
{
    Frame f = frameOf(d.atUs, Direction::Dropped, d.bytes, d.total);
    f.outcome = Outcome::Late;
    f.address = f.keptBytes ? f.bytes[0] : 0;
    ring_.push(f);
    if (IsSlaveAddress(f.address)) {
        ++stats_[f.address].late;
        ++statsGeneration_;
    }
}

void Recorder::observe(ModbusLink& link)
{
    link.onTransaction = [this, before = std::move(link.onTransaction)](const ModbusLink::Transaction& t) {
        if (before)
            before(t);
        transaction(t);
    };
    link.onDiscard = [this, before = std::move(link.onDiscard)](const ModbusLink::Discard& d) {
        if (before)
            before(d);
        discard(d);
    };
}

void Recorder::resetStats()
{
    stats_.fill(AddressStats{});
    ++statsGeneration_;
}

std::string Meaning(const Frame& f)
{
    switch (f.direction) {
    case Direction::Request: return requestMeaning(f);
    case Direction::Dropped: return "bajty bez zapytania";
    case Direction::Reply: break;
    }
    switch (f.outcome) {
    case Outcome::Ok:
        if (f.function == kRead)
            return replyValues(f);
        return "potwierdzony zapis (bajt " + std::to_string(f.start) + ")";
    case Outcome::Exception: return "wyjątek " + std::to_string(f.exceptionCode) + ": " + exceptionName(f.exceptionCode);
    default: return {};
    }
}

std::string DirectionText(Direction direction)
{
    switch (direction) {
    case Direction::Request: return "zapytanie";
    case Direction::Reply: return "odpowiedź";
    case Direction::Dropped: return "odrzucone";
    }
    return {};
}

std::string OutcomeText(const Frame& f)
{
    switch (f.outcome) {
    case Outcome::Sent: return {};
    case Outcome::Ok: return "OK";
    case Outcome::NoReply: return "brak odpowiedzi";
    case Outcome::CrcError: return "błąd CRC";
    case Outcome::WrongHeader: return "błędny nagłówek";
    case Outcome::Exception: return "wyjątek Modbus " + std::to_string(f.exceptionCode);
    case Outcome::Noise: return "szum odrzucony";
    case Outcome::Late: return "spóźnione bajty odrzucone";
    }
    return {};
}

std::string HexText(const Frame& f)
{
    std::string s = HexBytes(f.bytes.data(), f.keptBytes);
    if (f.totalBytes > f.keptBytes)
        s += " … (" + std::to_string(f.totalBytes) + " bajtów)";
    return s;
}

std::string ClockText(std::int64_t wallMs)
{
    const std::time_t seconds = static_cast<std::time_t>(wallMs / 1000);
    const std::tm local = LocalClockTimeOf(seconds).fields;
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>(wallMs % 1000));
    return text;
}

std::vector<std::string> TraceLines(const Frame& f, std::uint64_t originUs)
{
    char stamp[32];
    const std::uint64_t ms = f.atUs >= originUs ? (f.atUs - originUs) / 1000 : 0;
    std::snprintf(stamp, sizeof stamp, "%10llu ms  ", static_cast<unsigned long long>(ms));
    const std::string bytes = HexBytes(f.bytes.data(), f.keptBytes);
    std::vector<std::string> lines;
    switch (f.direction) {
    case Direction::Request: lines.push_back(stamp + std::string("in  ") + bytes); break;
    case Direction::Dropped: lines.push_back(stamp + std::string("drop ") + bytes); break;
    case Direction::Reply:
        if (f.outcome == Outcome::Noise) {
            lines.push_back(stamp + std::string("noise ") + std::to_string(f.totalBytes) + " bytes");
            break;
        }
        if (f.keptBytes > 0)
            lines.push_back(stamp + std::string("out ") + bytes);
        switch (f.outcome) {
        case Outcome::NoReply: lines.push_back(stamp + std::string("no reply")); break;
        case Outcome::CrcError: lines.push_back(stamp + std::string("crc error")); break;
        case Outcome::WrongHeader: lines.push_back(stamp + std::string("wrong header")); break;
        case Outcome::Exception:
            lines.push_back(stamp + std::string("exception ") + std::to_string(f.exceptionCode));
            break;
        default: break;
        }
        break;
    }
    return lines;
}

} // namespace torv::bus_monitor
