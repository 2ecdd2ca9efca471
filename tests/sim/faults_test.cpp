// Each injected fault, as the master sees it on the line.
#include <functional>

#include <gtest/gtest.h>

#include "sim/frame.h"
#include "sim_frames.h"

using namespace torv::sim;
using namespace torv::sim::testing;

namespace {

struct FaultCase {
    const char* name;
    Faults faults;
    // Checks the bytes received for one read of register 96 against the sound reply.
    std::function<void(const Bytes& got, const Bytes& sound)> check;
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

Faults make(std::function<void(Faults&)> set)
{
    Faults f;
    set(f);
    return f;
}

void sameExcept(const Bytes& got, const Bytes& sound, std::size_t differing)
{
    ASSERT_EQ(got.size(), sound.size());
    EXPECT_TRUE(crcMatches(got.data(), got.size()));
    for (std::size_t i = 0; i + 2 < got.size(); ++i) {
        if (i == differing)
            EXPECT_NE(got[i], sound[i]);
        else
            EXPECT_EQ(got[i], sound[i]) << "byte " << i;
    }
}

const FaultCase kFaultCases[] = {
    {"silent", make([](Faults& f) { f.silent = true; }),
     [](const Bytes& got, const Bytes&) { EXPECT_TRUE(got.empty()); }},
    {"bad CRC", make([](Faults& f) { f.badCrc = true; }),
     [](const Bytes& got, const Bytes& sound) {
         ASSERT_EQ(got.size(), sound.size());
         EXPECT_TRUE(std::equal(got.begin(), got.end() - 2, sound.begin()));
         EXPECT_FALSE(crcMatches(got.data(), got.size()));
     }},
    {"wrong address", make([](Faults& f) { f.wrongAddress = true; }),
     [](const Bytes& got, const Bytes& sound) { sameExcept(got, sound, 0); }},
    {"wrong function", make([](Faults& f) { f.wrongFunction = true; }),
     [](const Bytes& got, const Bytes& sound) { sameExcept(got, sound, 1); }},
    {"exception 4", make([](Faults& f) { f.exceptionCode = 4; }),
     [](const Bytes& got, const Bytes&) { EXPECT_EQ(got, withCrc({1, 0x83, 4})); }},
    {"garbage first", make([](Faults& f) { f.garbageBytes = 5; }),
     [](const Bytes& got, const Bytes& sound) {
         ASSERT_EQ(got.size(), sound.size() + 5);
         EXPECT_EQ(Bytes(got.begin() + 5, got.end()), sound);
     }},
    {"delayed", make([](Faults& f) { f.replyDelayMs = 700; }),
     [](const Bytes& got, const Bytes& sound) { EXPECT_EQ(got, sound); }},
    {"split", make([](Faults& f) { f.splitPieces = 3; f.splitGapMs = 200; }),
     [](const Bytes& got, const Bytes& sound) { EXPECT_EQ(got, sound); }},
};

class FaultReplies : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultReplies, ShowOnTheLine)
{
    const FaultCase& c = GetParam();
    Bench bench;
    Controller& controller = bench.line.add(1);
    const Bytes sound = withCrc({1, 3, 2, controller.memory()[96], controller.memory()[97]});
    controller.faults() = c.faults;
    SCOPED_TRACE(c.name);
    c.check(bench.exchange(readRequest(1, 96, 1)), sound);
    EXPECT_EQ(controller.requests(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Line, FaultReplies, ::testing::ValuesIn(kFaultCases), NamedCase());

// A controller whose reply is spoiled still did the write; a dead or refusing one did not.
TEST(Faults, WhichFaultsStillActOnAWrite)
{
    const struct {
        const char* name;
        Faults faults;
        bool written;
    } cases[] = {
        {"bad CRC", make([](Faults& f) { f.badCrc = true; }), true},
        {"wrong address", make([](Faults& f) { f.wrongAddress = true; }), true},
        {"garbage", make([](Faults& f) { f.garbageBytes = 3; }), true},
        {"silent", make([](Faults& f) { f.silent = true; }), false},
        {"exception", make([](Faults& f) { f.exceptionCode = 6; }), false},
    };
    for (const auto& c : cases) {
        Bench bench;
        Controller& controller = bench.line.add(1);
        controller.faults() = c.faults;
        bench.exchange(writeRequest(1, 116, 44, 3));
        EXPECT_EQ(controller.memory()[116] == 44, c.written) << c.name;
    }
}

TEST(Faults, FailFromGoesSilentAtTheNthRequestOn)
{
    Bench bench;
    Controller& controller = bench.line.add(1);
    bench.line.add(2);
    controller.faults().failFrom = 3;
    std::vector<bool> answered;
    for (int i = 0; i < 5; ++i) {
        EXPECT_FALSE(bench.exchange(readRequest(2, 96, 1)).empty()); // others' requests do not count
        answered.push_back(!bench.exchange(readRequest(1, 96, 1)).empty());
    }
    EXPECT_EQ(answered, (std::vector<bool>{true, true, false, false, false}));
    EXPECT_EQ(controller.requests(), 5u);
}

std::vector<Bytes> soak(double probability, std::uint32_t seed)
{
    LineOptions options;
    options.randomFaults = probability;
    Bench bench{Line(options, seed)};
    bench.line.add(1);
    std::vector<Bytes> replies;
    for (int i = 0; i < 40; ++i)
        replies.push_back(bench.exchange(readRequest(1, 112, 1)));
    return replies;
}

TEST(Faults, RandomFaultsFollowProbabilityAndSeed)
{
    const Bytes sound = soak(0.0, 1).front();
    ASSERT_EQ(sound.size(), 7u);
    for (const auto& reply : soak(0.0, 9))
        EXPECT_EQ(reply, sound);

    const auto faulty = soak(1.0, 42);
    EXPECT_EQ(faulty, soak(1.0, 42)) << "the same seed repeats the same faults";
    const auto spoilt = std::count_if(faulty.begin(), faulty.end(), [&](const Bytes& r) { return r != sound; });
    EXPECT_GE(spoilt, 20) << "most faults spoil the reply; delays and splits do not";
}

TEST(Faults, TwoControllersAtOneAddressCollide)
{
    Bench bench;
    Controller& a = bench.line.add(1);
    Controller& b = bench.line.add(2);
    a.memory()[112] = 0x0F;
    b.memory()[112] = 0xF0;
    bench.exchange(writeRequest(2, 96, 0, 1)); // b moves onto a's address
    const Bytes reply = bench.exchange(readRequest(1, 112, 1));
    ASSERT_EQ(reply.size(), 7u);
    EXPECT_EQ(reply[3], 0x00);
    EXPECT_FALSE(crcMatches(reply.data(), reply.size()));
}

} // namespace
