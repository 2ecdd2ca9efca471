// What the overview shows of a chamber, from its last answered scan.
#include <gtest/gtest.h>

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
