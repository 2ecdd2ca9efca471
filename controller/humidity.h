#pragma once
#include <string>

#include "controller/memory_map.h"
#include "controller/number_format.h"

namespace torv {

// The humidity reading, the dry-wet difference in degrees: the mean of both
// thermometer pairs when LcdMode is 2, the first pair otherwise. Signed: a
// wet bulb above the dry one gives a negative difference.
double HumidityDifference(const ImageRow& row);
// That difference as its label shows it, format (4, 1) in degrees. The
// two-pair mean is a multiple of 0.05: its ties go to the even tenth,
// decided on whole numbers, not on the nearest binary fraction.
std::string HumidityDifferenceText(const ImageRow& row, const std::string& separator = systemDecimalSeparator());

} // namespace torv
