// A drying run's record as its report reads it, on synthetic series of scans
// and on day files written in the drying log's own format.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "charge/chamber_record.h"
#include "charge/charge.h"
#include "charge/decimate.h"
#include "charge/heat_treatment.h"
#include "charge/last_run.h"
#include "charge/plant_time.h"
#include "charge/record_analysis.h"
#include "charge/sha256.h"
#include "charge/span_alarms.h"
#include "plant/alarm_log.h"
#include "support/child_process.h"

using namespace torv;
using namespace torv::charge;
using drying_log::LocalTime;
using drying_log::Row;

namespace {

// The plant's clock `seconds` after 2026-12-08 23:50:00 +01:00, so that a
// few minutes of scans cross midnight into the next day's file.
LocalTime At(long long seconds, int offsetMinutes = 60)
{
    long long s = 1796770200 + seconds + offsetMinutes * 60LL; // local seconds since 1970
    long long days = s / 86400;
    s %= 86400;
    // Days since 1970 to a civil date, whole eras of 400 years.
    days += 719468;
    const long long era = days / 146097, doe = days - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100), mp = (5 * doy + 2) / 153;
    const int day = int(doy - (153 * mp + 2) / 5 + 1), month = int(mp < 10 ? mp + 3 : mp - 9);
    const int year = int(yoe + era * 400 + (month <= 2 ? 1 : 0));
    return {year, month, day, int(s / 3600), int(s / 60 % 60), int(s % 60), offsetMinutes};
}

// An answered scan of chamber 5 at At(seconds).
Row Scan(long long seconds, std::optional<int> step, std::optional<int> dry = 600, std::optional<int> wet = 500,
         std::optional<int> control1 = {}, std::optional<int> control2 = {})
{
    Row r;
    r.time = At(seconds);
    r.address = 5;
    r.autoStep = step;
    r.tempDry = dry, r.tempWet = wet, r.tempControl1 = control1, r.tempControl2 = control2;
    // What every answered scan holds besides.
    r.difference = 1000;
    r.autoHoursDone = 0, r.autoHoursTotal = 8, r.setTemperature = 60, r.setDifference = 10;
    r.heating = r.humidifying = r.ventOpen = r.ventClose = 0;
    return r;
}
Row Failed(long long seconds)
{
    Row r;
    r.time = At(seconds);
    r.address = 5;
    r.status = drying_log::Status::Failed;
    return r;
}

// Scans every 10 s from `from`, one per step of `steps`.
std::vector<Row> Steps(std::initializer_list<int> steps, long long from = 0)
{
    std::vector<Row> rows;
    for (const int s : steps)
        rows.push_back(Scan(from, s)), from += 10;
    return rows;
}

// Writes rows into their day files in `dir` as the logger does, with extra raw lines.
void WriteDayFiles(const std::string& dir, const std::vector<Row>& rows, const std::string& extra = {})
{
    std::map<std::string, std::string> files;
    for (const Row& r : rows) {
        std::string& text = files[dir + "/" + drying_log::FileName(r.address, r.time)];
        if (text.empty())
            text = drying_log::HeaderLine() + drying_log::kLineBreak + extra;
        text += drying_log::FormatRow(r) + drying_log::kLineBreak;
    }
    for (const auto& [path, text] : files)
        std::ofstream(path, std::ios::binary) << text;
}

} // namespace

// The published test vectors, across one and two padding blocks.
TEST(Charge, Sha256MatchesThePublishedVectors)
{
    const struct {
        std::string text;
        const char* digest;
    } rows[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(Sha256Hex(r.text), r.digest) << r.text.size();
}

TEST(Charge, PlantTimesBecomeUtcSecondsWithTheirOffsets)
{
    const struct {
        LocalTime time;
        long long utc;
    } rows[] = {
        {{1970, 1, 1, 0, 0, 0, 0}, 0},
        {{1969, 12, 31, 23, 0, 0, 0}, -3600},
        {{2026, 12, 8, 5, 43, 17, 60}, 1796704997},
        {{2024, 2, 29, 23, 59, 59, -210}, 1709263799}, // a leap day, west of Greenwich
        {{2026, 12, 8, 4, 43, 17, 0}, 1796704997},     // the same instant in UTC
    };
    for (const auto& r : rows)
        EXPECT_EQ(UtcSeconds(r.time), r.utc) << drying_log::IsoTime(r.time);
    for (const auto& r : rows)
        EXPECT_EQ(ClockTime(r.utc, r.time.utcOffsetMinutes), r.time) << drying_log::IsoTime(r.time);
    EXPECT_EQ(drying_log::IsoTime(At(0)), "2026-12-08T23:50:00+01:00");
    EXPECT_EQ(drying_log::IsoTime(At(600)), "2026-12-09T00:00:00+01:00");
}

// Which scans bound the last run: indices into the scans in time order.
TEST(Charge, TheLastRunGoesFromAStepLeavingZeroToItsReturn)
{
    const struct {
        const char* what;
        std::vector<Row> rows;
        std::optional<RunRows> run;
    } rows[] = {
        {"manual work only", Steps({0, 0, 0}), std::nullopt},
        {"no scans", {}, std::nullopt},
        {"a finished run", Steps({0, 1, 1, 2, 0, 0}), RunRows{1, 4, false, true}},
        {"the later of two runs", Steps({0, 1, 0, 0, 3, 4, 0}), RunRows{4, 6, false, true}},
        {"still running", Steps({0, 0, 2, 3}), RunRows{2, 3, true, true}},
        {"running since before the record", Steps({4, 5, 5}), RunRows{0, 2, true, false}},
        {"ended, started before the record", Steps({9, 10, 0}), RunRows{0, 2, false, false}},
        {"failed scans neither start nor end it",
         {Scan(0, 0), Failed(10), Scan(20, 1), Failed(30), Scan(40, 1), Failed(50), Scan(60, 0)},
         RunRows{2, 6, false, true}},
        {"a logger restart keeps it", {Scan(0, 0), Scan(10, 2), Scan(4000, 2), Scan(4010, 0)}, RunRows{1, 3, false, true}},
        {"a step outside 1..10 is no programme", Steps({0, 11, 11}), std::nullopt},
    };
    for (const auto& r : rows)
        EXPECT_EQ(LastRun(r.rows), r.run) << r.what;
}

TEST(Charge, TheScanPeriodIsTheMedianIntervalAndGapsExceedThreeOfIt)
{
    const struct {
        const char* what;
        std::vector<Row> rows;
        std::optional<long long> period;
        std::vector<long long> gaps; // seconds
    } rows[] = {
        {"one scan", {Scan(0, 1)}, std::nullopt, {}},
        {"even scans", Steps({1, 1, 1, 1}), 10, {}},
        {"three periods are no gap", {Scan(0, 1), Scan(10, 1), Scan(20, 1), Scan(50, 1)}, 10, {}},
        {"more than three are", {Scan(0, 1), Scan(10, 1), Scan(20, 1), Scan(51, 1), Scan(61, 1)}, 10, {31}},
        {"a long silence does not move the period",
         {Scan(0, 1), Scan(60, 1), Scan(120, 1), Scan(7320, 1), Scan(7380, 1)}, 60, {7200}},
        {"failed scans are no record",
         {Scan(0, 1), Scan(10, 1), Failed(20), Failed(30), Failed(40), Scan(50, 1), Scan(60, 1)}, 10, {40}},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(ScanPeriodSeconds(r.rows), r.period) << r.what;
        std::vector<long long> gaps;
        for (const Gap& g : Gaps(r.rows, r.period.value_or(10)))
            gaps.push_back(g.seconds);
        EXPECT_EQ(gaps, r.gaps) << r.what;
    }
    const auto gap = Gaps({Scan(0, 1), Scan(100, 1)}, 10);
    ASSERT_EQ(gap.size(), 1u);
    EXPECT_EQ(gap[0], (Gap{At(0), At(100), 100}));
}

// The window of the lowest named probe at or above the limit, 56.0 °C for
// 30 minutes unless set otherwise; scans every minute.
TEST(Charge, TheHeatTreatmentWindowIsContinuousOnTheLowestNamedProbe)
{
    using plant::CoreProbes;
    const plant::HeatTreatment limits{560, 30};
    // Minute-apart scans, each {control1, control2} in tenths; a missing
    // value is a probe without a reading, 0 a failed scan.
    const auto series = [](std::vector<std::pair<std::optional<int>, std::optional<int>>> probes, long long skipAt = -1,
                           long long skipSeconds = 0) {
        std::vector<Row> rows;
        long long t = 0;
        for (std::size_t i = 0; i < probes.size(); ++i) {
            if (static_cast<long long>(i) == skipAt)
                t += skipSeconds;
            rows.push_back(probes[i].first == 0 ? Failed(t) : Scan(t, 1, 600, 500, probes[i].first, probes[i].second));
            t += 60;
        }
        return rows;
    };
    using Probes = std::vector<std::pair<std::optional<int>, std::optional<int>>>;
    const auto hot = [](int minutes, int c1, int c2) { return Probes(minutes, {c1, c2}); };
    const auto join = [](Probes a, const Probes& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const struct {
        const char* what;
        std::vector<Row> rows;
        CoreProbes probes;
        bool met;
        std::optional<long long> longestFrom, longestSeconds; // minutes after the first scan, seconds
    } rows[] = {
        {"31 scans at the limit: 30 minutes", series(hot(31, 560, 560)), {true, true}, true, 0, 1800},
        {"30 scans: 29 minutes", series(hot(30, 560, 560)), {true, true}, false, 0, 1740},
        {"a tenth below never starts", series(hot(40, 559, 700)), {true, true}, false, std::nullopt, std::nullopt},
        {"only the named probe counts", series(hot(40, 559, 700)), {false, true}, true, 0, 2340},
        {"the lowest of both", series(join(hot(5, 500, 500), hot(35, 700, 561))), {true, true}, true, 5, 2040},
        {"a dip restarts it, the longer window wins",
         series(join(join(hot(20, 600, 600), hot(1, 555, 600)), hot(25, 600, 600))), {true, true}, false, 21, 1440},
        {"a probe without a value breaks it",
         series(join(join(hot(20, 600, 600), Probes{{600, std::nullopt}}), hot(25, 600, 600))), {true, true}, false, 21, 1440},
        {"a failed scan breaks it", series(join(join(hot(20, 600, 600), Probes{{0, 0}}), hot(25, 600, 600))), {true, true},
         false, 21, 1440},
        {"a gap of two periods keeps it", series(hot(30, 600, 600), 15, 60), {true, true}, true, 0, 1800},
        {"a gap of more than two breaks it", series(hot(31, 600, 600), 15, 61), {true, true}, false, 15, 900},
        {"no probe named: no judgement", series(hot(40, 700, 700)), {false, false}, false, std::nullopt, std::nullopt},
    };
    for (const auto& r : rows) {
        const HeatVerdict v = JudgeHeatTreatment(r.rows, r.probes, limits, 60);
        EXPECT_EQ(v.judged, r.probes.control1 || r.probes.control2) << r.what;
        EXPECT_EQ(v.met, r.met) << r.what;
        ASSERT_EQ(v.longest.has_value(), r.longestSeconds.has_value()) << r.what;
        if (v.longest) {
            EXPECT_EQ(v.longest->seconds, *r.longestSeconds) << r.what;
            EXPECT_EQ(v.longest->from, r.rows[*r.longestFrom].time) << r.what;
            EXPECT_EQ(UtcSeconds(v.longest->to) - UtcSeconds(v.longest->from), v.longest->seconds) << r.what;
        }
    }
    // The limits are settings.
    EXPECT_FALSE(JudgeHeatTreatment(series(hot(31, 600, 600)), {true, true}, {601, 30}, 60).met);
    EXPECT_FALSE(JudgeHeatTreatment(series(hot(31, 600, 600)), {true, true}, {560, 31}, 60).met);
}

// Statistics over every answered scan of each stretch in one step.
TEST(Charge, EachStepHasItsTimeSettingsAndStatistics)
{
    std::vector<Row> rows{Scan(0, 0), Scan(10, 1, 500, 400), Scan(20, 1, 700, 600), Failed(30), Scan(40, 1, 600, 650),
                          Scan(50, 2, 800, std::nullopt), Scan(3650, 2, 820, 700), Scan(3660, 0)};
    rows[1].autoHoursTotal = 6, rows[1].setTemperature = 55, rows[1].setDifference = 300;
    rows[2].autoHoursTotal = 9; // a later change does not rewrite the step as it began
    const auto steps = StepSummaries(rows, {});
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].step, 1);
    EXPECT_EQ(steps[0].began, At(10));
    EXPECT_EQ(steps[0].seconds, 40); // to step 2's first scan
    EXPECT_EQ(steps[0].hoursTotal, 6);
    EXPECT_EQ(steps[0].setTemperature, 55);
    EXPECT_EQ(steps[0].setDifference, 300);
    EXPECT_EQ(steps[0].scans, 3u);
    EXPECT_EQ(steps[0].dry, (Statistic{50.0, 60.0, 70.0}));
    EXPECT_EQ(steps[0].wet.min, 40.0);
    EXPECT_EQ(steps[0].wet.max, 65.0);
    // Wet above dry gives no humidity: 65 over 60 counts in T mokry only.
    const quantities::Moisture first = quantities::MoistureOf(50.0, 40.0), second = quantities::MoistureOf(70.0, 60.0);
    ASSERT_TRUE(first.relativeHumidity && second.relativeHumidity);
    EXPECT_NEAR(*steps[0].relativeHumidity.mean, (*first.relativeHumidity + *second.relativeHumidity) / 2, 1e-9);
    EXPECT_NEAR(*steps[0].equilibriumMoisture.min,
                std::min(*first.equilibriumMoisture, *second.equilibriumMoisture), 1e-9);
    EXPECT_EQ(steps[1].step, 2);
    EXPECT_EQ(steps[1].seconds, 3610); // to the return to 0
    EXPECT_EQ(steps[1].wet, (Statistic{70.0, 70.0, 70.0}));
    // A run cut off in its step runs to its last scan.
    const auto open = StepSummaries({Scan(0, 3), Scan(10, 3), Scan(25, 3)}, {});
    ASSERT_EQ(open.size(), 1u);
    EXPECT_EQ(open[0].seconds, 25);
}

TEST(Charge, TheAlarmLogReadsBackIntoSpellsWithTheirDurations)
{
    using plant::AlarmEvent;
    using plant::AlarmEventType;
    using plant::AlarmKind;
    const auto event = [](AlarmEventType type, int address, AlarmKind kind, long long t, std::string value = {}) {
        return AlarmEvent{type, {address, kind}, At(t), std::move(value)};
    };
    const std::vector<AlarmEvent> events{
        event(AlarmEventType::Raised, 5, AlarmKind::NoCommunication, -500),  // cleared before the span
        event(AlarmEventType::Cleared, 5, AlarmKind::NoCommunication, -100),
        event(AlarmEventType::Raised, 5, AlarmKind::TemperatureDeviation, -60, "T suchy 63,5 °C, zadana 70 °C"),
        event(AlarmEventType::Raised, 7, AlarmKind::SensorFault, 10),          // another chamber
        event(AlarmEventType::Acknowledged, 5, AlarmKind::TemperatureDeviation, 30),
        event(AlarmEventType::Cleared, 5, AlarmKind::TemperatureDeviation, 120),
        event(AlarmEventType::Raised, 5, AlarmKind::ProgrammeFinished, 200),   // a notice: a moment
        event(AlarmEventType::Raised, 5, AlarmKind::SensorFault, 900, "T mokry \"-\""),
        event(AlarmEventType::Cleared, 5, AlarmKind::SensorFault, 5000),       // after the span
        event(AlarmEventType::Raised, 5, AlarmKind::NoCommunication, 2000),    // after the span
    };
    // Written and read back as the log holds them, quotes and commas in values too.
    std::string text = plant::AlarmLogHeaderLine() + "\r\n";
    for (const AlarmEvent& e : events)
        text += plant::AlarmLogLine(e) + "\r\n";
    text += "2026-12-09T00:00:00+01:00,5,flood,raised,\r\n"
            "not a line\r\n"
            "2026-12-09T00:00:00+01:00,5,sensor-fault,raised,\"open\r\n"
            "2026-12-09T00:00:00+01:00,5,sensor-fault,rai";
    const AlarmLogContents read = ParseAlarmLog(text);
    EXPECT_EQ(read.events, events);
    std::vector<std::pair<std::size_t, std::string>> skipped;
    for (const auto& s : read.skipped)
        skipped.emplace_back(s.number, s.reason);
    EXPECT_EQ(skipped, (std::vector<std::pair<std::size_t, std::string>>{
                           {12, "unknown kind"}, {13, "not five fields"}, {14, "not five fields"},
                           {15, "torn: the line has no line break"}}));

    const auto spells = SpanAlarms(read.events, 5, UtcSeconds(At(0)), UtcSeconds(At(1800)));
    const std::vector<AlarmSpell> expected{
        {AlarmKind::TemperatureDeviation, At(-60), At(120), "T suchy 63,5 °C, zadana 70 °C", 180},
        {AlarmKind::ProgrammeFinished, At(200), std::nullopt, "", 0},
        {AlarmKind::SensorFault, At(900), std::nullopt, "T mokry \"-\"", 900}, // held to the span's end
    };
    EXPECT_EQ(spells, expected);
}

// Day files across midnight: the span and the last run found in them, each
// file with its digest, and every line not taken named with its place.
TEST(Charge, TheRecordIsReadAcrossDayFilesWithDigestsAndSkippedLines)
{
    torv::testing::TempDir dir;
    std::vector<Row> rows = Steps({0, 0, 1, 1, 1}, 0);      // 23:50:00 .. 23:50:40
    for (const Row& r : Steps({1, 2, 2, 0, 0}, 1200))        // 00:10:00 .. 00:10:40 the next day
        rows.push_back(r);
    Row other = Scan(20, 1);
    other.address = 6; // a row of another controller in chamber 5's file
    WriteDayFiles(dir.path(), rows, "garbage,line\r\n" + drying_log::FormatRow(other) + "\r\n");
    Row foreign = Scan(0, 4);
    foreign.address = 6;
    WriteDayFiles(dir.path(), {foreign}); // chamber 6's own file is not chamber 5's

    const auto days = ChamberDayFiles(dir.path(), 5);
    ASSERT_EQ(days.size(), 2u);
    EXPECT_EQ(days[0].path, dir.path() + "/komora-005-2026-12-08.csv");
    EXPECT_EQ(days[1].day, days[0].day + 1);

    const auto found = FindLastRun(dir.path(), 5);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->from, At(20));
    EXPECT_EQ(found->to, At(1230));
    EXPECT_FALSE(found->running);
    ASSERT_EQ(found->record.rows.size(), 7u);
    ASSERT_EQ(found->record.files.size(), 2u);
    std::ifstream first(days[0].path, std::ios::binary);
    EXPECT_EQ(found->record.files[0].sha256, Sha256Hex(std::string(std::istreambuf_iterator<char>(first), {})));
    EXPECT_EQ(found->record.files[1].rows, 5u);
    ASSERT_EQ(found->record.skipped.size(), 4u); // two lines in each file
    EXPECT_EQ(found->record.skipped[0].path, days[0].path);
    EXPECT_EQ(found->record.skipped[0].line.number, 2u);
    EXPECT_EQ(found->record.skipped[0].line.text, "garbage,line");
    EXPECT_EQ(found->record.skipped[1].line.number, 3u);
    EXPECT_EQ(found->record.skipped[1].line.reason, "a row of controller 6");

    // A span inside the first day reads that file alone.
    const Record early = ReadSpan(dir.path(), 5, At(10), At(30));
    EXPECT_EQ(early.rows.size(), 3u);
    ASSERT_EQ(early.files.size(), 1u);
    EXPECT_EQ(early.files[0].path, days[0].path);
    // The same instants in another offset are the same span.
    EXPECT_EQ(ReadSpan(dir.path(), 5, At(10, 0), At(30, -300)).rows, early.rows);
    EXPECT_TRUE(ReadSpan(dir.path(), 5, At(50), At(1190)).rows.empty());
    EXPECT_FALSE(FindLastRun(dir.path(), 9));
}

// A run begun days before its end is followed back file by file.
TEST(Charge, TheLastRunIsFollowedBackAcrossManyDays)
{
    torv::testing::TempDir dir;
    std::vector<Row> rows{Scan(0, 0)};
    for (long long day = 0; day < 5; ++day)
        rows.push_back(Scan(300 + day * 86400, 3)), rows.push_back(Scan(1000 + day * 86400, 3));
    rows.push_back(Scan(5 * 86400, 3)); // still running
    WriteDayFiles(dir.path(), rows);
    const auto found = FindLastRun(dir.path(), 5);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->from, At(300));
    EXPECT_EQ(found->to, At(5 * 86400));
    EXPECT_TRUE(found->running);
    EXPECT_EQ(found->record.rows.size(), rows.size() - 1);
    EXPECT_EQ(found->record.files.size(), 6u);
}

// Each column keeps its lowest and highest point in their order; fewer
// points than two a column are kept as they are.
TEST(Charge, CurvesAreCutToTheLowestAndHighestPointOfEachColumn)
{
    using P = std::vector<Point>;
    const struct {
        const char* what;
        P points;
        int columns;
        P kept;
    } rows[] = {
        {"few points stay", {{0, 1}, {1, 5}, {2, 3}}, 2, {{0, 1}, {1, 5}, {2, 3}}},
        {"min before max", {{0, 5}, {1, 1}, {2, 9}, {3, 4}, {5, 2}, {6, 8}, {7, 7}, {9, 3}, {9.5, 6}}, 2,
         {{1, 1}, {2, 9}, {5, 2}, {6, 8}}},
        {"max before min", {{0, 9}, {1, 1}, {2, 5}, {3, 4}, {6, 1}, {7, 2}, {8, 3}, {9, 4}, {10, 3}}, 2,
         {{0, 9}, {1, 1}, {6, 1}, {9, 4}}}, // the last point, at x1, falls in the last column
        {"an empty column adds nothing", {{0, 1}, {0.1, 2}, {0.2, 3}, {9, 4}, {9.1, 5}, {9.2, 1}, {9.3, 1}}, 3,
         {{0, 1}, {0.2, 3}, {9.1, 5}, {9.2, 1}}},
        {"a flat column keeps one", {{0, 2}, {1, 2}, {2, 2}, {6, 1}, {7, 3}}, 2, {{0, 2}, {6, 1}, {7, 3}}},
    };
    for (const auto& r : rows)
        EXPECT_EQ(MinMaxPerColumn(r.points, 0, 10, r.columns), r.kept) << r.what;
    // A day of 10-second scans onto 2000 columns: at most two points a column, the extremes kept.
    P day;
    for (int i = 0; i < 8640; ++i)
        day.emplace_back(i * 10.0, i == 4321 ? 99.0 : i == 777 ? -5.0 : (i % 17));
    const P cut = MinMaxPerColumn(day, 0, 86400, 2000);
    EXPECT_LE(cut.size(), 4000u);
    EXPECT_NE(std::find(cut.begin(), cut.end(), Point{43210.0, 99.0}), cut.end());
    EXPECT_NE(std::find(cut.begin(), cut.end(), Point{7770.0, -5.0}), cut.end());
    EXPECT_TRUE(std::is_sorted(cut.begin(), cut.end()));
}

// The report's whole analysis from files, and the spans it refuses.
TEST(Charge, AChargeIsMadeFromTheFilesOrRefusedWithItsReason)
{
    torv::testing::TempDir dir;
    std::vector<Row> rows{Scan(0, 0)};
    for (long long t = 60; t <= 3600; t += 60)
        rows.push_back(Scan(t, t < 1800 ? 1 : 2, 700, 600, 600, 570));
    rows.push_back(Scan(3660, 0));
    WriteDayFiles(dir.path(), rows);
    plant::ChamberList list{60, {}, {{5, "Suszarnia", plant::Psychrometer::Ventilated, {false, true}}}};
    std::string error;
    const auto charge = MakeCharge({dir.path(), 5, {}, {}}, list, error);
    ASSERT_TRUE(charge) << error;
    EXPECT_TRUE(charge->lastRun);
    EXPECT_EQ(charge->chamberName, "Suszarnia");
    EXPECT_EQ(charge->from, At(60));
    EXPECT_EQ(charge->to, At(3660));
    EXPECT_EQ(charge->scanPeriodSeconds, 60);
    ASSERT_EQ(charge->steps.size(), 2u);
    EXPECT_TRUE(charge->heat.judged);
    EXPECT_TRUE(charge->heat.met); // TempControl2 at 57.0 °C for the whole hour
    EXPECT_EQ(charge->heat.longest->seconds, 3540);

    // Not on the list: no probe is named, the record proves nothing.
    const auto unlisted = MakeCharge({dir.path(), 5, {}, {}}, plant::ChamberList{}, error);
    ASSERT_TRUE(unlisted);
    EXPECT_FALSE(unlisted->heat.judged);
    EXPECT_EQ(unlisted->chamberName, "Komora 5");

    const struct {
        const char* what;
        ChargeRequest request;
        const char* says;
    } refused[] = {
        {"no run", {dir.path(), 6, {}, {}}, "brak przebiegu programu komory 6 w dzienniku"},
        {"no scan in the span", {dir.path(), 5, At(4000), At(5000)}, "brak pomiarów komory 5 w podanym okresie"},
        {"an end before the start", {dir.path(), 5, At(100), At(50)}, "koniec okresu przed jego początkiem"},
    };
    for (const auto& r : refused) {
        error.clear();
        EXPECT_FALSE(MakeCharge(r.request, list, error)) << r.what;
        EXPECT_EQ(error, r.says) << r.what;
    }
    // A span given: exactly its scans.
    const auto given = MakeCharge({dir.path(), 5, At(0), At(600)}, list, error);
    ASSERT_TRUE(given);
    EXPECT_FALSE(given->lastRun);
    EXPECT_EQ(given->record.rows.size(), 11u);
    // Given in UTC, shown on the plant's clock.
    const auto utc = MakeCharge({dir.path(), 5, At(0, 0), At(600, 0)}, list, error);
    ASSERT_TRUE(utc);
    EXPECT_EQ(utc->from, At(0));
    EXPECT_EQ(utc->to, At(600));
}
