#include "view/view_data.h"

#include <array>

#include "controller/conversions.h"
#include "texts/window_texts.h"
#include "view/control_map.h"
#include "view/status_indicators.h"
#include "view/view_temp.h"

namespace torv {

namespace {

void append(ControlChanges& to, ControlChanges&& from)
{
    for (ControlChange& c : from)
        to.push_back(std::move(c));
}

void wholeField(ControlChanges& out, const ImageRow& row, int byte, const std::string& sep)
{
    PaintWholeField(out, MapAt(byte), RowByte(row, byte), sep);
}

// A tenths field: the spinner takes the byte within its range, and the text
// follows the position the spinner then holds.
void tenthsField(ControlChanges& out, const ImageRow& row, int byte, const std::string& sep)
{
    const MapEntry& e = MapAt(byte);
    const int position = SpinnerPosition(e, RowByte(row, byte));
    out.push_back(SetValue(SpinnerOf(byte), Property::SpinnerPosition, position));
    out.push_back(SetText(ControlOf(byte), TenthsText(position, sep)));
}

void listField(ControlChanges& out, const ImageRow& row, int byte, int items)
{
    const MapEntry& e = MapAt(byte);
    out.push_back(SetValue(ControlOf(byte), Property::ListIndex, ListIndexOf(e.kind, RowByte(row, byte), items)));
}

} // namespace

ControlChanges View_Data_Fields(const ImageRow& row, const std::string& sep)
{
    using namespace bytes;
    ControlChanges out;
    wholeField(out, row, kSlaveAddress, sep);
    listField(out, row, kBaudCode, kBaudListItems);
    for (int byte : {kCalibrationT1, kCalibrationT2, kCalibrationT3, kCalibrationT4})
        tenthsField(out, row, byte, sep);
    tenthsField(out, row, kHumidifyAlarmThreshold, sep);
    wholeField(out, row, kHumidifyTime, sep);
    listField(out, row, kHumidifyPause, kHumidifyPauseItems);
    tenthsField(out, row, kAirHysteresis, sep);
    tenthsField(out, row, kDifferenceHysteresis, sep);
    for (int byte : {kVentOpenTime, kVentOpenPause, kVentCloseTime, kVentClosePause})
        wholeField(out, row, byte, sep);
    append(out, View_Temp(row, sep));
    listField(out, row, kLcdMode, kLcdModeItems);
    wholeField(out, row, kLcdInfoTime1, sep);
    wholeField(out, row, kLcdInfoTime2, sep);
    out.push_back(SetValue(controls::CheckBox1, Property::Checked, FlagChecked(RowByte(row, kAlarmBuzzer)) ? 1 : 0));
    return out;
}

ControlChanges View_Data_Status(const ViewFlags& flags)
{
    ControlChanges out = ScannerIndicators(flags.ScanOn);
    append(out, LinkIndicator(flags.ReplyOk, texts::kLinkError));
    append(out, ErrorCounterDisplay(texts::kErrorsPrefixView, flags.ErrorCount));
    return out;
}

ControlChanges View_Data(const ImageRow& row, const ViewFlags& flags, const std::string& sep)
{
    ControlChanges out = View_Data_Fields(row, sep);
    append(out, View_Data_Status(flags));
    return out;
}

} // namespace torv
