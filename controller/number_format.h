#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace torv {

// The decimal separator of the user's locale ("," in the Polish locale).
std::string systemDecimalSeparator();

// Number format (P, D): fixed-point with `digits` decimals and at most
// `precision` significant digits, whichever rounding is coarser; a value whose
// integer part is longer than `precision` digits is written in exponent form
// with `precision` significant digits ("1,2E2", "1E2"). Ties round to even.
std::string FormatNumber(double value, int precision, int digits,
                         const std::string& separator = systemDecimalSeparator());

// Reads a number as the fields show it: optional sign, digits, the decimal
// separator with more digits, an optional exponent ("1,2E2"). Surrounding
// blanks are allowed; anything else makes the text unreadable (nullopt).
std::optional<double> ParseNumber(std::string_view text,
                                  const std::string& separator = systemDecimalSeparator());

} // namespace torv
