#pragma once
#include <optional>

namespace torv::quantities {

// The psychrometer coefficient A of e = e_s(T_w) - A·p·(T - T_w), per kelvin.
// Kiln fans blow across the wick, so a ventilated wet bulb is the usual case.
inline constexpr double kVentilatedCoefficient = 6.62e-4;
inline constexpr double kUnventilatedCoefficient = 8.0e-4;
// The standard atmosphere; a plant far above the sea sets its own.
inline constexpr double kStandardPressureHPa = 1013.25;

// The saturation vapour pressure over liquid water at `celsius`, hPa.
double SaturationPressureHPa(double celsius);

// How far the wet bulb may read above the dry one and still be taken as the
// same temperature: two sensors of ±0.2 °C each, and a tenth of rounding.
inline constexpr double kWetAboveDryTolerance = 0.5;
// How far a computed humidity may fall below 0 % and still be measurement
// error (then 0 %): about what ±0.2 °C on each bulb moves it in hot dry air.
inline constexpr double kHumidityTolerance = 3.0;

// The relative humidity, percent (0..100), from the dry and wet bulb in °C by
// the psychrometric formula; `coefficient` is A per kelvin, `pressureHPa` the
// air pressure. A wet bulb above the dry one within kWetAboveDryTolerance
// reads as the dry one (100 %). Nothing when the bulbs cannot be a
// psychrometer's: the wet one above the dry beyond that tolerance, or a
// humidity below 0 % by more than kHumidityTolerance (a dry wick).
std::optional<double> RelativeHumidity(double dry, double wet, double coefficient = kVentilatedCoefficient,
                                       double pressureHPa = kStandardPressureHPa);

} // namespace torv::quantities
