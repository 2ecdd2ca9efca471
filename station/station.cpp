#include "station/station.h"

#include <algorithm>
#include <utility>

#include "station/read_blk.h"

namespace torv {

using bytes::kAddressHigh;
using bytes::kAlarmBuzzer;
using bytes::kAutoHoursDone;
using bytes::kAutoStartStop;
using bytes::kAutoStep;
using bytes::kBaudSet;
using bytes::kResetCounter;
using bytes::kSlaveAddress;
using bytes::kTempDry;

// Collects the exchanges of one operation into its result, passing each on to
// whoever watched the line before (a bus monitor, an outer operation).
class Station::Recording {
public:
    Recording(Station& station, Result& result, std::uint8_t address)
        : station_(station), result_(result), previous_(std::move(station.link_.onTransaction)),
          outermost_(station.recordings_++ == 0)
    {
        result_.address = address;
        station_.link_.onTransaction = [this](const ModbusLink::Transaction& t) {
            Exchange e;
            e.function = t.function;
            e.address = t.address;
            e.start = t.start;
            e.count = t.count;
            e.outcome = t.outcome;
            e.reported = station_.reporting_;
            if (t.function == 0x03 && t.ok && t.reply.size() >= 3)
                std::copy_n(t.reply.begin() + 3, std::min({std::size_t{2u} * t.count, e.data.size(), t.reply.size() - 3}),
                            e.data.begin());
            result_.exchanges.push_back(e);
            if (previous_)
                previous_(t);
            // Told once, by the operation the caller started.
            if (outermost_ && e.reported && !e.ok() && station_.onReportedFailure)
                station_.onReportedFailure(e);
        };
    }
    ~Recording()
    {
        station_.link_.onTransaction = std::move(previous_);
        --station_.recordings_;
        result_.ok = station_.ReplyOk;
        result_.row = station_.link_.image.row(result_.address);
    }
    Recording(const Recording&) = delete;
    Recording& operator=(const Recording&) = delete;

private:
    Station& station_;
    Result& result_;
    std::function<void(const ModbusLink::Transaction&)> previous_;
    bool outermost_;
};

// Runs `work` with its exchanges recorded; the recording is finished (the
// state and row filled in) before the result leaves.
template <class R, class Work>
R Station::recorded(std::uint8_t address, Work&& work)
{
    R result;
    {
        Recording recording(*this, result, address);
        work(result);
    }
    return result;
}

void Station::read(std::uint8_t address, int start, int count, bool reported)
{
    reporting_ = reported;
    const auto first = static_cast<std::uint8_t>(start);
    ReplyOk = link_.Read_Modbus_Byte(address, first, static_cast<std::uint8_t>(count)).ok();
    reporting_ = false;
}

void Station::write(std::uint8_t address, int byte)
{
    const auto start = static_cast<std::uint8_t>(byte);
    ReplyOk = link_.Load_Modbus_Byte(address, start, link_.imageWord(address, start)).ok();
}

void Station::blockRead(std::uint8_t address, bool reported)
{
    // Only its first failure is boxed: it stops sending there.
    reporting_ = reported;
    const bool whole = Read_Blk(link_, address);
    reporting_ = false;
    // It stops at its first failure: whole means its last read was answered.
    ReplyOk = whole;
    if (whole)
        wholeRead_[address] = true;
}

Result Station::readModule(std::uint8_t address, bool reported)
{
    return recorded<Result>(address, [&](Result&) { blockRead(address, reported); });
}

Result Station::scan(std::uint8_t address, const std::function<bool()>& stop)
{
    return recorded<Result>(address, [&](Result& result) {
        const auto stopped = [&] { return result.stopped = stop && stop(); };
        read(address, kAutoStep, 4, false);
        if (stopped())
            return;
        link_.DelayMs(5);
        read(address, kAutoHoursDone, 2, false);
        if (stopped())
            return;
        link_.DelayMs(5);
        if (ReplyOk)
            read(address, kTempDry, 8, false);
    });
}

Result Station::probe(std::uint8_t address)
{
    return recorded<Result>(address, [&](Result&) {
        read(address, kAddressHigh, 1, false);
        link_.DelayMs(5);
    });
}

BusTestResult Station::busTest(const std::function<void(const BusTestStep&)>& onStep)
{
    return recorded<BusTestResult>(0, [&](BusTestResult& result) {
        for (int a = 1; a <= kMaxAddress; ++a) {
            const auto address = static_cast<std::uint8_t>(a);
            read(address, kAddressHigh, 2, false);
            if (ReplyOk)
                blockRead(address);
            const bool found = ReplyOk;
            if (found)
                result.found.push_back(address);
            if (onStep)
                onStep({address, found, link_.image.row(address)});
        }
        // A line that answered anywhere lets the next setting change be written.
        if (!result.found.empty())
            ReplyOk = true;
    });
}

Result Station::writeAlarm(std::uint8_t address, bool on)
{
    return recorded<Result>(address, [&](Result&) {
        std::uint8_t& alarm = link_.image.at(address, kAlarmBuzzer);
        // Any non-zero byte means "on": a controller holding 2 is not rewritten as 1.
        if ((alarm != 0) == on)
            return;
        alarm = on ? 1 : 0;
        write(address, kAlarmBuzzer);
        link_.DelayMs(5);
        read(address, kAlarmBuzzer, 2, false);
    });
}

Result Station::setByte(std::uint8_t address, int byte, std::uint8_t value)
{
    return recorded<Result>(address, [&](Result&) {
        std::uint8_t& stored = link_.image.at(address, byte);
        if (stored == value || !ReplyOk)
            return;
        stored = value;
        write(address, byte);
        link_.DelayMs(10);
        read(address, byte, 2, false);
    });
}

WriteBackResult Station::writeBack(std::uint8_t address, const WriteBackRequest& request)
{
    return recorded<WriteBackResult>(address, [&](WriteBackResult& result) {
        result.finalAddress = address;
        read(address, kAddressHigh, 1, true);
        link_.DelayMs(5);

        const std::uint8_t oldAddress = link_.image.at(address, kSlaveAddress);
        if (request.newAddress && *request.newAddress != oldAddress && request.confirmAddressChange &&
            request.confirmAddressChange(oldAddress)) {
            const std::uint8_t newAddress = *request.newAddress;
            link_.image.at(address, kAddressHigh) = 0;
            link_.image.at(address, kSlaveAddress) = newAddress;
            write(address, kAddressHigh);
            link_.DelayMs(10);
            result.moved = ReplyOk;
            if (result.moved) {
                // The controller keeps its memory under the new address; so
                // does the image, or the rows below would carry another row's
                // bytes as their other halves.
                link_.image.row(newAddress) = link_.image.row(address);
                wholeRead_[newAddress] = wholeRead_[address];
                address = newAddress;
                result.finalAddress = newAddress;
                result.address = newAddress; // the row afterwards is the new address's
            }
            if (request.addressWritten)
                request.addressWritten(result.moved);
            read(address, kAddressHigh, 2, false);
            if (result.moved && ReplyOk && request.addressConfirmed)
                request.addressConfirmed();
        }

        const auto stopped = [&] { return result.stopped = request.stop && request.stop(); };
        for (const ByteWrite& row : request.rows) {
            if (stopped())
                return;
            setByte(address, row.byte, row.value);
        }
        stopped();
    });
}

Result Station::requestReset(std::uint8_t address)
{
    return recorded<Result>(address, [&](Result&) {
        std::uint8_t& counter = link_.image.at(address, kResetCounter);
        counter = static_cast<std::uint8_t>(counter + 1);
        link_.DelayMs(10);
        write(address, kResetCounter);
    });
}

Result Station::reset(std::uint8_t address)
{
    return recorded<Result>(address, [&](Result&) {
        // Fresh, so the increment starts from the controller's own count.
        read(address, kResetCounter, 2, true);
        if (ReplyOk)
            requestReset(address);
    });
}

Result Station::changeBaud(std::uint8_t address, int baudIndex)
{
    return recorded<Result>(address, [&](Result&) {
        setByte(address, kBaudSet, static_cast<std::uint8_t>(baudIndex + 1));
        requestReset(address);
    });
}

Result Station::changeParity(std::uint8_t address, int parityIndex)
{
    return recorded<Result>(address, [&](Result&) {
        setByte(address, kResetCounter, static_cast<std::uint8_t>(parityIndex));
        requestReset(address);
    });
}

ProgrammeState Station::readProgrammeState(std::uint8_t address)
{
    ProgrammeState state = recorded<ProgrammeState>(address, [&](ProgrammeState&) {
        read(address, kAutoStep, 2, true);
    });
    state.running = RowByte(state.row, kAutoStep) != 0;
    for (const ProgrammeStep& step : kProgrammeSteps)
        if (RowByte(state.row, step.firstByte) != 0)
            ++state.activeSteps;
    return state;
}

Result Station::programmeCommand(std::uint8_t address)
{
    return recorded<Result>(address, [&](Result&) {
        // The command byte shares its register with the air hysteresis: that
        // half is read first, so a stale copy cannot overwrite the setting.
        read(address, kAutoStartStop, 1, true);
        if (!ReplyOk)
            return;
        // The controller clears the command itself; so does the image, or a
        // later write of the register would carry the 1 and toggle the
        // programme again.
        std::uint8_t& command = link_.image.at(address, kAutoStartStop);
        command = 1;
        write(address, kAutoStartStop);
        command = 0;
    });
}

Result Station::readProgramme(std::uint8_t address)
{
    return recorded<Result>(address, [&](Result&) { read(address, kAutoStep, 4, true); });
}

} // namespace torv
