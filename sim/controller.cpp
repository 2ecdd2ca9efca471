#include "sim/controller.h"

#include <algorithm>

namespace torv::sim {

namespace {

struct BaudEntry {
    std::uint8_t code;
    unsigned baud;
};
constexpr BaudEntry kBauds[] = {{1, 19200}, {2, 9600}, {3, 4800}};

struct StartByte {
    std::uint8_t at;
    std::uint8_t value;
};
constexpr StartByte kStartMemory[] = {
    {bytes::SetTemperature, 60},  {bytes::SetDifference, 8},
    {bytes::CalibrationT1, 100},  {bytes::CalibrationT1 + 1, 100},
    {bytes::CalibrationT1 + 2, 100}, {bytes::CalibrationT1 + 3, 100},
    {bytes::VentOpenTime, 10},    {bytes::VentOpenPause, 5},
    {bytes::VentCloseTime, 10},   {bytes::VentClosePause, 5},
    {bytes::HumidifyTime, 5},     {bytes::HumidifyPause, 6},
    {bytes::HumidifyAlarmThreshold, 50},
    {bytes::AirHysteresis, 10},   {bytes::DifferenceHysteresis, 10},
    {bytes::LcdMode, 1},          {bytes::LcdInfoTime1, 5},
    {bytes::LcdInfoTime2, 5},     {bytes::AlarmBuzzer, 1},
    // hours, temperature, difference of steps 1..3; later steps unused
    {128, 4}, {129, 50}, {130, 5},
    {131, 6}, {132, 60}, {133, 8},
    {134, 8}, {135, 70}, {136, 12},
};

// Bytes the controller itself maintains.
bool ownedByController(unsigned at)
{
    return at == bytes::BaudCode || at == bytes::AutoStep || at == bytes::AutoHoursTotal
        || at == bytes::AutoHoursDone || at == bytes::OutputBits
        || (at >= bytes::TempDry && at < bytes::TempControl2 + 2u);
}

} // namespace

unsigned baudOfCode(std::uint8_t code)
{
    for (const auto& e : kBauds)
        if (e.code == code)
            return e.baud;
    return 0;
}

std::uint8_t codeOfBaud(unsigned baud)
{
    for (const auto& e : kBauds)
        if (e.baud == baud)
            return e.code;
    return 0;
}

Controller::Controller(std::uint8_t address, std::uint8_t baudCode)
{
    for (const auto& b : kStartMemory)
        memory_[b.at] = b.value;
    memory_[bytes::SlaveAddress] = address;
    memory_[bytes::BaudSet] = baudCode;
    memory_[bytes::BaudCode] = baudCode;
    updateOutputs();
    publishTemperatures();
}

unsigned Controller::baudRate() const
{
    const unsigned baud = baudOfCode(baudCode());
    return baud != 0 ? baud : 9600;
}

std::uint8_t Controller::readRegisters(unsigned start, unsigned count, std::vector<std::uint8_t>& out) const
{
    if (count == 0 || count > 125)
        return 3;
    if (start + 2 * count - 1 > 255)
        return 2;
    out.insert(out.end(), memory_.begin() + start, memory_.begin() + start + 2 * count);
    return 0;
}

std::uint8_t Controller::writeRegister(unsigned reg, std::uint8_t high, std::uint8_t low)
{
    ++writes_;
    if (reg + 1 > 255)
        return 2;
    // An address of 0 (broadcast) or beyond the bus range would lose the controller.
    if (reg == bytes::AddressHigh || reg == bytes::SlaveAddress) {
        const std::uint8_t newAddress = reg == bytes::AddressHigh ? low : high;
        if (newAddress == 0 || newAddress > kMaxSlaveAddress)
            return 3;
    }
    bool restartNow = false;
    storeByte(static_cast<std::uint8_t>(reg), high, true, restartNow);
    storeByte(static_cast<std::uint8_t>(reg + 1), low, false, restartNow);
    if (restartNow)
        restart();
    return 0;
}

void Controller::storeByte(std::uint8_t at, std::uint8_t value, bool highByte, bool& restartNow)
{
    if (ownedByController(at))
        return;
    if (at == bytes::AutoStartStop) {
        // Only the command register itself acts; register 118 carries a copy of this byte.
        if (highByte && value == 1)
            startStopProgramme();
        return;
    }
    if (at == bytes::ResetCounter && memory_[at] != value)
        restartNow = true;
    memory_[at] = value;
}

void Controller::startStopProgramme()
{
    if (programmeRunning()) {
        memory_[bytes::AutoStep] = 0;
        return;
    }
    for (int step = 1; step <= bytes::kSteps; ++step) {
        if (memory_[bytes::stepByte(step, bytes::StepHours)] != 0) {
            programmeUs_ = 0;
            memory_[bytes::AutoStep] = 1;
            memory_[bytes::AutoHoursDone] = 0;
            runProgrammeClock(0, 1.0); // settles step, total and set values
            return;
        }
    }
}

void Controller::restart()
{
    ++restarts_;
    const std::uint8_t wanted = memory_[bytes::BaudSet];
    if (baudOfCode(wanted) != 0)
        memory_[bytes::BaudCode] = wanted;
}

} // namespace torv::sim
