// The drying log chart's curves, ranges and clock, without a window.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QTimeZone>
#include <ostream>

#include "view/trend_series.h"

using namespace torv::drying_log;

void PrintTo(const QPointF& p, std::ostream* os) { *os << '(' << qint64(p.x()) << ", " << p.y() << ')'; }

namespace {

const LocalTime kDay{2026, 11, 20, 0, 0, 0, 60};

qint64 Msecs(const LocalTime& t)
{
    return QDateTime(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second),
                     QTimeZone(t.utcOffsetMinutes * 60))
        .toMSecsSinceEpoch();
}

// A good line of controller 5 at `second` of kDay; temperatures in tenths.
Row Line(int second, int dry, int wet = 400, int set = 50, int step = 1, int difference = 500)
{
    Row row;
    row.time = kDay;
    row.time.hour = second / 3600;
    row.time.minute = second / 60 % 60;
    row.time.second = second % 60;
    row.address = 5;
    row.tempDry = dry;
    row.tempWet = wet;
    row.setTemperature = set;
    row.autoStep = step;
    row.difference = difference;
    return row;
}

double X(const Row& row) { return double(Msecs(row.time)); }

} // namespace

TEST(TrendSeries, TakesTheGoodLinesOfItsControllerWithStepsAtEachChange)
{
    std::vector<Row> file = {Line(0, 450), Line(10, 460), Line(20, 470), Line(30, 480, 400, 55, 2),
                             Line(40, 490, 400, 55, 2)};
    file[1].address = 6;
    file[2].status = Status::Failed;
    file[4].tempControl1 = 420;
    TrendSeries trend(5);
    const TrendSeries::Points points = trend.take(file);
    EXPECT_EQ(points.dry, (QList<QPointF>{{X(file[0]), 45}, {X(file[3]), 48}, {X(file[4]), 49}}));
    EXPECT_EQ(points.set, (QList<QPointF>{{X(file[0]), 50}, {X(file[3]), 50}, {X(file[3]), 55}, {X(file[4]), 55}}));
    EXPECT_EQ(points.control1, (QList<QPointF>{{X(file[4]), 42}}));
    EXPECT_TRUE(trend.control1Used());
    EXPECT_FALSE(trend.control2Used());

    // A scan taken afterwards continues the steps from the file's last line.
    Row other = Line(45, 500, 400, 70, 4);
    other.address = 6;
    EXPECT_TRUE(trend.take(other).dry.isEmpty());
    Row scan = Line(50, 500, 400, 60, 3);
    scan.tempControl2 = 430; // a sensor appearing mid-day
    EXPECT_EQ(trend.take(scan).set, (QList<QPointF>{{X(scan), 55}, {X(scan), 60}}));
    EXPECT_TRUE(trend.control2Used());
    EXPECT_EQ(trend.stepChanges(),
              (std::vector<TrendSeries::StepChange>{{Msecs(file[3].time), 2}, {Msecs(scan.time), 3}}));
    EXPECT_EQ(trend.rows().size(), 4u);
}

TEST(TrendSeries, RangesKeepWholeDegreesAroundTheValuesAndFewTicks)
{
    const struct {
        const char* what;
        std::vector<Row> rows;
        TrendSeries::Range temperature, difference;
        qint64 spanMsecs;
    } cases[] = {
        {"a day", {Line(0, 450, 400, 50, 1, 250), Line(86390, 580, 520, 60, 3, 650)}, {39, 61, 2}, {1, 8, 1}, 86390000},
        {"wet sensor at -50.0", {Line(0, 600, -500, 50, 1, 2000), Line(3600, 600, 400, 50, 1, 11000)},
         {-51, 61, 10}, {19, 111, 10}, 3600000},
        {"sensor word 0xFFFF", {Line(0, 65035, -500, 50, 1, -650000), Line(60, 600, 400, 50, 1, 655350)},
         {-51, 6505, 500}, {-6501, 6555, 1000}, 60000},
        {"a minute stretched from 30 s", {Line(0, 450), Line(30, 451)}, {39, 51, 1}, {4, 6, 0.5}, 60000},
        {"nothing yet", {}, {0, 100, 10}, {0, 10, 1}, 24 * 3600000LL},
    };
    for (const auto& c : cases) {
        TrendSeries trend(5);
        trend.take(c.rows);
        EXPECT_EQ(trend.temperatureRange(), c.temperature) << c.what;
        EXPECT_EQ(trend.differenceRange(), c.difference) << c.what;
        const auto [first, last] = trend.timeSpan(QDate(2026, 11, 20));
        EXPECT_EQ(last - first, c.spanMsecs) << c.what;
        if (!c.rows.empty()) {
            EXPECT_EQ(first, Msecs(c.rows.front().time)) << c.what;
        }
    }
    // Nine ticks under two minutes apart need the seconds.
    EXPECT_EQ(TimeAxisFormat(60000, 9), "HH:mm:ss");
    EXPECT_EQ(TimeAxisFormat(16 * 60000 - 1, 9), "HH:mm:ss");
    EXPECT_EQ(TimeAxisFormat(16 * 60000, 9), "HH:mm");
    // A span into another day carries the day under each time.
    EXPECT_EQ(TimeAxisFormat(3 * 86400000LL, 9, true), "HH:mm\ndd.MM");
    EXPECT_EQ(TimeAxisFormat(60000, 9, true), "HH:mm:ss\ndd.MM");
}

TEST(TrendSeries, PlantClockTakesTheOffsetOfTheLineAtOrBefore)
{
    // At noon the plant's clock goes back an hour: 11:00+08:00 follows 11:59:50+09:00.
    Row summer = Line(11 * 3600 + 3590, 450), winter = Line(11 * 3600, 450), later = Line(11 * 3600 + 10, 450);
    summer.time.utcOffsetMinutes = 9 * 60;
    winter.time.utcOffsetMinutes = later.time.utcOffsetMinutes = 8 * 60;
    TrendSeries trend(5);
    trend.take({summer, winter, later});
    const qint64 noon = Msecs(winter.time);
    ASSERT_EQ(noon - Msecs(summer.time), 10000);
    const auto clock = [&](qint64 msecs) { return trend.plantClock(msecs, "HH:mm:ss", QLocale::c()).toStdString(); };
    EXPECT_EQ(clock(noon - 20 * 60000), "11:40:00"); // before the first line: its offset
    EXPECT_EQ(clock(noon - 1), "11:59:59");
    EXPECT_EQ(clock(noon), "11:00:00");
    EXPECT_EQ(clock(noon + 15000), "11:00:15");
}

TEST(TrendSeries, RowNearIsTheNearestLineTheLaterOfTwoAsNear)
{
    TrendSeries trend(5);
    EXPECT_EQ(trend.rowNear(0), nullptr);
    trend.take({Line(0, 450), Line(10, 460), Line(20, 470)});
    const qint64 start = Msecs(kDay);
    const struct {
        qint64 at;
        int dry;
    } cases[] = {{-60000, 450}, {0, 450}, {10000, 460}, {12000, 460}, {15000, 470}, {18000, 470}, {60000, 470}};
    for (const auto& c : cases) {
        const Row* row = trend.rowNear(start + c.at);
        ASSERT_NE(row, nullptr) << c.at;
        EXPECT_EQ(row->tempDry, c.dry) << c.at;
    }
}
