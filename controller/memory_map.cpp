#include "controller/memory_map.h"

#include <algorithm>
#include <stdexcept>

namespace torv {

namespace {

// One row per byte of the window, in address order. The last two numbers of
// a row are its places in ZAPIS's order and in a parameter set file.
constexpr std::array<MapEntry, kMapSize> kMap{{
    {bytes::kAddressHigh, "AddressHigh", Kind::AddressHigh, {}, {}},
    {bytes::kSlaveAddress, "SlaveAddress", Kind::WholeNumber, {3, 0}, {true, 1, 250}},
    {bytes::kBaudSet, "BaudSet", Kind::BaudSet, {}, {true, 1, 3}},
    {bytes::kBaudCode, "BaudCode", Kind::BaudList, {}, {true, 1, 3}},
    {bytes::kResetCounter, "ResetCounter", Kind::Counter, {}, {true, 0, 255}},
    {101, "", Kind::Unused, {}, {}},
    {102, "", Kind::Unused, {}, {}},
    {103, "", Kind::Unused, {}, {}},
    {bytes::kAutoStep, "AutoStep", Kind::Number, {2, 0}, {true, 0, 10}},
    {bytes::kAutoHoursTotal, "AutoHoursTotal", Kind::Number, {2, 0}, {}},
    {bytes::kSetTemperature, "SetTemperature", Kind::WholeNumber, {3, 0}, {true, 0, 99}, 17, 17},
    {bytes::kSetDifference, "SetDifference", Kind::WholeNumber, {3, 0}, {true, 0, 50}, 18, 18},
    {bytes::kCalibrationT1, "CalibrationT1", Kind::OffsetTenths, {3, 1}, {true, -100, 100}, 1, 1},
    {bytes::kCalibrationT2, "CalibrationT2", Kind::OffsetTenths, {3, 1}, {true, -100, 100}, 2, 2},
    {bytes::kCalibrationT3, "CalibrationT3", Kind::OffsetTenths, {3, 1}, {true, -100, 100}, 3, 3},
    {bytes::kCalibrationT4, "CalibrationT4", Kind::OffsetTenths, {3, 1}, {true, -100, 100}, 4, 4},
    {bytes::kVentOpenTime, "VentOpenTime", Kind::WholeNumber, {3, 0}, {true, 1, 60}, 5, 5},
    {bytes::kVentOpenPause, "VentOpenPause", Kind::WholeNumber, {3, 0}, {true, 1, 60}, 6, 6},
    {bytes::kVentCloseTime, "VentCloseTime", Kind::WholeNumber, {3, 0}, {true, 1, 60}, 7, 7},
    {bytes::kVentClosePause, "VentClosePause", Kind::WholeNumber, {3, 0}, {true, 1, 60}, 8, 8},
    {bytes::kHumidifyTime, "HumidifyTime", Kind::WholeNumber, {3, 0}, {true, 1, 60}, 12, 9},
    {bytes::kHumidifyPause, "HumidifyPause", Kind::List, {}, {true, 0, 108}, 13, 10},
    {bytes::kHumidifyAlarmThreshold, "HumidifyAlarmThreshold", Kind::Tenths, {3, 1}, {true, 0, 100}, 11, 11},
    {bytes::kAutoStartStop, "AutoStartStop", Kind::Command, {}, {}},
    {bytes::kAirHysteresis, "AirHysteresis", Kind::Tenths, {3, 1}, {true, 1, 50}, 9, 12},
    {bytes::kDifferenceHysteresis, "DifferenceHysteresis", Kind::Tenths, {3, 1}, {true, 1, 50}, 10, 13},
    {bytes::kLcdMode, "LcdMode", Kind::List, {}, {true, 0, 2}, 14, 14},
    {bytes::kLcdInfoTime1, "LcdInfoTime1", Kind::WholeNumber, {3, 0}, {true, 1, 30}, 15, 15},
    {bytes::kLcdInfoTime2, "LcdInfoTime2", Kind::WholeNumber, {3, 0}, {true, 1, 30}, 16, 16},
    {bytes::kAlarmBuzzer, "AlarmBuzzer", Kind::Flag, {}, {true, 0, 1}, 0, 19},
    {bytes::kAutoHoursDone, "AutoHoursDone", Kind::Number, {2, 0}, {}},
    {bytes::kOutputBits, "OutputBits", Kind::BitField, {}, {}},
    {ProgrammeByte(1, 0), "StepHours1", Kind::WholeNumber, {2, 0}, {true, 0, 99}, 19, 20},
    {ProgrammeByte(1, 1), "StepTemperature1", Kind::WholeNumber, {2, 0}, {true, 0, 99}, 20, 21},
    {ProgrammeByte(1, 2), "StepDifference1", Kind::WholeNumber, {2, 0}, {true, 0, 50}, 21, 22},
    {ProgrammeByte(2, 0), "StepHours2", Kind::WholeNumber, {2, 0}, {true, 0, 99}, 22, 23},
    {ProgrammeByte(2, 1), "StepTemperature2", Kind::WholeNumber, {2, 0}, {true, 0, 99}, 23, 24},
    {ProgrammeByte(2, 2), "StepDifference2", Kind::WholeNumber, {2, 0}, {true, 0, 50}, 24, 25},
    {ProgrammeByte(3, 0), "StepHours3", Kind::WholeNumber, {2, 0}, {true, 0, 99}, 25, 26},
    {ProgrammeByte(3, 1), "StepTemperature3", Kind::WholeNumber, {2, 0}, {true, 0, 99}, 26, 27},
    {ProgrammeByte(3, 2), "StepDifference3", Kind::WholeNumber, {2, 0}, {true, 0, 50}, 27, 28},
    {ProgrammeByte(4, 0), "StepHours4", Kind::WholeNumber, {2, 0}, {true, 0, 99}, 28, 29},
    {ProgrammeByte(4, 1), "StepTemperature4", Kind::WholeNumber, {2, 0}, {true, 0, 99}, 29, 30},
    {ProgrammeByte(4, 2), "StepDifference4", Kind::WholeNumber, {2, 0}, {true, 0, 50}, 30, 31},
    {ProgrammeByte(5, 0), "StepHours5", Kind::WholeNumber, {2, 0}, {true, 0, 99}, 31, 32},
    {ProgrammeByte(5, 1), "StepTemperature5", Kind::WholeNumber, {2, 0}, {true, 0, 99}, 32, 33},
    {ProgrammeByte(5, 2), "StepDifference5", Kind::WholeNumber, {2, 0}, {true, 0, 50}, 33, 34},
    {ProgrammeByte(6, 0), "StepHours6", Kind::WholeNumber, {2, 0}, {true, 0, 99}, 34, 35},
    {ProgrammeByte(6, 1), "StepTemperature6", Kind::WholeNumber, {2, 0}, {true, 0, 99}, 35, 36},
    {ProgrammeByte(6, 2), "StepDifference6", Kind::WholeNumber, {2, 0}, {true, 0, 50}, 36, 37},
    {ProgrammeByte(7, 0), "StepHours7", Kind::WholeNumber, {2, 0}, {true, 0, 99}, 37, 38},
    {ProgrammeByte(7, 1), "StepTemperature7", Kind::WholeNumber, {2, 0}, {true, 0, 99}, 38, 39},
    {ProgrammeByte(7, 2), "StepDifference7", Kind::WholeNumber, {2, 0}, {true, 0, 50}, 39, 40},
    {ProgrammeByte(8, 0), "StepHours8", Kind::WholeNumber, {2, 0}, {true, 0, 99}, 40, 41},
    {ProgrammeByte(8, 1), "StepTemperature8", Kind::WholeNumber, {2, 0}, {true, 0, 99}, 41, 42},
    {ProgrammeByte(8, 2), "StepDifference8", Kind::WholeNumber, {2, 0}, {true, 0, 50}, 42, 43},
    {ProgrammeByte(9, 0), "StepHours9", Kind::WholeNumber, {2, 0}, {true, 0, 99}, 43, 44},
    {ProgrammeByte(9, 1), "StepTemperature9", Kind::WholeNumber, {2, 0}, {true, 0, 99}, 44, 45},
    {ProgrammeByte(9, 2), "StepDifference9", Kind::WholeNumber, {2, 0}, {true, 0, 50}, 45, 46},
    {ProgrammeByte(10, 0), "StepHours10", Kind::WholeNumber, {2, 0}, {true, 0, 99}, 46, 47},
    {ProgrammeByte(10, 1), "StepTemperature10", Kind::WholeNumber, {2, 0}, {true, 0, 99}, 47, 48},
    {ProgrammeByte(10, 2), "StepDifference10", Kind::WholeNumber, {2, 0}, {true, 0, 50}, 48, 49},
    {158, "", Kind::Unused, {}, {}},
    {159, "", Kind::Unused, {}, {}},
    {bytes::kTempDry, "TempDry", Kind::TemperatureWord, {4, 1}, {}},
    {bytes::kTempDry + 1, "TempDry", Kind::TemperatureWord, {4, 1}, {}, 0, 0, true},
    {bytes::kTempWet, "TempWet", Kind::TemperatureWord, {4, 1}, {}},
    {bytes::kTempWet + 1, "TempWet", Kind::TemperatureWord, {4, 1}, {}, 0, 0, true},
    {bytes::kTempControl1, "TempControl1", Kind::TemperatureWord, {4, 1}, {}},
    {bytes::kTempControl1 + 1, "TempControl1", Kind::TemperatureWord, {4, 1}, {}, 0, 0, true},
    {bytes::kTempControl2, "TempControl2", Kind::TemperatureWord, {4, 1}, {}},
    {bytes::kTempControl2 + 1, "TempControl2", Kind::TemperatureWord, {4, 1}, {}, 0, 0, true},
    {168, "", Kind::Unused, {}, {}},
}};

constexpr bool mapInAddressOrder()
{
    for (std::size_t i = 0; i < kMap.size(); ++i)
        if (kMap[i].byte != kFirstByte + static_cast<int>(i))
            return false;
    return true;
}
static_assert(mapInAddressOrder(), "the map must list bytes 96..168 in order");

// Places 1..N each held by one byte, none beyond N.
template <std::size_t N>
constexpr bool placesComplete(int MapEntry::*place)
{
    std::array<int, N> taken{};
    for (const MapEntry& e : kMap) {
        const int p = e.*place;
        if (p < 0 || p > static_cast<int>(N) || (p > 0 && taken[static_cast<std::size_t>(p - 1)]++ != 0))
            return false;
    }
    return std::find(taken.begin(), taken.end(), 0) == taken.end();
}
// The bytes of places 1..N, in place order.
template <std::size_t N>
constexpr std::array<int, N> bytesInPlaceOrder(int MapEntry::*place)
{
    std::array<int, N> bytes{};
    for (const MapEntry& e : kMap)
        if (e.*place > 0)
            bytes[static_cast<std::size_t>(e.*place - 1)] = e.byte;
    return bytes;
}
static_assert(placesComplete<kWriteBackRows>(&MapEntry::writeBackRow), "write-back places must be 1..48, each once");
static_assert(placesComplete<kParameterSetBytes>(&MapEntry::setPlace), "set places must be 1..49, each once");

constexpr std::array<WriteBackRow, kWriteBackRows> buildWriteBack()
{
    const std::array<int, kWriteBackRows> order = bytesInPlaceOrder<kWriteBackRows>(&MapEntry::writeBackRow);
    std::array<WriteBackRow, kWriteBackRows> rows{};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const MapEntry& e = kMap[static_cast<std::size_t>(order[i] - kFirstByte)];
        rows[i] = WriteBackRow{static_cast<int>(i) + 1, e.byte, e.kind};
    }
    return rows;
}
constexpr std::array<WriteBackRow, kWriteBackRows> kWriteBack = buildWriteBack();
constexpr std::array<int, kParameterSetBytes> kSetBytes = bytesInPlaceOrder<kParameterSetBytes>(&MapEntry::setPlace);

// The set's code takes its first kSetParameterCount bytes as the parameters.
constexpr bool setParametersFirst()
{
    for (std::size_t i = 0; i < kSetBytes.size(); ++i)
        if ((i < kSetParameterCount) != (kSetBytes[i] < bytes::kProgramme) ||
            (i >= kSetParameterCount && kSetBytes[i] != bytes::kProgramme + static_cast<int>(i - kSetParameterCount)))
            return false;
    return true;
}
static_assert(setParametersFirst(), "a set holds its parameters first, then the programme byte by byte");

} // namespace

const std::array<MapEntry, kMapSize>& MemoryMap() { return kMap; }

const MapEntry& MapAt(int byte)
{
    if (byte < kFirstByte || byte > kLastByte)
        throw std::out_of_range("controller byte outside 96..168");
    return kMap[static_cast<std::size_t>(byte - kFirstByte)];
}

const MapEntry* MapByName(std::string_view name)
{
    if (name.empty())
        return nullptr;
    for (const MapEntry& e : kMap)
        if (e.name == name)
            return &e;
    return nullptr;
}

const std::array<WriteBackRow, kWriteBackRows>& WriteBackTable() { return kWriteBack; }

const std::array<int, kParameterSetBytes>& ParameterSetBytes() { return kSetBytes; }

bool InParameterSet(int byte) { return byte >= kFirstByte && byte <= kLastByte && MapAt(byte).setPlace != 0; }

std::string HumidifyPauseText(int index)
{
    const int minutes = index * 10;
    const int m = minutes % 60;
    return std::to_string(minutes / 60) + ":" + (m < 10 ? "0" : "") + std::to_string(m);
}

std::vector<std::string> ListItemsOf(int byte)
{
    if (byte == bytes::kBaudCode)
        return {"19 200 b/s", "9 600 b/s", "4 800 b/s"};
    if (byte == bytes::kLcdMode)
        return {"WYŁĄCZONY", "MIRALUX", "NORDA"};
    if (byte == bytes::kHumidifyPause) {
        std::vector<std::string> items;
        for (int i = 0; i < kHumidifyPauseItems; ++i)
            items.push_back(HumidifyPauseText(i));
        return items;
    }
    return {};
}

} // namespace torv
