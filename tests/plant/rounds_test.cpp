// The plant's rounds over the chamber list on simulated controllers and a
// virtual clock: the order, the period, the resting dead chamber, a scan
// given up for the operator; the overview's rows: only what was read.
#include <gtest/gtest.h>

#include <fstream>

#include "console/bus_log.h"
#include "files/drying_log_writer.h"
#include "plant/overview.h"
#include "plant/rounds.h"
#include "plant/scan_sinks.h"
#include "sim/line.h"
#include "sim/sim_port.h"
#include "station/read_blk.h"
#include "support/child_process.h"
#include "support/recording_notifier.h"

using namespace torv;
using namespace torv::plant;
using Addresses = std::vector<std::uint8_t>;

namespace {

struct Plant {
    VirtualClock clock;
    sim::Line line;
    torv::testing::RecordingNotifier notifier;
    PortSettings settings;
    ModbusLink link{settings, clock};
    Station station{link};
    Rounds rounds;

    explicit Plant(const Addresses& answering)
    {
        link.attachPort(std::make_unique<sim::SimPort>(line, clock));
        for (const std::uint8_t a : answering)
            line.add(a);
    }
    // The chambers scanned until the round is done, as "address" or "-address" when it failed.
    std::vector<int> round()
    {
        std::vector<int> asked;
        while (const std::optional<Result> scan = ScanDue(rounds, station, clock.nowUs()))
            asked.push_back(scan->ok ? scan->address : -scan->address);
        return asked;
    }
    void waitUntilDue() { clock.sleepUntilUs(rounds.dueUs()); }
};

} // namespace

TEST(PlantRounds, EachChamberOnceARoundInOrderAndARoundEveryPeriod)
{
    Plant p({1, 3, 7});
    p.rounds.setChambers({7, 1, 3});
    p.rounds.setPeriodSeconds(10);
    const std::uint64_t start = p.clock.nowUs();
    ASSERT_TRUE(ScanDue(p.rounds, p.station, p.clock.nowUs()));
    EXPECT_TRUE(p.rounds.inRound()) << "the rest of the round is due at once, not at the next round's start";
    EXPECT_EQ(p.round(), (std::vector<int>{1, 3}));
    EXPECT_FALSE(p.rounds.inRound());
    EXPECT_EQ(p.rounds.dueUs(), start + 10000000u);
    EXPECT_FALSE(ScanDue(p.rounds, p.station, p.clock.nowUs())) << "nothing before the period is over";
    p.waitUntilDue();
    EXPECT_EQ(p.round(), (std::vector<int>{7, 1, 3}));
    EXPECT_EQ(p.rounds.round(), 2u);

    // A round longer than its period is followed at once, from where it ended.
    p.rounds.setPeriodSeconds(1);
    p.waitUntilDue();
    p.round();
    const std::uint64_t ended = p.clock.nowUs();
    ASSERT_GT(ended, p.rounds.dueUs()) << "three scans take longer than 1 s";
    EXPECT_EQ(p.round(), (std::vector<int>{7, 1, 3}));
    EXPECT_EQ(p.rounds.dueUs() - 1000000u, ended);
}

TEST(PlantRounds, AChamberSilentThreeTimesIsAskedEveryFifthRoundUntilItAnswers)
{
    Plant p({1});
    p.rounds.setChambers({1, 5});
    p.rounds.setPeriodSeconds(10);
    std::vector<std::vector<int>> rounds;
    for (int r = 0; r < 9; ++r) {
        rounds.push_back(p.round());
        if (r == 6)
            p.line.add(5); // comes back
        p.waitUntilDue();
    }
    EXPECT_EQ(rounds, (std::vector<std::vector<int>>{
                          {1, -5}, {1, -5}, {1, -5}, {1}, {1}, {1}, {1}, {1, 5}, {1, 5}}));
    EXPECT_EQ(p.rounds.failures(5), 0);
    EXPECT_FALSE(p.rounds.resting(5));
}

TEST(PlantRounds, AScanGivenUpForTheOperatorIsAskedAgainAndTheListMayChangeMidRound)
{
    Plant p({1, 2, 3, 4});
    p.rounds.setChambers({1, 2, 3});
    const std::optional<Result> first = ScanDue(p.rounds, p.station, p.clock.nowUs());
    ASSERT_TRUE(first && first->ok);
    // The operator wants the line: the scan of 2 stops after its first transaction ...
    const std::optional<Result> cut = ScanDue(p.rounds, p.station, p.clock.nowUs(), [] { return true; });
    ASSERT_TRUE(cut);
    EXPECT_TRUE(cut->stopped);
    EXPECT_EQ(cut->exchanges.size(), 1u);
    EXPECT_EQ(p.rounds.failures(2), 0) << "a stopped scan is no failure";
    // ... and 2 is asked again; 4 joins the round under way, 1 is not asked twice.
    p.rounds.setChambers({4, 1, 2, 3});
    EXPECT_EQ(p.round(), (std::vector<int>{4, 2, 3}));
    // A chamber removed mid-round is not asked, and its result, if one comes, is dropped.
    p.waitUntilDue();
    const std::optional<std::uint8_t> next = p.rounds.next(p.clock.nowUs());
    ASSERT_EQ(next, 4);
    p.rounds.setChambers({1, 2});
    p.rounds.scanned(4, p.station.scan(4));
    EXPECT_EQ(p.round(), (std::vector<int>{1, 2}));
}

namespace {

// The overview's next scan (in the next round when this one is done), with
// the controller at `address` silent for the first `lostReads` requests of it.
std::optional<Overview::Step> StepLosing(Plant& p, Overview& overview, std::uint8_t address, int lostReads)
{
    if (!overview.rounds().inRound() || !overview.step(p.clock.nowUs(), {}))
        p.clock.sleepUntilUs(overview.dueUs());
    sim::Controller& c = *p.line.find(address);
    c.faults().silent = lostReads > 0;
    int seen = 0;
    p.link.onTransaction = [&](const ModbusLink::Transaction&) { c.faults().silent = ++seen < lostReads; };
    std::optional<Overview::Step> step = overview.step(p.clock.nowUs(), {});
    p.link.onTransaction = nullptr;
    c.faults().silent = false;
    return step;
}

ChamberList ListOf(std::initializer_list<int> addresses)
{
    ChamberList list;
    for (const int a : addresses)
        list.chambers.push_back({a, DefaultChamberName(a)});
    return list;
}

} // namespace

// A scan that lost a read is a failed row, whichever read it lost: its image
// row holds older bytes (or zeros) where the lost read would have put them.
TEST(PlantOverview, AScanIsLoggedOkOnlyWhenEveryReadOfItAnswered)
{
    Plant p({1});
    sim::Controller& c = *p.line.find(1);
    c.memory()[sim::bytes::SetTemperature] = 45;
    c.memory()[sim::bytes::SetDifference] = 5;
    ASSERT_TRUE(p.station.readModule(1).ok);
    Overview overview(p.station);
    overview.setList(ListOf({1}));
    const struct {
        int lostReads;
        std::size_t sent;
        drying_log::Status status;
    } cases[] = {
        {0, 3, drying_log::Status::Ok},
        {1, 3, drying_log::Status::Failed}, // the programme's read lost, the others answer
        {2, 2, drying_log::Status::Failed}, // the hours lost: no measurements asked
        {0, 3, drying_log::Status::Ok},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.lostReads);
        const std::optional<Overview::Step> step = StepLosing(p, overview, 1, k.lostReads);
        ASSERT_TRUE(step);
        EXPECT_EQ(step->scan.exchanges.size(), k.sent);
        EXPECT_EQ(step->row.status, k.status);
        EXPECT_EQ(step->answered, k.status == drying_log::Status::Ok);
        EXPECT_EQ(step->row.setTemperature, k.status == drying_log::Status::Ok ? std::optional<int>(45) : std::nullopt);
        EXPECT_EQ(step->row.setDifference, k.status == drying_log::Status::Ok ? std::optional<int>(5) : std::nullopt);
    }
}

// The LCD mode comes only from a module read: a chamber silent when the
// plant began is read whole once it answers, then only scanned.
TEST(PlantOverview, AChamberNeverReadWholeIsReadWholeOnceWhenItAnswers)
{
    Plant p({1, 2});
    ASSERT_TRUE(p.station.readModule(1).ok);
    p.line.find(2)->faults().silent = true;
    EXPECT_FALSE(p.station.readModule(2).ok);
    p.line.find(2)->faults().silent = false;
    p.notifier.boxes.clear();
    Overview overview(p.station);
    overview.setList(ListOf({1, 2}));
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        std::vector<Overview::Step> steps;
        while (std::optional<Overview::Step> s = overview.step(p.clock.nowUs(), {}))
            steps.push_back(*s);
        ASSERT_EQ(steps.size(), 2u);
        EXPECT_EQ(steps[0].scan.exchanges.size(), 3u);
        EXPECT_EQ(steps[1].scan.exchanges.size(), round == 0 ? 3u + kBlockReadStarts.size() : 3u);
        for (const Overview::Step& s : steps) {
            EXPECT_EQ(s.row.status, drying_log::Status::Ok);
            ASSERT_TRUE(s.row.tempControl1 && s.row.tempControl2) << "chamber " << s.row.address;
        }
        EXPECT_TRUE(p.notifier.boxes.empty()) << "the plant's reads box nothing";
        p.clock.sleepUntilUs(overview.dueUs());
    }
}

// Each scan goes to every sink in the order they were added: a sink after
// the logs finds the scan's lines already on the disk, and the overview
// with the scan's alarms judged.
TEST(PlantScanSinks, EachScanReachesEverySinkInTheOrderAdded)
{
    Plant p({1}); // 2 is not on the line
    torv::testing::TempDir dir;
    const drying_log::LocalTime morning{2026, 12, 8, 5, 43, 17, 60};
    drying_log::Writer dryingLog = drying_log::Writer::InDirectory(dir.path(), [&] { return morning; });
    AlarmLog alarmLog = AlarmLog::InDirectory(dir.path());
    const auto lines = [&](const std::string& name) {
        std::ifstream in(dir.path() + "/" + name, std::ios::binary);
        int n = 0;
        for (std::string line; std::getline(in, line);)
            ++n;
        return std::to_string(n);
    };
    ChamberList list = ListOf({1, 2});
    list.alarms.noCommunicationScans = 1;
    Overview overview(p.station);
    overview.setList(list);
    std::vector<std::string> told;
    ScanSinks sinks;
    const auto first = [&](const Overview&, const Overview::Step& s) {
        told.push_back("first " + std::to_string(s.scan.address));
    };
    sinks.add(first)
        .add(DryingLogSink(dryingLog))
        .add(AlarmLogSink(alarmLog))
        .add([&](const Overview& o, const Overview::Step& s) {
            told.push_back("last " + std::to_string(s.scan.address) + ": drying log " +
                           lines(drying_log::FileName(s.scan.address, morning)) + ", alarm log " +
                           lines(AlarmLogFileName(morning)) + ", alarms " + std::to_string(o.alarms().alarms().size()));
        });
    while (const std::optional<Overview::Step> step = overview.step(p.clock.nowUs(), morning))
        sinks.deliver(overview, *step);
    EXPECT_EQ(told, (std::vector<std::string>{"first 1", "last 1: drying log 2, alarm log 0, alarms 0", "first 2",
                                              "last 2: drying log 2, alarm log 2, alarms 1"}));
}
