#include "quantities/psychrometry.h"

#include <algorithm>
#include <cmath>

namespace torv::quantities {

namespace {

// Water's critical point.
constexpr double kCriticalKelvin = 647.096;
constexpr double kCriticalHPa = 220640.0;

} // namespace

// Wagner and Pruß's saturation-pressure equation (the IAPWS 1992 release on
// the saturation properties of ordinary water), valid from the triple point to
// the critical point, so over the whole 0..150 °C a kiln's bulbs read; it
// agrees with IAPWS-95 to better than 0.1 % there (0.025 % below 100 °C). A
// wet bulb a little under 0 °C is supercooled water on the wick, which the
// same curve extends smoothly.
double SaturationPressureHPa(double celsius)
{
    constexpr double a1 = -7.85951783, a2 = 1.84408259, a3 = -11.7866497, a4 = 22.6807411, a5 = -15.9618719,
                     a6 = 1.80122502;
    const double kelvin = celsius + 273.15;
    const double tau = 1.0 - kelvin / kCriticalKelvin;
    const double sum = a1 * tau + a2 * std::pow(tau, 1.5) + a3 * std::pow(tau, 3) + a4 * std::pow(tau, 3.5) +
                       a5 * std::pow(tau, 4) + a6 * std::pow(tau, 7.5);
    return kCriticalHPa * std::exp(kCriticalKelvin / kelvin * sum);
}

std::optional<double> RelativeHumidity(double dry, double wet, double coefficient, double pressureHPa)
{
    if (!std::isfinite(dry) || !std::isfinite(wet) || wet - dry > kWetAboveDryTolerance)
        return std::nullopt;
    // Within the tolerance the wet bulb is the dry one: saturated air, never
    // more, so the humidity can only leave its range downwards.
    wet = std::min(wet, dry);
    const double vapour = SaturationPressureHPa(wet) - coefficient * pressureHPa * (dry - wet);
    const double percent = 100.0 * vapour / SaturationPressureHPa(dry);
    if (!std::isfinite(percent) || percent < -kHumidityTolerance)
        return std::nullopt;
    return std::clamp(percent, 0.0, 100.0);
}

} // namespace torv::quantities
