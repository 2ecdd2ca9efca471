#pragma once
#include <optional>

namespace torv::quantities {

// The range of temperatures the equation below was fitted over, 30..270 °F
// (about -1.1..132.2 °C), and the highest humidity it is used at: above it
// the sorption curve is so steep that a percent of humidity moves the result
// by several.
inline constexpr double kWoodMoistureMinCelsius = (30.0 - 32.0) / 1.8;
inline constexpr double kWoodMoistureMaxCelsius = (270.0 - 32.0) / 1.8;
inline constexpr double kWoodMoistureMaxHumidity = 98.0;

// The equilibrium moisture content of wood, percent of its dry mass, in air
// at `celsius` and `humidity` percent: the Hailwood–Horrobin equation with
// Simpson's (1973) coefficients as the Wood Handbook gives them, in its °C
// form. Nothing outside kWoodMoistureMinCelsius..kWoodMoistureMaxCelsius, or
// for a humidity outside 0..kWoodMoistureMaxHumidity.
std::optional<double> EquilibriumMoisture(double celsius, double humidity);

} // namespace torv::quantities
