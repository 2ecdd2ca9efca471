#include "controller/memory_map.h"

#include <stdexcept>

namespace torv {

namespace {

// One row per byte of the window, in address order.
constexpr std::array<MapEntry, kMapSize> kMap{{
    {96, "AddressHigh", Kind::AddressHigh, {}, {}, "", "", ""},
    {97, "SlaveAddress", Kind::WholeNumber, {3, 0}, {true, 1, 250}, "Edit1", "UpDown1", ""},
    {98, "BaudSet", Kind::BaudSet, {}, {true, 1, 3}, "", "", ""},
    {99, "BaudCode", Kind::BaudList, {}, {true, 1, 3}, "ComboBox1", "", ""},
    {100, "ResetCounter", Kind::Counter, {}, {true, 0, 255}, "", "", ""},
    {101, "", Kind::Unused, {}, {}, "", "", ""},
    {102, "", Kind::Unused, {}, {}, "", "", ""},
    {103, "", Kind::Unused, {}, {}, "", "", ""},
    {104, "AutoStep", Kind::Number, {2, 0}, {true, 0, 10}, "Label44", "", ""},
    {105, "AutoHoursTotal", Kind::Number, {2, 0}, {}, "Label44", "", ""},
    {106, "SetTemperature", Kind::WholeNumber, {3, 0}, {true, 0, 99}, "Edit16", "UpDown16", "Temperatura zadana"},
    {107, "SetDifference", Kind::WholeNumber, {3, 0}, {true, 0, 50}, "Edit17", "UpDown17", "Różnica temp. zadana"},
    {108, "CalibrationT1", Kind::OffsetTenths, {3, 1}, {true, -100, 100}, "Edit2", "UpDown2", "Kalibracja T1"},
    {109, "CalibrationT2", Kind::OffsetTenths, {3, 1}, {true, -100, 100}, "Edit6", "UpDown6", "Kalibracja T2"},
    {110, "CalibrationT3", Kind::OffsetTenths, {3, 1}, {true, -100, 100}, "Edit9", "UpDown9", "Kalibracja T3"},
    {111, "CalibrationT4", Kind::OffsetTenths, {3, 1}, {true, -100, 100}, "Edit12", "UpDown12", "Kalibracja T4"},
    {112, "VentOpenTime", Kind::WholeNumber, {3, 0}, {true, 1, 60}, "Edit5", "UpDown5", "Otw.kominka"},
    {113, "VentOpenPause", Kind::WholeNumber, {3, 0}, {true, 1, 60}, "Edit8", "UpDown8", "Przerwa otw."},
    {114, "VentCloseTime", Kind::WholeNumber, {3, 0}, {true, 1, 60}, "Edit11", "UpDown11", "Zamk.kominka"},
    {115, "VentClosePause", Kind::WholeNumber, {3, 0}, {true, 1, 60}, "Edit14", "UpDown14", "Przerwa zamk."},
    {116, "HumidifyTime", Kind::WholeNumber, {3, 0}, {true, 1, 60}, "Edit13", "UpDown13", "Czas nawilżania"},
    {117, "HumidifyPause", Kind::List, {}, {true, 0, 108}, "ComboBox5", "", "Czas przerwy po nawilżaniu"},
    {118, "HumidifyAlarmThreshold", Kind::Tenths, {3, 1}, {true, 0, 100}, "Edit4", "UpDown4", "Próg alarmu dod. nawilżania"},
    {119, "AutoStartStop", Kind::Command, {}, {}, "", "", ""},
    {120, "AirHysteresis", Kind::Tenths, {3, 1}, {true, 1, 50}, "Edit7", "UpDown7", "Histereza temp. powiertrza"},
    {121, "DifferenceHysteresis", Kind::Tenths, {3, 1}, {true, 1, 50}, "Edit10", "UpDown10", "Histereza różnicy dT"},
    {122, "LcdMode", Kind::List, {}, {true, 0, 2}, "ComboBox4", "", "Tryb LCD"},
    {123, "LcdInfoTime1", Kind::WholeNumber, {3, 0}, {true, 1, 30}, "Edit3", "UpDown3", "Info LCD1"},
    {124, "LcdInfoTime2", Kind::WholeNumber, {3, 0}, {true, 1, 30}, "Edit15", "UpDown15", "Info LCD2"},
    {125, "AlarmBuzzer", Kind::Flag, {}, {true, 0, 1}, "CheckBox1", "", ""},
    {126, "AutoHoursDone", Kind::Number, {2, 0}, {}, "Label44", "", ""},
    {127, "OutputBits", Kind::BitField, {}, {}, "", "", ""},
    {128, "StepHours1", Kind::WholeNumber, {2, 0}, {true, 0, 99}, "Edit18", "UpDown18", "Czas Pr1"},
    {129, "StepTemperature1", Kind::WholeNumber, {2, 0}, {true, 0, 99}, "Edit19", "UpDown19", "Temp Pr1"},
    {130, "StepDifference1", Kind::WholeNumber, {2, 0}, {true, 0, 50}, "Edit20", "UpDown20", "dTemp Pr1"},
    {131, "StepHours2", Kind::WholeNumber, {2, 0}, {true, 0, 99}, "Edit21", "UpDown21", "Czas Pr2"},
    {132, "StepTemperature2", Kind::WholeNumber, {2, 0}, {true, 0, 99}, "Edit22", "UpDown22", "Temp Pr2"},
    {133, "StepDifference2", Kind::WholeNumber, {2, 0}, {true, 0, 50}, "Edit23", "UpDown23", "dTemp Pr2"},
    {134, "StepHours3", Kind::WholeNumber, {2, 0}, {true, 0, 99}, "Edit24", "UpDown24", "Czas Pr3"},
    {135, "StepTemperature3", Kind::WholeNumber, {2, 0}, {true, 0, 99}, "Edit25", "UpDown25", "Temp Pr3"},
    {136, "StepDifference3", Kind::WholeNumber, {2, 0}, {true, 0, 50}, "Edit26", "UpDown26", "dTemp Pr3"},
    {137, "StepHours4", Kind::WholeNumber, {2, 0}, {true, 0, 99}, "Edit27", "UpDown27", "Czas Pr4"},
    {138, "StepTemperature4", Kind::WholeNumber, {2, 0}, {true, 0, 99}, "Edit28", "UpDown28", "Temp Pr4"},
    {139, "StepDifference4", Kind::WholeNumber, {2, 0}, {true, 0, 50}, "Edit29", "UpDown29", "dTemp Pr4"},
    {140, "StepHours5", Kind::WholeNumber, {2, 0}, {true, 0, 99}, "Edit30", "UpDown30", "Czas Pr5"},
    {141, "StepTemperature5", Kind::WholeNumber, {2, 0}, {true, 0, 99}, "Edit31", "UpDown31", "Temp Pr5"},
    {142, "StepDifference5", Kind::WholeNumber, {2, 0}, {true, 0, 50}, "Edit32", "UpDown32", "dTemp Pr5"},
    {143, "StepHours6", Kind::WholeNumber, {2, 0}, {true, 0, 99}, "Edit33", "UpDown33", "Czas Pr6"},
    {144, "StepTemperature6", Kind::WholeNumber, {2, 0}, {true, 0, 99}, "Edit34", "UpDown34", "Temp Pr6"},
    {145, "StepDifference6", Kind::WholeNumber, {2, 0}, {true, 0, 50}, "Edit35", "UpDown35", "dTemp Pr6"},
    {146, "StepHours7", Kind::WholeNumber, {2, 0}, {true, 0, 99}, "Edit36", "UpDown36", "Czas Pr7"},
    {147, "StepTemperature7", Kind::WholeNumber, {2, 0}, {true, 0, 99}, "Edit37", "UpDown37", "Temp Pr7"},
    {148, "StepDifference7", Kind::WholeNumber, {2, 0}, {true, 0, 50}, "Edit38", "UpDown38", "dTemp Pr7"},
    {149, "StepHours8", Kind::WholeNumber, {2, 0}, {true, 0, 99}, "Edit39", "UpDown39", "Czas Pr8"},
    {150, "StepTemperature8", Kind::WholeNumber, {2, 0}, {true, 0, 99}, "Edit40", "UpDown40", "Temp Pr8"},
    {151, "StepDifference8", Kind::WholeNumber, {2, 0}, {true, 0, 50}, "Edit41", "UpDown41", "dTemp Pr8"},
    {152, "StepHours9", Kind::WholeNumber, {2, 0}, {true, 0, 99}, "Edit42", "UpDown42", "Czas Pr9"},
    {153, "StepTemperature9", Kind::WholeNumber, {2, 0}, {true, 0, 99}, "Edit43", "UpDown43", "Temp Pr9"},
    {154, "StepDifference9", Kind::WholeNumber, {2, 0}, {true, 0, 50}, "Edit44", "UpDown44", "dTemp Pr9"},
    {155, "StepHours10", Kind::WholeNumber, {2, 0}, {true, 0, 99}, "Edit45", "UpDown45", "Czas Pr10"},
    {156, "StepTemperature10", Kind::WholeNumber, {2, 0}, {true, 0, 99}, "Edit46", "UpDown46", "Temp Pr10"},
    {157, "StepDifference10", Kind::WholeNumber, {2, 0}, {true, 0, 50}, "Edit47", "UpDown47", "dTemp Pr10"},
    {158, "", Kind::Unused, {}, {}, "", "", ""},
    {159, "", Kind::Unused, {}, {}, "", "", ""},
    {160, "TempDry", Kind::TemperatureWord, {4, 1}, {}, "Label5", "", ""},
    {161, "TempDry", Kind::TemperatureWord, {4, 1}, {}, "Label5", "", "", true},
    {162, "TempWet", Kind::TemperatureWord, {4, 1}, {}, "Label19", "", ""},
    {163, "TempWet", Kind::TemperatureWord, {4, 1}, {}, "Label19", "", "", true},
    {164, "TempControl1", Kind::TemperatureWord, {4, 1}, {}, "Label32", "", ""},
    {165, "TempControl1", Kind::TemperatureWord, {4, 1}, {}, "Label32", "", "", true},
    {166, "TempControl2", Kind::TemperatureWord, {4, 1}, {}, "Label45", "", ""},
    {167, "TempControl2", Kind::TemperatureWord, {4, 1}, {}, "Label45", "", "", true},
    {168, "", Kind::Unused, {}, {}, "", "", ""},
}};

constexpr bool mapInAddressOrder()
{
    for (std::size_t i = 0; i < kMap.size(); ++i)
        if (kMap[i].byte != kFirstByte + static_cast<int>(i))
            return false;
    return true;
}
static_assert(mapInAddressOrder(), "the map must list bytes 96..168 in order");

constexpr bool named(int byte, std::string_view name) { return kMap[static_cast<std::size_t>(byte - kFirstByte)].name == name; }
static_assert(named(measured::kAutoStep, "AutoStep") && named(measured::kAutoHoursTotal, "AutoHoursTotal") &&
              named(measured::kSetTemperature, "SetTemperature") && named(measured::kSetDifference, "SetDifference") &&
              named(measured::kLcdMode, "LcdMode") && named(measured::kAutoHoursDone, "AutoHoursDone") &&
              named(measured::kOutputBits, "OutputBits") && named(measured::kTempDry, "TempDry") &&
              named(measured::kTempWet, "TempWet") && named(measured::kTempControl1, "TempControl1") &&
              named(measured::kTempControl2, "TempControl2"),
              "the measured bytes must be where the map names them");

// The write-back order: calibrations, vents, hystereses, then the threshold,
// humidifier, LCD fields, set values, and the programme table step by step.
constexpr std::array<int, 18> kWriteBackHead{108, 109, 110, 111, 112, 113, 114, 115, 120,
                                             121, 118, 116, 117, 122, 123, 124, 106, 107};

constexpr std::array<WriteBackRow, kWriteBackRows> buildWriteBack()
{
    std::array<WriteBackRow, kWriteBackRows> rows{};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int byte = i < kWriteBackHead.size() ? kWriteBackHead[i]
                                                   : 128 + static_cast<int>(i - kWriteBackHead.size());
        const MapEntry& e = kMap[static_cast<std::size_t>(byte - kFirstByte)];
        rows[i] = WriteBackRow{static_cast<int>(i) + 1, byte, e.control, e.kind};
    }
    return rows;
}
constexpr std::array<WriteBackRow, kWriteBackRows> kWriteBack = buildWriteBack();
static_assert(kWriteBack.back().byte == 157 && kWriteBack.back().control == "Edit47");

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

const MapEntry* MapByControl(std::string_view control)
{
    if (control.empty())
        return nullptr;
    for (const MapEntry& e : kMap)
        if (e.control == control && !e.lowByte)
            return &e;
    return nullptr;
}

const std::array<WriteBackRow, kWriteBackRows>& WriteBackTable() { return kWriteBack; }

std::string HumidifyPauseText(int index)
{
    const int minutes = index * 10;
    const int m = minutes % 60;
    return std::to_string(minutes / 60) + ":" + (m < 10 ? "0" : "") + std::to_string(m);
}

std::vector<std::string> ListItems(std::string_view control)
{
    if (control == "ComboBox1")
        return {"19 200 b/s", "9 600 b/s", "4 800 b/s"};
    if (control == "ComboBox4")
        return {"WYŁĄCZONY", "MIRALUX", "NORDA"};
    if (control == "ComboBox5") {
        std::vector<std::string> items;
        for (int i = 0; i < kHumidifyPauseItems; ++i)
            items.push_back(HumidifyPauseText(i));
        return items;
    }
    return {};
}

} // namespace torv
