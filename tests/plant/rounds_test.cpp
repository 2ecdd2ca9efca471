// The plant's rounds over the chamber list on simulated controllers and a
// virtual clock: the order, the period, the resting dead chamber, a scan
// given up for the operator.
#include <gtest/gtest.h>

#include "console/bus_log.h"
#include "plant/rounds.h"
#include "sim/line.h"
#include "sim/sim_port.h"
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
    ModbusLink link{settings, clock, notifier};
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
