#include "controller/memory_map.h"

#include <algorithm>
#include <stdexcept>

namespace torv {

namespace {

// One row per byte of the window, in address order. The last two numbers of
// a row are its places in ZAPIS's order and in a parameter set file.
constexpr std::array<MapEntry, kMapSize> kMap{{
    {bytes::kAddressHigh, "AddressHigh", Kind::AddressHigh, {}, {}, Control{}, Control{}, ""},
    {bytes::kSlaveAddress, "SlaveAddress", Kind::WholeNumber, {3, 0}, {true, 1, 250}, controls::Edit(1), controls::UpDown(1), ""},
    {bytes::kBaudSet, "BaudSet", Kind::BaudSet, {}, {true, 1, 3}, Control{}, Control{}, ""},
    {bytes::kBaudCode, "BaudCode", Kind::BaudList, {}, {true, 1, 3}, controls::ComboBox(1), Control{}, ""},
    {bytes::kResetCounter, "ResetCounter", Kind::Counter, {}, {true, 0, 255}, Control{}, Control{}, ""},
    {101, "", Kind::Unused, {}, {}, Control{}, Control{}, ""},
    {102, "", Kind::Unused, {}, {}, Control{}, Control{}, ""},
    {103, "", Kind::Unused, {}, {}, Control{}, Control{}, ""},
    {bytes::kAutoStep, "AutoStep", Kind::Number, {2, 0}, {true, 0, 10}, controls::Label(44), Control{}, ""},
    {bytes::kAutoHoursTotal, "AutoHoursTotal", Kind::Number, {2, 0}, {}, controls::Label(44), Control{}, ""},
    {bytes::kSetTemperature, "SetTemperature", Kind::WholeNumber, {3, 0}, {true, 0, 99}, controls::Edit(16), controls::UpDown(16), "Temperatura zadana", 17, 17},
    {bytes::kSetDifference, "SetDifference", Kind::WholeNumber, {3, 0}, {true, 0, 50}, controls::Edit(17), controls::UpDown(17), "Różnica temp. zadana", 18, 18},
    {bytes::kCalibrationT1, "CalibrationT1", Kind::OffsetTenths, {3, 1}, {true, -100, 100}, controls::Edit(2), controls::UpDown(2), "Kalibracja T1", 1, 1},
    {bytes::kCalibrationT2, "CalibrationT2", Kind::OffsetTenths, {3, 1}, {true, -100, 100}, controls::Edit(6), controls::UpDown(6), "Kalibracja T2", 2, 2},
    {bytes::kCalibrationT3, "CalibrationT3", Kind::OffsetTenths, {3, 1}, {true, -100, 100}, controls::Edit(9), controls::UpDown(9), "Kalibracja T3", 3, 3},
    {bytes::kCalibrationT4, "CalibrationT4", Kind::OffsetTenths, {3, 1}, {true, -100, 100}, controls::Edit(12), controls::UpDown(12), "Kalibracja T4", 4, 4},
    {bytes::kVentOpenTime, "VentOpenTime", Kind::WholeNumber, {3, 0}, {true, 1, 60}, controls::Edit(5), controls::UpDown(5), "Otw.kominka", 5, 5},
    {bytes::kVentOpenPause, "VentOpenPause", Kind::WholeNumber, {3, 0}, {true, 1, 60}, controls::Edit(8), controls::UpDown(8), "Przerwa otw.", 6, 6},
    {bytes::kVentCloseTime, "VentCloseTime", Kind::WholeNumber, {3, 0}, {true, 1, 60}, controls::Edit(11), controls::UpDown(11), "Zamk.kominka", 7, 7},
    {bytes::kVentClosePause, "VentClosePause", Kind::WholeNumber, {3, 0}, {true, 1, 60}, controls::Edit(14), controls::UpDown(14), "Przerwa zamk.", 8, 8},
    {bytes::kHumidifyTime, "HumidifyTime", Kind::WholeNumber, {3, 0}, {true, 1, 60}, controls::Edit(13), controls::UpDown(13), "Czas nawilżania", 12, 9},
    {bytes::kHumidifyPause, "HumidifyPause", Kind::List, {}, {true, 0, 108}, controls::ComboBox(5), Control{}, "Czas przerwy po nawilżaniu", 13, 10},
    {bytes::kHumidifyAlarmThreshold, "HumidifyAlarmThreshold", Kind::Tenths, {3, 1}, {true, 0, 100}, controls::Edit(4), controls::UpDown(4), "Próg alarmu dod. nawilżania", 11, 11},
    {bytes::kAutoStartStop, "AutoStartStop", Kind::Command, {}, {}, Control{}, Control{}, ""},
    {bytes::kAirHysteresis, "AirHysteresis", Kind::Tenths, {3, 1}, {true, 1, 50}, controls::Edit(7), controls::UpDown(7), "Histereza temp. powiertrza", 9, 12},
    {bytes::kDifferenceHysteresis, "DifferenceHysteresis", Kind::Tenths, {3, 1}, {true, 1, 50}, controls::Edit(10), controls::UpDown(10), "Histereza różnicy dT", 10, 13},
    {bytes::kLcdMode, "LcdMode", Kind::List, {}, {true, 0, 2}, controls::ComboBox(4), Control{}, "Tryb LCD", 14, 14},
    {bytes::kLcdInfoTime1, "LcdInfoTime1", Kind::WholeNumber, {3, 0}, {true, 1, 30}, controls::Edit(3), controls::UpDown(3), "Info LCD1", 15, 15},
    {bytes::kLcdInfoTime2, "LcdInfoTime2", Kind::WholeNumber, {3, 0}, {true, 1, 30}, controls::Edit(15), controls::UpDown(15), "Info LCD2", 16, 16},
    {bytes::kAlarmBuzzer, "AlarmBuzzer", Kind::Flag, {}, {true, 0, 1}, controls::CheckBox1, Control{}, "", 0, 19},
    {bytes::kAutoHoursDone, "AutoHoursDone", Kind::Number, {2, 0}, {}, controls::Label(44), Control{}, ""},
    {bytes::kOutputBits, "OutputBits", Kind::BitField, {}, {}, Control{}, Control{}, ""},
    {ProgrammeByte(1, 0), "StepHours1", Kind::WholeNumber, {2, 0}, {true, 0, 99}, controls::Edit(18), controls::UpDown(18), "Czas Pr1", 19, 20},
    {ProgrammeByte(1, 1), "StepTemperature1", Kind::WholeNumber, {2, 0}, {true, 0, 99}, controls::Edit(19), controls::UpDown(19), "Temp Pr1", 20, 21},
    {ProgrammeByte(1, 2), "StepDifference1", Kind::WholeNumber, {2, 0}, {true, 0, 50}, controls::Edit(20), controls::UpDown(20), "dTemp Pr1", 21, 22},
    {ProgrammeByte(2, 0), "StepHours2", Kind::WholeNumber, {2, 0}, {true, 0, 99}, controls::Edit(21), controls::UpDown(21), "Czas Pr2", 22, 23},
    {ProgrammeByte(2, 1), "StepTemperature2", Kind::WholeNumber, {2, 0}, {true, 0, 99}, controls::Edit(22), controls::UpDown(22), "Temp Pr2", 23, 24},
    {ProgrammeByte(2, 2), "StepDifference2", Kind::WholeNumber, {2, 0}, {true, 0, 50}, controls::Edit(23), controls::UpDown(23), "dTemp Pr2", 24, 25},
    {ProgrammeByte(3, 0), "StepHours3", Kind::WholeNumber, {2, 0}, {true, 0, 99}, controls::Edit(24), controls::UpDown(24), "Czas Pr3", 25, 26},
    {ProgrammeByte(3, 1), "StepTemperature3", Kind::WholeNumber, {2, 0}, {true, 0, 99}, controls::Edit(25), controls::UpDown(25), "Temp Pr3", 26, 27},
    {ProgrammeByte(3, 2), "StepDifference3", Kind::WholeNumber, {2, 0}, {true, 0, 50}, controls::Edit(26), controls::UpDown(26), "dTemp Pr3", 27, 28},
    {ProgrammeByte(4, 0), "StepHours4", Kind::WholeNumber, {2, 0}, {true, 0, 99}, controls::Edit(27), controls::UpDown(27), "Czas Pr4", 28, 29},
    {ProgrammeByte(4, 1), "StepTemperature4", Kind::WholeNumber, {2, 0}, {true, 0, 99}, controls::Edit(28), controls::UpDown(28), "Temp Pr4", 29, 30},
    {ProgrammeByte(4, 2), "StepDifference4", Kind::WholeNumber, {2, 0}, {true, 0, 50}, controls::Edit(29), controls::UpDown(29), "dTemp Pr4", 30, 31},
    {ProgrammeByte(5, 0), "StepHours5", Kind::WholeNumber, {2, 0}, {true, 0, 99}, controls::Edit(30), controls::UpDown(30), "Czas Pr5", 31, 32},
    {ProgrammeByte(5, 1), "StepTemperature5", Kind::WholeNumber, {2, 0}, {true, 0, 99}, controls::Edit(31), controls::UpDown(31), "Temp Pr5", 32, 33},
    {ProgrammeByte(5, 2), "StepDifference5", Kind::WholeNumber, {2, 0}, {true, 0, 50}, controls::Edit(32), controls::UpDown(32), "dTemp Pr5", 33, 34},
    {ProgrammeByte(6, 0), "StepHours6", Kind::WholeNumber, {2, 0}, {true, 0, 99}, controls::Edit(33), controls::UpDown(33), "Czas Pr6", 34, 35},
    {ProgrammeByte(6, 1), "StepTemperature6", Kind::WholeNumber, {2, 0}, {true, 0, 99}, controls::Edit(34), controls::UpDown(34), "Temp Pr6", 35, 36},
    {ProgrammeByte(6, 2), "StepDifference6", Kind::WholeNumber, {2, 0}, {true, 0, 50}, controls::Edit(35), controls::UpDown(35), "dTemp Pr6", 36, 37},
    {ProgrammeByte(7, 0), "StepHours7", Kind::WholeNumber, {2, 0}, {true, 0, 99}, controls::Edit(36), controls::UpDown(36), "Czas Pr7", 37, 38},
    {ProgrammeByte(7, 1), "StepTemperature7", Kind::WholeNumber, {2, 0}, {true, 0, 99}, controls::Edit(37), controls::UpDown(37), "Temp Pr7", 38, 39},
    {ProgrammeByte(7, 2), "StepDifference7", Kind::WholeNumber, {2, 0}, {true, 0, 50}, controls::Edit(38), controls::UpDown(38), "dTemp Pr7", 39, 40},
    {ProgrammeByte(8, 0), "StepHours8", Kind::WholeNumber, {2, 0}, {true, 0, 99}, controls::Edit(39), controls::UpDown(39), "Czas Pr8", 40, 41},
    {ProgrammeByte(8, 1), "StepTemperature8", Kind::WholeNumber, {2, 0}, {true, 0, 99}, controls::Edit(40), controls::UpDown(40), "Temp Pr8", 41, 42},
    {ProgrammeByte(8, 2), "StepDifference8", Kind::WholeNumber, {2, 0}, {true, 0, 50}, controls::Edit(41), controls::UpDown(41), "dTemp Pr8", 42, 43},
    {ProgrammeByte(9, 0), "StepHours9", Kind::WholeNumber, {2, 0}, {true, 0, 99}, controls::Edit(42), controls::UpDown(42), "Czas Pr9", 43, 44},
    {ProgrammeByte(9, 1), "StepTemperature9", Kind::WholeNumber, {2, 0}, {true, 0, 99}, controls::Edit(43), controls::UpDown(43), "Temp Pr9", 44, 45},
    {ProgrammeByte(9, 2), "StepDifference9", Kind::WholeNumber, {2, 0}, {true, 0, 50}, controls::Edit(44), controls::UpDown(44), "dTemp Pr9", 45, 46},
    {ProgrammeByte(10, 0), "StepHours10", Kind::WholeNumber, {2, 0}, {true, 0, 99}, controls::Edit(45), controls::UpDown(45), "Czas Pr10", 46, 47},
    {ProgrammeByte(10, 1), "StepTemperature10", Kind::WholeNumber, {2, 0}, {true, 0, 99}, controls::Edit(46), controls::UpDown(46), "Temp Pr10", 47, 48},
    {ProgrammeByte(10, 2), "StepDifference10", Kind::WholeNumber, {2, 0}, {true, 0, 50}, controls::Edit(47), controls::UpDown(47), "dTemp Pr10", 48, 49},
    {158, "", Kind::Unused, {}, {}, Control{}, Control{}, ""},
    {159, "", Kind::Unused, {}, {}, Control{}, Control{}, ""},
    {bytes::kTempDry, "TempDry", Kind::TemperatureWord, {4, 1}, {}, controls::Label(5), Control{}, ""},
    {bytes::kTempDry + 1, "TempDry", Kind::TemperatureWord, {4, 1}, {}, controls::Label(5), Control{}, "", 0, 0, true},
    {bytes::kTempWet, "TempWet", Kind::TemperatureWord, {4, 1}, {}, controls::Label(19), Control{}, ""},
    {bytes::kTempWet + 1, "TempWet", Kind::TemperatureWord, {4, 1}, {}, controls::Label(19), Control{}, "", 0, 0, true},
    {bytes::kTempControl1, "TempControl1", Kind::TemperatureWord, {4, 1}, {}, controls::Label(32), Control{}, ""},
    {bytes::kTempControl1 + 1, "TempControl1", Kind::TemperatureWord, {4, 1}, {}, controls::Label(32), Control{}, "", 0, 0, true},
    {bytes::kTempControl2, "TempControl2", Kind::TemperatureWord, {4, 1}, {}, controls::Label(45), Control{}, ""},
    {bytes::kTempControl2 + 1, "TempControl2", Kind::TemperatureWord, {4, 1}, {}, controls::Label(45), Control{}, "", 0, 0, true},
    {168, "", Kind::Unused, {}, {}, Control{}, Control{}, ""},
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
        rows[i] = WriteBackRow{static_cast<int>(i) + 1, e.byte, e.control, e.kind};
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

const MapEntry* MapByControl(Control control)
{
    if (!control.valid())
        return nullptr;
    for (const MapEntry& e : kMap)
        if (e.control == control && !e.lowByte)
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

std::vector<std::string> ListItems(Control control)
{
    if (control == controls::ComboBox(1))
        return {"19 200 b/s", "9 600 b/s", "4 800 b/s"};
    if (control == controls::ComboBox(4))
        return {"WYŁĄCZONY", "MIRALUX", "NORDA"};
    if (control == controls::ComboBox(5)) {
        std::vector<std::string> items;
        for (int i = 0; i < kHumidifyPauseItems; ++i)
            items.push_back(HumidifyPauseText(i));
        return items;
    }
    return {};
}

} // namespace torv
