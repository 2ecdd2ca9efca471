#include "view/view_temp.h"

#include "controller/conversions.h"
#include "controller/humidity.h"
#include "texts/window_texts.h"
#include "view/colours.h"
#include "view/control_map.h"

namespace torv {

namespace {

using namespace bytes;

std::string whole(const ImageRow& row, int byte, const std::string& sep)
{
    const MapEntry& e = MapAt(byte);
    return FormatNumber(RowByte(row, byte), e.format.precision, e.format.digits, sep);
}

std::string degrees(const ImageRow& row, int byte, const std::string& sep)
{
    return DegreesText(TemperatureValue(RowByte(row, byte), RowByte(row, byte + 1)), sep);
}

void field(ControlChanges& out, const ImageRow& row, int byte, const std::string& sep)
{
    PaintWholeField(out, MapAt(byte), RowByte(row, byte), sep);
}

} // namespace

void PaintWholeField(ControlChanges& out, const MapEntry& entry, std::uint8_t byte, const std::string& separator)
{
    std::string text = FieldText(entry, byte, separator);
    const Control spinner = SpinnerOf(entry.byte);
    if (spinner.valid() && text != std::to_string(byte))
        out.push_back(SetValue(spinner, Property::SpinnerPosition, entry.range.clamp(byte)));
    out.push_back(SetText(ControlOf(entry.byte), std::move(text)));
}

ControlChanges View_Temp(const ImageRow& row, const std::string& sep)
{
    ControlChanges out;
    const auto text = [&](Control control, std::string t) { out.push_back(SetText(control, std::move(t))); };
    const auto colour = [&](Control control, int c) { out.push_back(SetValue(control, Property::FontColor, c)); };

    field(out, row, kSetTemperature, sep);
    field(out, row, kSetDifference, sep);

    const std::uint8_t autoStep = RowByte(row, kAutoStep);
    if (autoStep == 0) {
        text(controls::Label(44), texts::kManualMode);
        colour(controls::Label(44), colours::kBlue);
    } else {
        text(controls::Label(44), "Tryb AUTOMAT!: cykl=" + whole(row, kAutoStep, sep) + " z 10, czas=" +
                                      whole(row, kAutoHoursDone, sep) + " z " + whole(row, kAutoHoursTotal, sep) + "[h]");
        colour(controls::Label(44), colours::kRed);
    }

    const std::uint8_t bits = RowByte(row, kOutputBits);
    for (const LampLabel& lamp : kLampLabels)
        colour(lamp.label, (bits & lamp.mask) != 0 ? colours::kMaroon : colours::kRed);

    const bool controlSensors = RowByte(row, kLcdMode) != 0;
    text(controls::Label(5), degrees(row, kTempDry, sep));
    text(controls::Label(19), degrees(row, kTempWet, sep));
    text(controls::Label(32), controlSensors ? degrees(row, kTempControl1, sep) : texts::kSensorInactive);
    text(controls::Label(45), controlSensors ? degrees(row, kTempControl2, sep) : texts::kSensorInactive);

    text(controls::Label(14), HumidityDifferenceText(row, sep));

    for (std::size_t i = 0; i < kProgrammeSteps.size(); ++i) {
        const ProgrammeStep& step = kProgrammeSteps[i];
        const std::uint8_t hours = RowByte(row, step.firstByte);
        const int c = hours == 0 ? colours::kPaleGreen : autoStep == step.step ? colours::kRed : colours::kGreen;
        colour(kStepLabels[i].label, c);
        for (int b = step.firstByte; b < step.firstByte + 3; ++b)
            field(out, row, b, sep);
    }
    return out;
}

} // namespace torv
