// What the overview shows of a chamber, from its last answered scan.
#include <gtest/gtest.h>

#include "plant/chamber_moisture.h"
#include "plant/chamber_tile.h"

using namespace torv;
using namespace torv::plant;

namespace {

drying_log::Row Scan(int step, int done, int total, drying_log::LocalTime time)
{
    drying_log::Row r;
    r.time = time;
    r.address = 3;
    r.tempDry = 635;
    r.tempWet = -5;
    r.difference = 425;
    r.setTemperature = 70;
    r.setDifference = 5;
    r.autoStep = step;
    r.autoHoursDone = done;
    r.autoHoursTotal = total;
    r.heating = 1;
    r.humidifying = 0;
    r.ventOpen = 0;
    r.ventClose = 1;
    return r;
}

} // namespace

TEST(ChamberTile, ValuesProgrammeEndAndStaleness)
{
    const drying_log::LocalTime newYearsEve{2026, 12, 31, 23, 30, 5, 60};
    const ChamberTile live = TileOf("Komora 3 – dąb", 3, Scan(2, 5, 8, newYearsEve), true);
    EXPECT_EQ(live.title, "Komora 3 – dąb");
    EXPECT_EQ(live.dry, "T suchy 63,5 °C");
    EXPECT_EQ(live.wet, "T mokry -0,5 °C");
    EXPECT_EQ(live.difference, "Różnica 4,25 °C (zad. 5 °C)");
    EXPECT_EQ(live.setTemperature, "TEMP zadana 70 °C");
    EXPECT_EQ(live.programme, "Krok 2: 5/8 h, koniec ok. 02:30 01.01.2027");
    EXPECT_EQ(live.lastAnswer, "odpowiedź 23:30:05 31.12.");
    EXPECT_FALSE(live.stale);
    // Humidifying, heating, vent opening, vent closing.
    EXPECT_EQ((std::array<bool, 4>{live.actuators[0].on, live.actuators[1].on, live.actuators[2].on, live.actuators[3].on}),
              (std::array<bool, 4>{false, true, false, true}));
    EXPECT_EQ(live.actuators[1].caption, "Grzanie");

    // The last good values stay, greyed, with their time; manual operation has no end.
    const ChamberTile silent = TileOf("Komora 3", 3, Scan(0, 0, 0, newYearsEve), false);
    EXPECT_TRUE(silent.stale);
    EXPECT_EQ(silent.programme, "Praca ręczna");
    EXPECT_EQ(silent.lastAnswer, "brak odpowiedzi od 23:30:05 31.12.");
    const ChamberTile never = TileOf("Komora 9", 9, std::nullopt, false);
    EXPECT_TRUE(never.stale);
    EXPECT_EQ(never.dry, "T suchy –");
    EXPECT_EQ(never.lastAnswer, "jeszcze nie odpowiedziała");
}

TEST(ChamberTile, HoursAddAcrossDaysMonthsAndLeapDays)
{
    const auto at = [](drying_log::LocalTime t, int hours) {
        const drying_log::LocalTime e = AddHours(t, hours);
        return std::to_string(e.year) + "-" + std::to_string(e.month) + "-" + std::to_string(e.day) + " " +
               std::to_string(e.hour) + ":" + std::to_string(e.minute);
    };
    EXPECT_EQ(at({2028, 2, 28, 12, 0, 0, 60}, 24), "2028-2-29 12:0");
    EXPECT_EQ(at({2027, 2, 28, 12, 0, 0, 60}, 24), "2027-3-1 12:0");
    EXPECT_EQ(at({2026, 12, 8, 15, 45, 0, 60}, 255), "2026-12-19 6:45");
    EXPECT_EQ(at({2026, 1, 1, 0, 15, 0, 60}, -1), "2025-12-31 23:15");
    EXPECT_EQ(AddHours({2026, 12, 8, 15, 45, 30, 120}, 1).utcOffsetMinutes, 120);
}

// RH and EMC under the bulbs: from T suchy and T mokry with the chamber's
// psychrometer, whole percents and a tenth, "–" where there is no value.
TEST(ChamberTile, HumidityAndWoodMoistureUnderTheBulbs)
{
    const drying_log::LocalTime noon{2026, 12, 8, 12, 0, 0, 60};
    const auto bulbs = [&noon](std::optional<int> dry, std::optional<int> wet) {
        drying_log::Row r = Scan(1, 0, 8, noon);
        r.tempDry = dry;
        r.tempWet = wet;
        r.tempControl1 = 200; // the second pair, never the one used
        r.tempControl2 = 100;
        return r;
    };
    const quantities::Conditions still{quantities::kUnventilatedCoefficient};
    const quantities::Conditions high{quantities::kVentilatedCoefficient, 900.0};
    const quantities::Conditions narrow{quantities::kVentilatedCoefficient, 1013.25, -40.0, 55.0};
    const struct {
        std::optional<drying_log::Row> row;
        quantities::Conditions conditions;
        const char* separator;
        const char* humidity;
        const char* wood;
    } rows[] = {
        {bulbs(600, 500), {}, ",", "RH 59 %", "EMC 8,9 %"},
        {bulbs(700, 588), {}, ",", "RH 58 %", "EMC 8,3 %"},
        {bulbs(600, 500), still, ",", "RH 58 %", "EMC 8,8 %"}, // the chamber's own coefficient
        {bulbs(600, 500), high, ",", "RH 59 %", "EMC 9,0 %"},  // and the plant's pressure
        {bulbs(600, 500), {}, ".", "RH 59 %", "EMC 8.9 %"},
        {bulbs(250, 249), {}, ",", "RH 99 %", "EMC –"},      // above 98 %
        {bulbs(600, 500), narrow, ",", "RH –", "EMC –"},     // a bulb its alarms call a fault
        {bulbs(600, 610), {}, ",", "RH –", "EMC –"},         // wet above dry
        {bulbs(600, std::nullopt), {}, ",", "RH –", "EMC –"},
        {Scan(2, 5, 8, noon), {}, ",", "RH –", "EMC –"},     // below 0 %: a dry wick
        {std::nullopt, {}, ",", "RH –", "EMC –"},            // never answered
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.row ? std::to_string(r.row->tempDry.value_or(-1)) : "none");
        const ChamberTile tile = TileOf("Komora 3", 3, r.row, true, r.separator, r.conditions);
        EXPECT_EQ(tile.humidity, r.humidity);
        EXPECT_EQ(tile.woodMoisture, r.wood);
    }
}

// Which psychrometer a chamber has comes from the list; one not listed has the defaults.
TEST(ChamberTile, ConditionsComeFromTheChamberList)
{
    ChamberList list{60, {}, {{3, "Komora 3", Psychrometer::Unventilated, {}}, {4, "Komora 4"}}, 95000, {}};
    list.alarms.sensorLowTenths = -100;
    list.alarms.sensorHighTenths = 1200;
    const struct {
        int address;
        quantities::Conditions expected;
    } rows[] = {
        {3, {quantities::kUnventilatedCoefficient, 950.0, -10.0, 120.0}},
        {4, {quantities::kVentilatedCoefficient, 950.0, -10.0, 120.0}},
        {9, {quantities::kVentilatedCoefficient, 950.0, -10.0, 120.0}},
    };
    for (const auto& r : rows)
        EXPECT_EQ(MoistureConditions(list, r.address), r.expected) << r.address;
    EXPECT_EQ(MoistureConditions(ChamberList{}, 3), quantities::Conditions{});

    // A failed scan has no values; an answered one is computed with the chamber's conditions.
    drying_log::Row row;
    row.address = 3;
    row.tempDry = 600;
    row.tempWet = 500;
    EXPECT_EQ(ChamberMoisture(list, row), quantities::MoistureOf(60.0, 50.0, MoistureConditions(list, 3)));
    EXPECT_NE(ChamberMoisture(list, row), ChamberMoisture(ChamberList{}, row));
    row.status = drying_log::Status::Failed;
    EXPECT_EQ(ChamberMoisture(list, row), quantities::Moisture{});
}
