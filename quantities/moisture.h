#pragma once
#include <optional>

#include "quantities/psychrometry.h"

namespace torv::quantities {

// What a chamber's psychrometer is and where it stands: A, the air pressure,
// and the readings its sensors cannot give (the plant's sensor-fault limits).
struct Conditions {
    double coefficient = kVentilatedCoefficient; // per kelvin
    double pressureHPa = kStandardPressureHPa;
    double sensorLowCelsius = -40.0; // a reading below this is a fault, not a temperature
    double sensorHighCelsius = 150.0;
    bool operator==(const Conditions&) const = default;
};

// The air's relative humidity and the wood's equilibrium moisture, percent;
// each absent when the readings give no trustworthy value.
struct Moisture {
    std::optional<double> relativeHumidity;
    std::optional<double> equilibriumMoisture;
    bool operator==(const Moisture&) const = default;
};

// Both from one psychrometer's dry and wet bulb, °C (absent when not read).
// A bulb missing or outside the sensor limits gives neither; RH then follows
// RelativeHumidity's rules and EMC, at the dry bulb's temperature,
// EquilibriumMoisture's. Never a made-up value: absent is absent.
Moisture MoistureOf(std::optional<double> dry, std::optional<double> wet, const Conditions& conditions = {});

} // namespace torv::quantities
