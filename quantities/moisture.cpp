#include "quantities/moisture.h"

#include "quantities/wood_moisture.h"

namespace torv::quantities {

Moisture MoistureOf(std::optional<double> dry, std::optional<double> wet, const Conditions& conditions)
{
    const auto fault = [&conditions](double celsius) {
        return celsius < conditions.sensorLowCelsius || celsius > conditions.sensorHighCelsius;
    };
    if (!dry || !wet || fault(*dry) || fault(*wet))
        return {};
    Moisture m;
    m.relativeHumidity = RelativeHumidity(*dry, *wet, conditions.coefficient, conditions.pressureHPa);
    if (m.relativeHumidity)
        m.equilibriumMoisture = EquilibriumMoisture(*dry, *m.relativeHumidity);
    return m;
}

} // namespace torv::quantities
