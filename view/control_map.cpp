#include "view/control_map.h"

namespace torv {

namespace {

using namespace bytes;

// In the map's byte order. Only the shown bytes have a row: the test of the
// views checks the rows against the map's kinds both ways.
constexpr std::array<ControlRow, kControlRows> kRows{{
    {kSlaveAddress, controls::Edit(1), controls::UpDown(1), ""},
    {kBaudCode, controls::ComboBox(1), Control{}, ""},
    {kAutoStep, controls::Label(44), Control{}, ""},
    {kAutoHoursTotal, controls::Label(44), Control{}, ""},
    {kSetTemperature, controls::Edit(16), controls::UpDown(16), "Temperatura zadana"},
    {kSetDifference, controls::Edit(17), controls::UpDown(17), "Różnica temp. zadana"},
    {kCalibrationT1, controls::Edit(2), controls::UpDown(2), "Kalibracja T1"},
    {kCalibrationT2, controls::Edit(6), controls::UpDown(6), "Kalibracja T2"},
    {kCalibrationT3, controls::Edit(9), controls::UpDown(9), "Kalibracja T3"},
    {kCalibrationT4, controls::Edit(12), controls::UpDown(12), "Kalibracja T4"},
    {kVentOpenTime, controls::Edit(5), controls::UpDown(5), "Otw.kominka"},
    {kVentOpenPause, controls::Edit(8), controls::UpDown(8), "Przerwa otw."},
    {kVentCloseTime, controls::Edit(11), controls::UpDown(11), "Zamk.kominka"},
    {kVentClosePause, controls::Edit(14), controls::UpDown(14), "Przerwa zamk."},
    {kHumidifyTime, controls::Edit(13), controls::UpDown(13), "Czas nawilżania"},
    {kHumidifyPause, controls::ComboBox(5), Control{}, "Czas przerwy po nawilżaniu"},
    {kHumidifyAlarmThreshold, controls::Edit(4), controls::UpDown(4), "Próg alarmu dod. nawilżania"},
    {kAirHysteresis, controls::Edit(7), controls::UpDown(7), "Histereza temp. powiertrza"},
    {kDifferenceHysteresis, controls::Edit(10), controls::UpDown(10), "Histereza różnicy dT"},
    {kLcdMode, controls::ComboBox(4), Control{}, "Tryb LCD"},
    {kLcdInfoTime1, controls::Edit(3), controls::UpDown(3), "Info LCD1"},
    {kLcdInfoTime2, controls::Edit(15), controls::UpDown(15), "Info LCD2"},
    {kAlarmBuzzer, controls::CheckBox1, Control{}, ""},
    {kAutoHoursDone, controls::Label(44), Control{}, ""},
    {ProgrammeByte(1, 0), controls::Edit(18), controls::UpDown(18), "Czas Pr1"},
    {ProgrammeByte(1, 1), controls::Edit(19), controls::UpDown(19), "Temp Pr1"},
    {ProgrammeByte(1, 2), controls::Edit(20), controls::UpDown(20), "dTemp Pr1"},
    {ProgrammeByte(2, 0), controls::Edit(21), controls::UpDown(21), "Czas Pr2"},
    {ProgrammeByte(2, 1), controls::Edit(22), controls::UpDown(22), "Temp Pr2"},
    {ProgrammeByte(2, 2), controls::Edit(23), controls::UpDown(23), "dTemp Pr2"},
    {ProgrammeByte(3, 0), controls::Edit(24), controls::UpDown(24), "Czas Pr3"},
    {ProgrammeByte(3, 1), controls::Edit(25), controls::UpDown(25), "Temp Pr3"},
    {ProgrammeByte(3, 2), controls::Edit(26), controls::UpDown(26), "dTemp Pr3"},
    {ProgrammeByte(4, 0), controls::Edit(27), controls::UpDown(27), "Czas Pr4"},
    {ProgrammeByte(4, 1), controls::Edit(28), controls::UpDown(28), "Temp Pr4"},
    {ProgrammeByte(4, 2), controls::Edit(29), controls::UpDown(29), "dTemp Pr4"},
    {ProgrammeByte(5, 0), controls::Edit(30), controls::UpDown(30), "Czas Pr5"},
    {ProgrammeByte(5, 1), controls::Edit(31), controls::UpDown(31), "Temp Pr5"},
    {ProgrammeByte(5, 2), controls::Edit(32), controls::UpDown(32), "dTemp Pr5"},
    {ProgrammeByte(6, 0), controls::Edit(33), controls::UpDown(33), "Czas Pr6"},
    {ProgrammeByte(6, 1), controls::Edit(34), controls::UpDown(34), "Temp Pr6"},
    {ProgrammeByte(6, 2), controls::Edit(35), controls::UpDown(35), "dTemp Pr6"},
    {ProgrammeByte(7, 0), controls::Edit(36), controls::UpDown(36), "Czas Pr7"},
    {ProgrammeByte(7, 1), controls::Edit(37), controls::UpDown(37), "Temp Pr7"},
    {ProgrammeByte(7, 2), controls::Edit(38), controls::UpDown(38), "dTemp Pr7"},
    {ProgrammeByte(8, 0), controls::Edit(39), controls::UpDown(39), "Czas Pr8"},
    {ProgrammeByte(8, 1), controls::Edit(40), controls::UpDown(40), "Temp Pr8"},
    {ProgrammeByte(8, 2), controls::Edit(41), controls::UpDown(41), "dTemp Pr8"},
    {ProgrammeByte(9, 0), controls::Edit(42), controls::UpDown(42), "Czas Pr9"},
    {ProgrammeByte(9, 1), controls::Edit(43), controls::UpDown(43), "Temp Pr9"},
    {ProgrammeByte(9, 2), controls::Edit(44), controls::UpDown(44), "dTemp Pr9"},
    {ProgrammeByte(10, 0), controls::Edit(45), controls::UpDown(45), "Czas Pr10"},
    {ProgrammeByte(10, 1), controls::Edit(46), controls::UpDown(46), "Temp Pr10"},
    {ProgrammeByte(10, 2), controls::Edit(47), controls::UpDown(47), "dTemp Pr10"},
    {kTempDry, controls::Label(5), Control{}, ""},
    {kTempWet, controls::Label(19), Control{}, ""},
    {kTempControl1, controls::Label(32), Control{}, ""},
    {kTempControl2, controls::Label(45), Control{}, ""},
}};

constexpr bool rowsInByteOrder()
{
    for (std::size_t i = 1; i < kRows.size(); ++i)
        if (kRows[i].byte <= kRows[i - 1].byte)
            return false;
    return true;
}
static_assert(rowsInByteOrder(), "one row per byte, in byte order");

template <typename Rows, typename Keys>
constexpr bool sameKeys(const Rows& rows, const Keys& keys, auto rowKey, auto key)
{
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rowKey(rows[i]) != key(keys[i]))
            return false;
    return true;
}
static_assert(sameKeys(kLampLabels, kOutputLamps, [](const LampLabel& l) { return l.mask; },
                       [](const OutputLamp& l) { return l.mask; }),
              "a lamp label per actuator bit, in the map's order");
static_assert(sameKeys(kStepLabels, kProgrammeSteps, [](const StepLabel& l) { return l.step; },
                       [](const ProgrammeStep& s) { return s.step; }),
              "a label per programme step, in the map's order");

} // namespace

const std::array<ControlRow, kControlRows>& ControlMap() { return kRows; }

const ControlRow* ControlRowOf(int byte)
{
    for (const ControlRow& r : kRows)
        if (r.byte == byte)
            return &r;
    return nullptr;
}

Control ControlOf(int byte)
{
    const ControlRow* r = ControlRowOf(byte);
    return r ? r->control : Control{};
}

Control SpinnerOf(int byte)
{
    const ControlRow* r = ControlRowOf(byte);
    return r ? r->spinner : Control{};
}

const MapEntry* MapByControl(Control control)
{
    if (!control.valid())
        return nullptr;
    for (const ControlRow& r : kRows)
        if (r.control == control)
            return &MapAt(r.byte);
    return nullptr;
}

std::vector<std::string> ListItems(Control control)
{
    const MapEntry* e = MapByControl(control);
    return e && (e->kind == Kind::List || e->kind == Kind::BaudList) ? ListItemsOf(e->byte) : std::vector<std::string>{};
}

} // namespace torv
