#include "quantities/wood_moisture.h"

#include <cmath>

namespace torv::quantities {

std::optional<double> EquilibriumMoisture(double celsius, double humidity)
{
    if (!std::isfinite(celsius) || !std::isfinite(humidity) || celsius < kWoodMoistureMinCelsius ||
        celsius > kWoodMoistureMaxCelsius || humidity < 0.0 || humidity > kWoodMoistureMaxHumidity)
        return std::nullopt;
    const double t = celsius, h = humidity / 100.0;
    const double w = 349.0 + 1.29 * t + 0.0135 * t * t;
    const double k = 0.805 + 0.000736 * t - 0.00000273 * t * t;
    const double k1 = 6.27 - 0.00938 * t - 0.000303 * t * t;
    const double k2 = 1.91 + 0.0407 * t - 0.000293 * t * t;
    const double kh = k * h;
    return 1800.0 / w * (kh / (1.0 - kh) + (k1 * kh + 2.0 * k1 * k2 * kh * kh) / (1.0 + k1 * kh + k1 * k2 * kh * kh));
}

} // namespace torv::quantities
