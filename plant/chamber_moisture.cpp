#include "plant/chamber_moisture.h"

#include <cmath>

#include "quantities/psychrometry.h"

namespace torv::plant {

quantities::Conditions MoistureConditions(const ChamberList& list, int address)
{
    quantities::Conditions c;
    const Chamber* chamber = FindChamber(list, address);
    const bool still = chamber && chamber->psychrometer == Psychrometer::Unventilated;
    c.coefficient = still ? quantities::kUnventilatedCoefficient : quantities::kVentilatedCoefficient;
    c.pressureHPa = list.airPressureHundredths / 100.0;
    // A bulb the alarms call a fault gives no humidity either.
    c.sensorLowCelsius = list.alarms.sensorLowTenths / 10.0;
    c.sensorHighCelsius = list.alarms.sensorHighTenths / 10.0;
    return c;
}

quantities::Moisture RowMoisture(const drying_log::Row& row, const quantities::Conditions& conditions)
{
    if (row.status != drying_log::Status::Ok)
        return {};
    const auto celsius = [](const std::optional<int>& tenths) {
        return tenths ? std::optional<double>(*tenths / 10.0) : std::nullopt;
    };
    return quantities::MoistureOf(celsius(row.tempDry), celsius(row.tempWet), conditions);
}

quantities::Moisture ChamberMoisture(const ChamberList& list, const drying_log::Row& row)
{
    return RowMoisture(row, MoistureConditions(list, row.address));
}

std::optional<int> PercentTenths(const std::optional<double>& percent)
{
    return percent ? std::optional<int>(static_cast<int>(std::lround(*percent * 10.0))) : std::nullopt;
}

} // namespace torv::plant
