#include "files/drying_log.h"

#include <cmath>
#include <ctime>

#include "controller/conversions.h"
#include "controller/humidity.h"
#include "files/json_writer.h"
#include "files/quoted_text.h"
#include "link/local_time.h"
#include "settings/file_target.h"

namespace torv::drying_log {

namespace {

using namespace bytes;

// The lamp masks by the name of their column.
constexpr std::uint8_t kHumidifying = kOutputLamps[0].mask;
constexpr std::uint8_t kHeating = kOutputLamps[1].mask;
constexpr std::uint8_t kVentOpen = kOutputLamps[2].mask;
constexpr std::uint8_t kVentClose = kOutputLamps[3].mask;
static_assert(kHumidifying == 0x08 && kHeating == 0x04 && kVentOpen == 0x02 && kVentClose == 0x01);

const std::vector<std::string_view> kColumns{
    "time",          "address",        "TempDry",        "TempWet",       "TempControl1", "TempControl2",
    "Difference",    "AutoStep",       "AutoHoursDone",  "AutoHoursTotal", "SetTemperature", "SetDifference",
    "Heating",       "Humidifying",    "VentOpen",       "VentClose",     "status"};

int temperatureTenths(const ImageRow& row, int byte)
{
    return TemperatureRaw(RowByte(row, byte), RowByte(row, byte + 1)) - 500;
}

std::string twoDigits(int v)
{
    return std::string(1, static_cast<char>('0' + v / 10)) + static_cast<char>('0' + v % 10);
}

std::string fixed(int value, int scale, int decimals)
{
    const long long a = std::llabs(static_cast<long long>(value));
    std::string frac = std::to_string(a % scale);
    frac.insert(0, static_cast<std::size_t>(decimals) - frac.size(), '0');
    return (value < 0 ? "-" : "") + std::to_string(a / scale) + "." + frac;
}

std::string tenthsText(const std::optional<int>& v) { return v ? fixed(*v, 10, 1) : std::string(); }

// Whole tenths with one decimal, else two: the exact value, no rounding.
std::string hundredthsText(const std::optional<int>& v)
{
    if (!v)
        return {};
    return *v % 10 == 0 ? fixed(*v / 10, 10, 1) : fixed(*v, 100, 2);
}

std::string wholeText(const std::optional<int>& v) { return v ? std::to_string(*v) : std::string(); }

// Unsigned decimal digits only, at most `maxDigits`.
std::optional<int> parseDigits(std::string_view s, std::size_t maxDigits = 9)
{
    if (s.empty() || s.size() > maxDigits)
        return std::nullopt;
    int v = 0;
    for (const char c : s) {
        if (c < '0' || c > '9')
            return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return v;
}

// "-12.5" with 1..maxDecimals decimals, scaled to 10^scaleDecimals units.
std::optional<int> parseFixed(std::string_view s, int maxDecimals, int scaleDecimals)
{
    const bool negative = !s.empty() && s.front() == '-';
    if (negative)
        s.remove_prefix(1);
    const std::size_t dot = s.find('.');
    if (dot == std::string_view::npos)
        return std::nullopt;
    const auto whole = parseDigits(s.substr(0, dot), 6);
    const std::string_view fracText = s.substr(dot + 1);
    const auto frac = parseDigits(fracText, static_cast<std::size_t>(maxDecimals));
    if (!whole || !frac)
        return std::nullopt;
    int scaledFrac = *frac;
    for (std::size_t i = fracText.size(); i < static_cast<std::size_t>(scaleDecimals); ++i)
        scaledFrac *= 10;
    int scale = 1;
    for (int i = 0; i < scaleDecimals; ++i)
        scale *= 10;
    const int v = *whole * scale + scaledFrac;
    return negative ? -v : v;
}

} // namespace

std::optional<std::vector<std::string>> CsvFields(std::string_view line)
{
    std::vector<std::string> fields(1);
    bool quoted = false;
    bool wasQuoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c != '"')
                fields.back() += c;
            else if (i + 1 < line.size() && line[i + 1] == '"')
                fields.back() += line[++i];
            else
                quoted = false;
        } else if (c == ',') {
            fields.emplace_back();
            wasQuoted = false;
        } else if (c == '"' && fields.back().empty() && !wasQuoted) {
            quoted = wasQuoted = true;
        } else if (wasQuoted) {
            return std::nullopt; // text after a closing quote
        } else {
            fields.back() += c;
        }
    }
    if (quoted)
        return std::nullopt;
    return fields;
}

namespace {

int daysInMonth(int year, int month)
{
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

bool fail(std::string* why, std::string text)
{
    if (why)
        *why = std::move(text);
    return false;
}

// Column `name` of `f` into `out`: empty allowed when `optional`.
bool takeTenths(const std::string& text, std::optional<int>& out, bool optional, std::string_view name,
                std::string* why)
{
    if (text.empty())
        return optional || fail(why, std::string(name) + " is empty");
    out = parseFixed(text, 1, 1);
    return out || fail(why, std::string(name) + " is not a temperature: " + EscapedText(text));
}

bool takeWhole(const std::string& text, std::optional<int>& out, int max, std::string_view name, std::string* why)
{
    out = parseDigits(text, 3);
    if (!out || *out > max)
        return fail(why, std::string(name) + " is not a number 0.." + std::to_string(max) + ": " + EscapedText(text));
    return true;
}

} // namespace

LocalTime SystemLocalTime()
{
    const LocalClockTime now = LocalClockTimeOf(std::time(nullptr));
    const std::tm& tm = now.fields;
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, now.utcOffsetMinutes};
}

std::string IsoTime(const LocalTime& t)
{
    const int offset = std::abs(t.utcOffsetMinutes);
    return std::to_string(t.year) + "-" + twoDigits(t.month) + "-" + twoDigits(t.day) + "T" + twoDigits(t.hour) +
           ":" + twoDigits(t.minute) + ":" + twoDigits(t.second) + (t.utcOffsetMinutes < 0 ? "-" : "+") +
           twoDigits(offset / 60) + ":" + twoDigits(offset % 60);
}

std::optional<LocalTime> ParseIsoTime(std::string_view s)
{
    // YYYY-MM-DDTHH:MM:SS+HH:MM
    if (s.size() != 25 || s[4] != '-' || s[7] != '-' || s[10] != 'T' || s[13] != ':' || s[16] != ':' ||
        (s[19] != '+' && s[19] != '-') || s[22] != ':')
        return std::nullopt;
    const auto year = parseDigits(s.substr(0, 4));
    const auto month = parseDigits(s.substr(5, 2));
    const auto day = parseDigits(s.substr(8, 2));
    const auto hour = parseDigits(s.substr(11, 2));
    const auto minute = parseDigits(s.substr(14, 2));
    const auto second = parseDigits(s.substr(17, 2));
    const auto offHours = parseDigits(s.substr(20, 2));
    const auto offMinutes = parseDigits(s.substr(23, 2));
    if (!year || !month || !day || !hour || !minute || !second || !offHours || !offMinutes)
        return std::nullopt;
    // Only times a clock can show: anything else would be drawn at some other
    // moment. Zones run from 12 hours west to 14 hours east; no year 0.
    if (*year < 1 || *month < 1 || *month > 12 || *day < 1 || *day > daysInMonth(*year, *month) || *hour > 23 ||
        *minute > 59 || *second > 59 || *offMinutes > 59)
        return std::nullopt;
    const int offset = (s[19] == '-' ? -1 : 1) * (*offHours * 60 + *offMinutes);
    if (offset < -12 * 60 || offset > 14 * 60)
        return std::nullopt;
    return LocalTime{*year, *month, *day, *hour, *minute, *second, offset};
}

Row MeasurementRow(int address, const ImageRow& row, Status status, const LocalTime& time)
{
    Row r;
    r.time = time;
    r.address = address;
    r.status = status;
    if (status == Status::Failed)
        return r;
    r.tempDry = temperatureTenths(row, kTempDry);
    r.tempWet = temperatureTenths(row, kTempWet);
    if (RowByte(row, kLcdMode) != 0) {
        r.tempControl1 = temperatureTenths(row, kTempControl1);
        r.tempControl2 = temperatureTenths(row, kTempControl2);
    }
    // A multiple of 0.05 degrees: x 100 and rounding only drops the binary error.
    r.difference = static_cast<int>(std::lround(HumidityDifference(row) * 100.0));
    r.autoStep = RowByte(row, kAutoStep);
    r.autoHoursDone = RowByte(row, kAutoHoursDone);
    r.autoHoursTotal = RowByte(row, kAutoHoursTotal);
    r.setTemperature = RowByte(row, kSetTemperature);
    r.setDifference = RowByte(row, kSetDifference);
    const std::uint8_t bits = RowByte(row, kOutputBits);
    r.heating = (bits & kHeating) != 0 ? 1 : 0;
    r.humidifying = (bits & kHumidifying) != 0 ? 1 : 0;
    r.ventOpen = (bits & kVentOpen) != 0 ? 1 : 0;
    r.ventClose = (bits & kVentClose) != 0 ? 1 : 0;
    return r;
}

const std::vector<std::string_view>& Columns() { return kColumns; }

std::string HeaderLine()
{
    std::string line;
    for (const std::string_view c : kColumns)
        line += (line.empty() ? "" : ",") + std::string(c);
    return line;
}

std::vector<std::string> RowFields(const Row& r)
{
    std::vector<std::string> fields{IsoTime(r.time),
                                    std::to_string(r.address),
                                    tenthsText(r.tempDry),
                                    tenthsText(r.tempWet),
                                    tenthsText(r.tempControl1),
                                    tenthsText(r.tempControl2),
                                    hundredthsText(r.difference),
                                    wholeText(r.autoStep),
                                    wholeText(r.autoHoursDone),
                                    wholeText(r.autoHoursTotal),
                                    wholeText(r.setTemperature),
                                    wholeText(r.setDifference),
                                    wholeText(r.heating),
                                    wholeText(r.humidifying),
                                    wholeText(r.ventOpen),
                                    wholeText(r.ventClose),
                                    r.status == Status::Ok ? "ok" : "failed"};
    return fields;
}

JsonType FieldJsonType(std::string_view column, std::string_view field)
{
    if (field.empty())
        return JsonType::Null;
    return column == "time" || column == "status" ? JsonType::String : JsonType::Number;
}

void WriteRowJson(JsonWriter& json, const Row& row)
{
    const std::vector<std::string> fields = RowFields(row);
    for (std::size_t i = 0; i < kColumns.size(); ++i) {
        json.key(kColumns[i]);
        switch (FieldJsonType(kColumns[i], fields[i])) {
        case JsonType::Null: json.null(); break;
        case JsonType::String: json.string(fields[i]); break;
        case JsonType::Number: json.number(fields[i]); break;
        }
    }
}

std::string FormatRow(const Row& r)
{
    const std::vector<std::string> fields = RowFields(r);
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i)
        line += (i == 0 ? "" : ",") + fields[i];
    return line;
}

std::optional<Row> ParseRow(std::string_view line, std::string* why)
{
    const auto split = CsvFields(line);
    if (!split) {
        fail(why, "unbalanced quotes");
        return std::nullopt;
    }
    const std::vector<std::string>& f = *split;
    if (f.size() != kColumns.size()) {
        fail(why, std::to_string(f.size()) + " columns instead of " + std::to_string(kColumns.size()));
        return std::nullopt;
    }
    Row r;
    const auto time = ParseIsoTime(f[0]);
    if (!time) {
        fail(why, "time is not a local ISO 8601 time with offset: " + EscapedText(f[0]));
        return std::nullopt;
    }
    r.time = *time;
    const auto address = parseDigits(f[1], 3);
    if (!address || *address > 255) {
        fail(why, "address is not 0..255: " + EscapedText(f[1]));
        return std::nullopt;
    }
    r.address = *address;
    const std::string& status = f[16];
    if (status == "failed") {
        r.status = Status::Failed;
        for (std::size_t i = 2; i < 16; ++i)
            if (!f[i].empty()) {
                fail(why, "a failed scan with a value in " + std::string(kColumns[i]));
                return std::nullopt;
            }
        return r;
    }
    if (status != "ok") {
        fail(why, "status is neither ok nor failed: " + EscapedText(status));
        return std::nullopt;
    }
    r.status = Status::Ok;
    bool ok = takeTenths(f[2], r.tempDry, false, kColumns[2], why) &&
              takeTenths(f[3], r.tempWet, false, kColumns[3], why) &&
              takeTenths(f[4], r.tempControl1, true, kColumns[4], why) &&
              takeTenths(f[5], r.tempControl2, true, kColumns[5], why);
    if (ok) {
        r.difference = parseFixed(f[6], 2, 2);
        ok = r.difference || fail(why, "Difference is not a number: " + EscapedText(f[6]));
    }
    std::optional<int>* wholes[] = {&r.autoStep, &r.autoHoursDone, &r.autoHoursTotal, &r.setTemperature,
                                    &r.setDifference};
    for (std::size_t i = 0; ok && i < std::size(wholes); ++i)
        ok = takeWhole(f[7 + i], *wholes[i], 255, kColumns[7 + i], why);
    std::optional<int>* bits[] = {&r.heating, &r.humidifying, &r.ventOpen, &r.ventClose};
    for (std::size_t i = 0; ok && i < std::size(bits); ++i)
        ok = takeWhole(f[12 + i], *bits[i], 1, kColumns[12 + i], why);
    if (!ok)
        return std::nullopt;
    return r;
}

std::string FileName(int address, const LocalTime& t)
{
    std::string a = std::to_string(address);
    a.insert(0, a.size() < 3 ? 3 - a.size() : 0, '0');
    return "komora-" + a + "-" + std::to_string(t.year) + "-" + twoDigits(t.month) + "-" + twoDigits(t.day) + ".csv";
}

void WalkLogLines(std::string_view text, std::string_view header,
                  const std::function<std::optional<std::string>(std::string_view line)>& take,
                  std::vector<SkippedLine>& skipped)
{
    std::size_t number = 0;
    while (!text.empty()) {
        ++number;
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) {
            skipped.push_back({number, std::string(text), "torn: the line has no line break"});
            break;
        }
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (number == 1 && line == header)
            continue;
        if (std::optional<std::string> why = take(line))
            skipped.push_back({number, std::string(line), std::move(*why)});
    }
}

Contents ParseLog(std::string_view text)
{
    Contents c;
    WalkLogLines(
        text, HeaderLine(),
        [&c](std::string_view line) -> std::optional<std::string> {
            std::string why;
            if (auto row = ParseRow(line, &why)) {
                c.rows.push_back(*row);
                return std::nullopt;
            }
            return why;
        },
        c.skipped);
    return c;
}

std::optional<Contents> ReadLog(const std::string& path, std::string* error)
{
    // A day at one line a second is under 10 MB; a FIFO or a device under
    // the day's name would keep the chart waiting for ever.
    constexpr std::size_t kMaxLogBytes = 64u << 20;
    const files::Contents file = files::ReadRegularFile(path, kMaxLogBytes);
    if (!file.ok()) {
        if (error)
            *error = files::RefusalText(file.refusal, file.type, file.error);
        return std::nullopt;
    }
    return ParseLog(file.bytes);
}

} // namespace torv::drying_log
