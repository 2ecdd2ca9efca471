#include "controller/view_data.h"

#include <array>

#include "controller/conversions.h"
#include "controller/status_indicators.h"
#include "controller/view_temp.h"

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
    out.push_back(SetValue(std::string(e.spinner), Property::SpinnerPosition, position));
    out.push_back(SetText(std::string(e.control), TenthsText(position, sep)));
}

void listField(ControlChanges& out, const ImageRow& row, int byte, int items)
{
    const MapEntry& e = MapAt(byte);
    out.push_back(SetValue(std::string(e.control), Property::ListIndex, ListIndexOf(e.kind, RowByte(row, byte), items)));
}

} // namespace

ControlChanges View_Data_Fields(const ImageRow& row, const std::string& sep)
{
    ControlChanges out;
    wholeField(out, row, 97, sep);                  // SlaveAddress
    listField(out, row, 99, kBaudListItems);        // BaudCode
    for (int byte : {108, 109, 110, 111})           // CalibrationT1..T4
        tenthsField(out, row, byte, sep);
    tenthsField(out, row, 118, sep);                // HumidifyAlarmThreshold
    wholeField(out, row, 116, sep);                 // HumidifyTime
    listField(out, row, 117, kHumidifyPauseItems);  // HumidifyPause
    tenthsField(out, row, 120, sep);                // AirHysteresis
    tenthsField(out, row, 121, sep);                // DifferenceHysteresis
    for (int byte : {112, 113, 114, 115})           // vent times
        wholeField(out, row, byte, sep);
    append(out, View_Temp(row, sep));
    listField(out, row, 122, kLcdModeItems);        // LcdMode
    wholeField(out, row, 123, sep);                 // LcdInfoTime1
    wholeField(out, row, 124, sep);                 // LcdInfoTime2
    out.push_back(SetValue(controls::CheckBox1, Property::Checked, FlagChecked(RowByte(row, 125)) ? 1 : 0));
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
