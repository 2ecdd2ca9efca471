#include "controller/humidity.h"

#include "controller/conversions.h"

namespace torv {

namespace {

using namespace bytes;

int raw(const ImageRow& row, int byte) { return TemperatureRaw(RowByte(row, byte), RowByte(row, byte + 1)); }

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

} // namespace torv
