#include "view/view_temp.h"

#include "view/colours.h"
#include "controller/conversions.h"

namespace torv {

namespace {

using namespace bytes;

int raw(const ImageRow& row, int byte) { return TemperatureRaw(RowByte(row, byte), RowByte(row, byte + 1)); }

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

bool twoPairs(const ImageRow& row) { return RowByte(row, kLcdMode) == 2; }

// Twice the difference in tenths when two pairs are averaged, else in tenths.
int rawDifference(const ImageRow& row)
{
    // The offsets of 500 cancel, so the raw words are subtracted directly.
    if (twoPairs(row))
        return raw(row, kTempDry) + raw(row, kTempControl1) - raw(row, kTempWet) - raw(row, kTempControl2);
    return raw(row, kTempDry) - raw(row, kTempWet);
}

} // namespace

double HumidityDifference(const ImageRow& row) { return rawDifference(row) / (twoPairs(row) ? 20.0 : 10.0); }

std::string HumidityDifferenceText(const ImageRow& row, const std::string& separator)
{
    int tenths = rawDifference(row);
    if (twoPairs(row)) {
        const int half = tenths >= 0 ? tenths / 2 : -((-tenths + 1) / 2); // floor(d / 2)
        const bool tie = tenths - 2 * half == 1;
        tenths = half + (tie && half % 2 != 0 ? 1 : 0);
    }
    return DegreesText(tenths / 10.0, separator);
}

void PaintWholeField(ControlChanges& out, const MapEntry& entry, std::uint8_t byte, const std::string& separator)
{
    std::string text = FieldText(entry, byte, separator);
    if (entry.spinner.valid() && text != std::to_string(byte))
        out.push_back(SetValue(entry.spinner, Property::SpinnerPosition, entry.range.clamp(byte)));
    out.push_back(SetText(entry.control, std::move(text)));
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
    for (const OutputLamp& lamp : kOutputLamps)
        colour(lamp.label, (bits & lamp.mask) != 0 ? colours::kMaroon : colours::kRed);

    const bool controlSensors = RowByte(row, kLcdMode) != 0;
    text(controls::Label(5), degrees(row, kTempDry, sep));
    text(controls::Label(19), degrees(row, kTempWet, sep));
    text(controls::Label(32), controlSensors ? degrees(row, kTempControl1, sep) : texts::kSensorInactive);
    text(controls::Label(45), controlSensors ? degrees(row, kTempControl2, sep) : texts::kSensorInactive);

    text(controls::Label(14), HumidityDifferenceText(row, sep));

    for (const ProgrammeStep& step : kProgrammeSteps) {
        const std::uint8_t hours = RowByte(row, step.firstByte);
        const int c = hours == 0 ? colours::kPaleGreen : autoStep == step.step ? colours::kRed : colours::kGreen;
        colour(step.label, c);
        for (int b = step.firstByte; b < step.firstByte + 3; ++b)
            field(out, row, b, sep);
    }
    return out;
}

} // namespace torv
