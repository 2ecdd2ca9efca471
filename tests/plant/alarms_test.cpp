// The plant's alarm rules scan by scan on a virtual clock, and the alarm log on a disk.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "link/clock.h"
#include "plant/alarm_log.h"
#include "plant/alarms.h"
#include "support/child_process.h"

namespace fs = std::filesystem;
using namespace torv;
using namespace torv::plant;
using drying_log::LocalTime;

namespace {

constexpr std::uint64_t kSecond = 1'000'000, kMinute = 60 * kSecond;
const LocalTime kMorning{2026, 12, 8, 5, 43, 17, 60};

// One scan: temperatures in tenths, the set temperature in whole degrees as the controller holds it.
struct S {
    bool answered = true;
    int dry = 700, wet = 650, step = 3, set = 70;
    std::uint64_t afterUs = 10 * kSecond;
};
const S kNoReply{.answered = false};

drying_log::Row rowOf(const S& s, int address = 5, const LocalTime& time = kMorning)
{
    ImageRow row{};
    const auto put = [&row](int byte, int v) { row.at(std::size_t(byte - kFirstByte)) = std::uint8_t(v); };
    put(bytes::kTempDry, (s.dry + 500) >> 8);
    put(bytes::kTempDry + 1, s.dry + 500);
    put(bytes::kTempWet, (s.wet + 500) >> 8);
    put(bytes::kTempWet + 1, s.wet + 500);
    put(bytes::kAutoStep, s.step);
    put(bytes::kSetTemperature, s.set);
    return drying_log::MeasurementRow(address, row, s.answered ? drying_log::Status::Ok : drying_log::Status::Failed,
                                      time);
}

// "#3 raised sensor-fault": the 1-based scan and what it caused.
std::vector<std::string> run(AlarmMonitor& monitor, VirtualClock& clock, const std::vector<S>& scans)
{
    const char* types[] = {"raised", "cleared", "acknowledged"};
    std::vector<std::string> seen;
    for (std::size_t i = 0; i < scans.size(); ++i) {
        clock.advanceUs(scans[i].afterUs);
        for (const AlarmEvent& e : monitor.scan(rowOf(scans[i]), clock.nowUs()))
            seen.push_back("#" + std::to_string(i + 1) + " " + types[int(e.type)] + " " +
                           std::string(AlarmKey(e.id.kind)));
    }
    return seen;
}

struct RuleCase {
    const char* name;
    std::vector<S> scans;
    std::vector<std::string> events;
    AlarmThresholds thresholds{};
};

// Default thresholds: 3 failed scans; 5,0 degrees for 30 minutes; -40,0..150,0; wet over dry by 2,0 in 3 scans.
const RuleCase kRuleCases[] = {
    {"two failed scans are not yet a loss", {kNoReply, kNoReply}, {}},
    {"the third raises once, an answer clears",
     {kNoReply, kNoReply, kNoReply, kNoReply, {}},
     {"#3 raised no-communication", "#5 cleared no-communication"}},
    {"an answer restarts the count", {kNoReply, kNoReply, {}, kNoReply, kNoReply}, {}},
    {"exactly at the band's edge for an hour", {{.dry = 750}, {.dry = 650, .afterUs = 60 * kMinute}}, {}},
    {"a tenth beyond: not at 30 minutes, at 30 minutes and a microsecond",
     {{.dry = 751, .afterUs = 0}, {.dry = 751, .afterUs = 30 * kMinute}, {.dry = 751, .afterUs = 1}, {.dry = 751}},
     {"#3 raised temperature-deviation"}},
    {"failed scans keep the run but raise nothing",
     {{.dry = 649}, {.answered = false, .afterUs = 31 * kMinute}, {.dry = 649, .afterUs = 1}},
     {"#3 raised temperature-deviation"}},
    {"a scan within the band ends the run and clears",
     {{.dry = 751}, {.dry = 700, .afterUs = 20 * kMinute}, {.dry = 751}, {.dry = 751, .afterUs = 30 * kMinute},
      {.dry = 751, .afterUs = 1}, {.dry = 700}},
     {"#5 raised temperature-deviation", "#6 cleared temperature-deviation"}},
    {"leaving the programme clears; manual work is not judged",
     {{.dry = 800}, {.dry = 800, .afterUs = 31 * kMinute}, {.dry = 800, .step = 0},
      {.dry = 800, .step = 0, .afterUs = 60 * kMinute}},
     {"#2 raised temperature-deviation", "#3 cleared temperature-deviation", "#3 raised programme-finished"}},
    {"readings at the limits are sound", {{.dry = -400, .wet = -400}, {.dry = 1500, .wet = 1500}}, {}},
    {"a tenth below the low limit raises at once; a sound scan clears",
     {{.wet = -401}, {}}, {"#1 raised sensor-fault", "#2 cleared sensor-fault"}},
    {"a tenth above the high limit", {{.dry = 1501, .wet = 1501}}, {"#1 raised sensor-fault"}},
    {"wet over dry by exactly the margin", {{.wet = 720}, {.wet = 720}, {.wet = 720}}, {}},
    {"a tenth more: the third scan in a row raises",
     {{.wet = 721}, {.wet = 721}, {.wet = 721}}, {"#3 raised sensor-fault"}},
    {"a sound scan restarts the count; a failed one neither counts nor breaks it",
     {{.wet = 721}, {.wet = 721}, {.wet = 720}, {.wet = 721},
      kNoReply, {.wet = 721}, {.wet = 721}},
     {"#7 raised sensor-fault"}},
    {"only a scan with none of it clears the fault",
     {{.wet = -401}, {.wet = 721}, kNoReply, {.wet = 720}},
     {"#1 raised sensor-fault", "#4 cleared sensor-fault"}},
    {"a programme's end between answered scans; the notice never clears",
     {{.step = 10}, kNoReply, {.step = 0}, {.step = 0}, {.step = 1}, {.step = 0}},
     {"#3 raised programme-finished", "#6 raised programme-finished"}},
    {"no end seen from manual work or a first scan", {{.step = 0}, {.step = 0}, {.step = 11}, {.step = 0}}, {}},
    {"the thresholds come from the list",
     {kNoReply, {.dry = 711}, {.dry = 711, .afterUs = kMinute}, {.dry = 711, .afterUs = 1}},
     {"#1 raised no-communication", "#2 cleared no-communication", "#4 raised temperature-deviation"},
     {.noCommunicationScans = 1, .deviationTenths = 10, .deviationMinutes = 1}},
};

TEST(AlarmRules, EachRuleRaisedAndClearedAtItsEdges)
{
    for (const RuleCase& c : kRuleCases) {
        AlarmMonitor monitor(c.thresholds);
        VirtualClock clock;
        EXPECT_EQ(run(monitor, clock, c.scans), c.events) << c.name;
    }
}

TEST(AlarmRules, EventsSayWhatTheScanShowed)
{
    AlarmMonitor monitor({.noCommunicationScans = 22, .deviationMinutes = 1});
    const LocalTime later{2026, 12, 8, 6, 0, 0, 60};
    std::uint64_t us = 0;
    std::vector<AlarmEvent> events;
    const auto scan = [&](const S& s, const LocalTime& t = kMorning) {
        us += s.afterUs;
        for (AlarmEvent& e : monitor.scan(rowOf(s, 7, t), us))
            events.push_back(std::move(e));
    };
    scan({.dry = 635, .step = 10});
    scan({.dry = 635, .wet = 1501, .step = 10, .afterUs = 2 * kMinute}, later);
    scan({.dry = -5, .wet = -25, .step = 0});
    for (int i = 0; i < 22; ++i)
        scan(kNoReply);
    using enum AlarmEventType;
    const AlarmEvent expected[] = {
        {Raised, {7, AlarmKind::TemperatureDeviation}, later, "T suchy 63,5 °C, zadana 70 °C"},
        {Raised, {7, AlarmKind::SensorFault}, later, "T suchy 63,5 °C, T mokry 150,1 °C"},
        {Cleared, {7, AlarmKind::TemperatureDeviation}, kMorning, "T suchy -0,5 °C, zadana 70 °C"},
        {Cleared, {7, AlarmKind::SensorFault}, kMorning, "T suchy -0,5 °C, T mokry -2,5 °C"},
        {Raised, {7, AlarmKind::ProgrammeFinished}, kMorning, "ostatni krok 10"},
        {Raised, {7, AlarmKind::NoCommunication}, kMorning, "22 odczyty bez odpowiedzi"},
    };
    EXPECT_EQ(events, std::vector<AlarmEvent>(std::begin(expected), std::end(expected)));
    EXPECT_EQ(AlarmName(AlarmKind::TemperatureDeviation), "Odchyłka temperatury");
}

// An event as the operator reads it: its chamber, what happened when that is
// told, the kind's name and what the scan showed, when it showed anything.
TEST(AlarmRules, AnEventsLineNamesItsChamberKindAndValue)
{
    using enum AlarmEventType;
    const struct {
        AlarmEvent event;
        const char* what;
        const char* line;
    } cases[] = {
        {{Raised, {7, AlarmKind::TemperatureDeviation}, kMorning, "T suchy 63,5 °C, zadana 70 °C"}, "",
         "Suszarnia 7: Odchyłka temperatury (T suchy 63,5 °C, zadana 70 °C)"},
        {{Raised, {7, AlarmKind::SensorFault}, kMorning, "T mokry 150,1 °C"}, "alarm",
         "Suszarnia 7: alarm: Awaria czujnika (T mokry 150,1 °C)"},
        {{Cleared, {7, AlarmKind::NoCommunication}, kMorning, ""}, "alarm cleared",
         "Suszarnia 7: alarm cleared: Brak komunikacji"},
        {{Acknowledged, {7, AlarmKind::ProgrammeFinished}, kMorning, ""}, "", "Suszarnia 7: Koniec programu"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AlarmEventLine("Suszarnia 7", c.event, c.what), c.line);
}

TEST(AlarmRules, AcknowledgedAlarmsLeaveTheListOnceCleared)
{
    AlarmMonitor monitor;
    const LocalTime ackTime{2026, 12, 8, 7, 0, 0, 60};
    std::uint64_t us = 0;
    const auto scan = [&](int address, const S& s) { return monitor.scan(rowOf(s, address), us += kSecond).size(); };
    scan(5, {.wet = -401});
    for (int i = 0; i < 3; ++i)
        scan(5, kNoReply);
    scan(6, {.step = 4});
    scan(6, {.step = 0});
    const AlarmId lost{5, AlarmKind::NoCommunication}, sensor{5, AlarmKind::SensorFault},
        finished{6, AlarmKind::ProgrammeFinished};
    ASSERT_EQ(monitor.alarms().size(), 3u);
    EXPECT_EQ(monitor.alarms()[1], (Alarm{lost, kMorning, "3 odczyty bez odpowiedzi"}));
    EXPECT_EQ(monitor.chamber(5), (ChamberAlarms{.fault = true, .unacknowledged = true}));
    EXPECT_EQ(monitor.chamber(6), (ChamberAlarms{.notice = true, .unacknowledged = true}));

    const auto acks = monitor.acknowledge({lost, lost, {9, AlarmKind::SensorFault}}, ackTime);
    const AlarmEvent ack{AlarmEventType::Acknowledged, lost, ackTime, "3 odczyty bez odpowiedzi"};
    EXPECT_EQ(acks, std::vector<AlarmEvent>{ack}) << "one event, none for what is not listed";
    EXPECT_TRUE(monitor.alarms()[1].acknowledged) << "still holds, so still listed";
    const auto activeIds = [&](int address) {
        std::vector<AlarmId> ids;
        for (const Alarm& a : ActiveAlarms(monitor.alarms(), address))
            ids.push_back(a.id);
        return ids;
    };
    EXPECT_EQ(activeIds(5), (std::vector<AlarmId>{sensor, lost})) << "the chamber's own, acknowledged or not";

    EXPECT_EQ(scan(5, {}), 2u) << "both faults cleared";
    ASSERT_EQ(monitor.alarms().size(), 2u) << "the acknowledged one is gone";
    EXPECT_EQ(monitor.alarms()[0].id, sensor);
    EXPECT_TRUE(monitor.alarms()[0].cleared);
    EXPECT_EQ(monitor.chamber(5), (ChamberAlarms{.unacknowledged = true}));
    EXPECT_EQ(activeIds(5), std::vector<AlarmId>{}) << "a cleared one waiting for its acknowledgement holds no more";
    EXPECT_EQ(activeIds(6), std::vector<AlarmId>{finished});

    EXPECT_EQ(scan(5, {.dry = 1501}), 1u) << "back again: a new occurrence in the cleared one's place";
    ASSERT_EQ(monitor.alarms().size(), 2u);
    EXPECT_FALSE(monitor.alarms()[1].cleared);

    EXPECT_EQ(monitor.acknowledge({finished}, ackTime).size(), 1u);
    EXPECT_EQ(monitor.chamber(6), ChamberAlarms{}) << "a notice ends with its acknowledgement";

    scan(5, kNoReply);
    scan(5, kNoReply);
    monitor.forget(5);
    EXPECT_TRUE(monitor.alarms().empty());
    EXPECT_EQ(scan(5, kNoReply), 0u) << "the count of failed scans was forgotten too";
}

struct LogFixture {
    torv::testing::TempDir dir;
    std::vector<std::string> reports;
    AlarmLog log{dir.path(), [this](const std::string& t) { reports.push_back(t); }};
    fs::path file(const LocalTime& t) const { return fs::path(dir.path()) / "pomiary" / AlarmLogFileName(t); }
    std::string text(const LocalTime& t) const
    {
        std::ifstream in(file(t), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
};

TEST(AlarmLog, LinesOfAShortSequenceAFileADay)
{
    LogFixture f;
    const LocalTime nextDay{2026, 12, 9, 0, 0, 1, 60};
    using enum AlarmEventType;
    EXPECT_TRUE(f.log.append(std::vector<AlarmEvent>{
        {Raised, {5, AlarmKind::NoCommunication}, kMorning, "3 odczyty bez odpowiedzi"},
        {Raised, {12, AlarmKind::TemperatureDeviation}, kMorning, "T suchy 63,5 °C, zadana 70 °C"},
        {Acknowledged, {5, AlarmKind::NoCommunication}, kMorning, "say \"hi\""},
        {Cleared, {5, AlarmKind::NoCommunication}, nextDay, ""},
    }));
    EXPECT_EQ(f.text(kMorning), "time,address,kind,event,value\r\n"
                                "2026-12-08T05:43:17+01:00,5,no-communication,raised,3 odczyty bez odpowiedzi\r\n"
                                "2026-12-08T05:43:17+01:00,12,temperature-deviation,raised,"
                                "\"T suchy 63,5 °C, zadana 70 °C\"\r\n"
                                "2026-12-08T05:43:17+01:00,5,no-communication,acknowledged,\"say \"\"hi\"\"\"\r\n");
    EXPECT_EQ(f.text(nextDay), "time,address,kind,event,value\r\n"
                               "2026-12-09T00:00:01+01:00,5,no-communication,cleared,\r\n");
    EXPECT_EQ(f.file(nextDay).filename(), "alarmy-2026-12-09.csv");
    EXPECT_TRUE(f.reports.empty());
}

TEST(AlarmLog, AFolderUnderTheDaysNameIsRefusedAndReported)
{
    LogFixture f;
    fs::create_directories(f.file(kMorning));
    const AlarmEvent e{AlarmEventType::Raised, {5, AlarmKind::SensorFault}, kMorning, "x"};
    EXPECT_FALSE(f.log.append(e));
    EXPECT_FALSE(f.log.append(e));
    ASSERT_EQ(f.reports.size(), 1u) << "the same cause is told once";
    EXPECT_EQ(f.reports[0], "alarm log: " + f.file(kMorning).string() + " is a directory, not a regular file");
}

} // namespace
