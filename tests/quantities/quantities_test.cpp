// Relative humidity and the wood's equilibrium moisture against the tables
// they are read from, and the readings that must give no value at all.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>

#include "quantities/moisture.h"
#include "quantities/psychrometry.h"
#include "quantities/wood_moisture.h"

using namespace torv::quantities;

namespace {

// The same equation in its °F form with the Handbook's °F coefficients: a
// swapped or mistyped coefficient in either form shows as a difference.
double EquilibriumMoistureFahrenheit(double fahrenheit, double humidity)
{
    const double t = fahrenheit, h = humidity / 100.0;
    const double w = 330.0 + 0.452 * t + 0.00415 * t * t;
    const double k = 0.791 + 4.63e-4 * t - 8.44e-7 * t * t;
    const double k1 = 6.34 + 7.75e-4 * t - 9.35e-5 * t * t;
    const double k2 = 1.09 + 2.84e-2 * t - 9.04e-5 * t * t;
    const double kh = k * h;
    return 1800.0 / w * (kh / (1.0 - kh) + (k1 * kh + 2.0 * k1 * k2 * kh * kh) / (1.0 + k1 * kh + k1 * k2 * kh * kh));
}

double Celsius(double fahrenheit) { return (fahrenheit - 32.0) / 1.8; }

} // namespace

// Steam-table values (IAPWS-95) over the bulbs' whole range.
TEST(Quantities, SaturationPressureFollowsTheSteamTables)
{
    const struct {
        double celsius, hPa;
    } rows[] = {
        {0.01, 6.1166},  // the triple point
        {20.0, 23.392},
        {50.0, 123.52},
        {80.0, 474.16},
        {100.0, 1014.18}, // not 1013.25: water boils at 99.97 °C on ITS-90
        {120.0, 1986.7},
        {150.0, 4761.6},
    };
    for (const auto& r : rows)
        EXPECT_NEAR(SaturationPressureHPa(r.celsius), r.hPa, r.hPa * 2e-4) << r.celsius;
}

// Psychrometric tables for a ventilated psychrometer at sea level give whole
// percents; the kiln row is the drying manuals' 140 °F with an 18 °F depression.
TEST(Quantities, RelativeHumidityFollowsThePsychrometricTables)
{
    const struct {
        double dry, wet, coefficient, percent, within;
    } rows[] = {
        {20.0, 15.0, kVentilatedCoefficient, 59.0, 1.0},
        {30.0, 25.0, kVentilatedCoefficient, 67.0, 1.0},
        {10.0, 8.0, kVentilatedCoefficient, 76.0, 1.0},
        {25.0, 20.0, kVentilatedCoefficient, 63.0, 1.0},
        {60.0, 50.0, kVentilatedCoefficient, 58.0, 1.0},
        // A still wet bulb evaporates less for the same humidity, so the same
        // depression means drier air (the formula's value, to a tenth).
        {20.0, 15.0, kUnventilatedCoefficient, 55.6, 0.05},
        {60.0, 50.0, kUnventilatedCoefficient, 57.9, 0.05},
        // Equal bulbs: saturated air, whatever the coefficient.
        {45.0, 45.0, kVentilatedCoefficient, 100.0, 1e-9},
        {45.0, 45.0, kUnventilatedCoefficient, 100.0, 1e-9},
    };
    for (const auto& r : rows) {
        const std::optional<double> rh = RelativeHumidity(r.dry, r.wet, r.coefficient);
        ASSERT_TRUE(rh) << r.dry << "/" << r.wet;
        EXPECT_NEAR(*rh, r.percent, r.within) << r.dry << "/" << r.wet << " A " << r.coefficient;
    }
}

// Thinner air carries less heat to the wick: the same depression is more
// humid high up, by A·Δp·(T − T_w) / e_s(T).
TEST(Quantities, RelativeHumidityTakesTheAirPressure)
{
    const double atSea = *RelativeHumidity(60.0, 50.0);
    const double high = *RelativeHumidity(60.0, 50.0, kVentilatedCoefficient, 900.0);
    EXPECT_NEAR(high - atSea, 100.0 * kVentilatedCoefficient * 113.25 * 10.0 / SaturationPressureHPa(60.0), 1e-9);
    EXPECT_GT(high - atSea, 0.3);
}

// The Wood Handbook's EMC table (its °F rows, one decimal), and the °F form
// of the equation giving the same numbers over the equation's whole range.
TEST(Quantities, EquilibriumMoistureFollowsTheWoodHandbook)
{
    const struct {
        double fahrenheit, humidity, percent;
    } rows[] = {
        {30.0, 5.0, 1.4},   {30.0, 50.0, 9.5},  {30.0, 98.0, 26.9}, {70.0, 5.0, 1.3},   {70.0, 30.0, 6.2},
        {70.0, 50.0, 9.2},  {70.0, 80.0, 16.0}, {70.0, 90.0, 20.5}, {70.0, 98.0, 26.6}, {140.0, 50.0, 7.7},
        {180.0, 70.0, 9.5}, {212.0, 50.0, 5.4}, {270.0, 50.0, 0.8},
    };
    for (const auto& r : rows) {
        const std::optional<double> emc = EquilibriumMoisture(Celsius(r.fahrenheit), r.humidity);
        ASSERT_TRUE(emc) << r.fahrenheit << " °F " << r.humidity << " %";
        EXPECT_NEAR(*emc, r.percent, 0.05 + 1e-9) << r.fahrenheit << " °F " << r.humidity << " %";
    }
    // 20 °C at 65 %: about 12 %, the figure joiners know.
    EXPECT_NEAR(*EquilibriumMoisture(20.0, 65.0), 12.0, 0.05);
    for (double f = 30.0; f <= 270.0; f += 20.0)
        for (double h = 0.0; h <= 98.0; h += 7.0)
            EXPECT_NEAR(*EquilibriumMoisture(Celsius(f), h), EquilibriumMoistureFahrenheit(f, h), 0.06)
                << f << " °F " << h << " %";
}

// Readings that give no value: never a made-up one.
TEST(Quantities, NoValueWhereTheReadingsGiveNone)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // RH alone.
    EXPECT_FALSE(RelativeHumidity(50.0, 50.6));  // wet above dry beyond the tolerance
    EXPECT_EQ(RelativeHumidity(50.0, 50.5), 100.0); // within it: the dry bulb's temperature
    EXPECT_FALSE(RelativeHumidity(40.0, 10.0));  // far below 0 % (-11 %): a dry wick
    EXPECT_EQ(RelativeHumidity(100.0, 31.0), 0.0); // just below 0 % (-0.1 %): measurement error, 0 %
    EXPECT_GT(*RelativeHumidity(100.0, 32.0), 0.0);
    EXPECT_FALSE(RelativeHumidity(nan, 20.0));
    // EMC alone: the equation's range.
    EXPECT_FALSE(EquilibriumMoisture(-1.2, 50.0));
    EXPECT_TRUE(EquilibriumMoisture(-1.1, 50.0));
    EXPECT_TRUE(EquilibriumMoisture(132.2, 50.0));
    EXPECT_FALSE(EquilibriumMoisture(132.3, 50.0));
    EXPECT_TRUE(EquilibriumMoisture(60.0, 98.0));
    EXPECT_FALSE(EquilibriumMoisture(60.0, 98.1));
    EXPECT_EQ(EquilibriumMoisture(60.0, 0.0), 0.0);
    EXPECT_FALSE(EquilibriumMoisture(60.0, -0.1));

    // Both, from the bulbs.
    const Conditions plant;
    const struct {
        std::optional<double> dry, wet;
        bool rh, emc;
    } rows[] = {
        {60.0, 50.0, true, true},
        {std::nullopt, 50.0, false, false},  // a bulb not read
        {60.0, std::nullopt, false, false},
        {150.1, 50.0, false, false},          // a bulb beyond the sensor-fault limits
        {60.0, -40.1, false, false},
        {150.0, 149.0, true, false},          // a real reading, but hotter than the equation
        {60.0, 59.9, true, false},            // above 98 %: EMC too steep to tell
        {60.0, 60.7, false, false},           // wet above dry
        {-0.5, -1.0, true, true},
        {-2.0, -3.0, true, false},            // colder than the equation
    };
    for (const auto& r : rows) {
        const Moisture m = MoistureOf(r.dry, r.wet, plant);
        EXPECT_EQ(m.relativeHumidity.has_value(), r.rh) << r.dry.value_or(999) << "/" << r.wet.value_or(999);
        EXPECT_EQ(m.equilibriumMoisture.has_value(), r.emc) << r.dry.value_or(999) << "/" << r.wet.value_or(999);
    }
    // The chamber's own coefficient, pressure and limits are the ones used.
    const Conditions still{kUnventilatedCoefficient, 900.0, -10.0, 70.0};
    EXPECT_EQ(MoistureOf(60.0, 50.0, still).relativeHumidity, RelativeHumidity(60.0, 50.0, kUnventilatedCoefficient, 900.0));
    EXPECT_EQ(MoistureOf(60.0, 50.0, still).equilibriumMoisture,
              EquilibriumMoisture(60.0, *RelativeHumidity(60.0, 50.0, kUnventilatedCoefficient, 900.0)));
    EXPECT_EQ(MoistureOf(71.0, 50.0, still), Moisture{});
    EXPECT_EQ(MoistureOf(60.0, -11.0, still), Moisture{});
}
