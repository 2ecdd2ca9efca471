// What a controller does with the writes that mean more than storing a byte,
// and how its programme clock and chamber behave.
#include <gtest/gtest.h>

#include "sim_frames.h"

using namespace torv::sim;
using namespace torv::sim::testing;

namespace {

unsigned word(const Controller& c, unsigned at) { return c.memory()[at] * 256u + c.memory()[at + 1]; }

TEST(Controller, AddressChangeEchoesFromOldAddressThenAnswersAtNew)
{
    Bench bench;
    bench.line.add(1);
    const Bytes request = writeRequest(1, 96, 0, 5);
    EXPECT_EQ(bench.exchange(request), request);
    ASSERT_NE(bench.line.find(5), nullptr);
    EXPECT_EQ(bench.line.find(1), nullptr);
    EXPECT_TRUE(bench.exchange(readRequest(1, 96, 1)).empty());
    EXPECT_EQ(bench.exchange(readRequest(5, 96, 1)), withCrc({5, 3, 2, 0, 5}));
}

TEST(Controller, ProgrammeStartsAndStopsOnCommandByte)
{
    Bench bench;
    Controller& c = bench.line.add(1);
    const Bytes start = writeRequest(1, 119, 1, c.memory()[120]);
    EXPECT_EQ(bench.exchange(start), start);
    EXPECT_EQ(c.memory()[104], 1);
    EXPECT_EQ(c.memory()[105], 18); // 4 + 6 + 8 hours
    EXPECT_EQ(c.memory()[126], 0);
    EXPECT_EQ(c.memory()[119], 0) << "the command byte reads 0 again";
    EXPECT_EQ(c.memory()[120], 10) << "the low byte still lands in the hysteresis";
    EXPECT_EQ(c.memory()[106], 50) << "step 1 sets the temperature";

    bench.exchange(start);
    EXPECT_EQ(c.memory()[104], 0);
}

TEST(Controller, CommandByteActsOnlyAsHighByteOfItsRegister)
{
    Bench bench;
    Controller& c = bench.line.add(1);
    bench.exchange(writeRequest(1, 118, 30, 1)); // a stale 1 travelling with the alarm threshold
    EXPECT_EQ(c.memory()[118], 30);
    EXPECT_EQ(c.memory()[104], 0);
    bench.exchange(writeRequest(1, 119, 2, 10));
    EXPECT_EQ(c.memory()[104], 0);
}

TEST(Controller, ProgrammeWithoutHoursDoesNotStart)
{
    Bench bench;
    Controller& c = bench.line.add(1);
    for (int step = 1; step <= 10; ++step)
        c.memory()[bytes::stepByte(step, bytes::StepHours)] = 0;
    bench.exchange(writeRequest(1, 119, 1, 10));
    EXPECT_EQ(c.memory()[104], 0);
}

TEST(Controller, ProgrammeClockWalksTheStepsAndEnds)
{
    Bench bench;
    bench.line.options().hourSeconds = 10.0;
    Controller& c = bench.line.add(1);
    c.memory()[128] = 0; // an unused first step is skipped
    bench.send(writeRequest(1, 119, 1, 10));
    const std::uint64_t started = bench.nowUs;
    ASSERT_EQ(c.memory()[104], 2);

    const struct {
        double hours;
        int step, done, temperature, difference;
    } expected[] = {
        {2.5, 2, 2, 60, 8}, {5.9, 2, 5, 60, 8}, {6.1, 3, 6, 70, 12}, {13.9, 3, 13, 70, 12}, {14.2, 0, 14, 70, 12},
    };
    for (const auto& e : expected) {
        bench.line.advance(started + static_cast<std::uint64_t>(e.hours * 10e6));
        EXPECT_EQ(c.memory()[104], e.step) << e.hours << " h";
        EXPECT_EQ(c.memory()[126], e.done) << e.hours << " h";
        EXPECT_EQ(c.memory()[106], e.temperature) << e.hours << " h";
        EXPECT_EQ(c.memory()[107], e.difference) << e.hours << " h";
        EXPECT_EQ(c.memory()[105], 14);
    }
}

TEST(Controller, RestartTakesBaudCodeFromByte98)
{
    Bench bench;
    bench.line.options().checkBaud = true;
    bench.line.setLineBaud(9600);
    Controller& c = bench.line.add(1);

    EXPECT_FALSE(bench.exchange(writeRequest(1, 98, 1, 2)).empty());
    EXPECT_EQ(c.memory()[98], 1);
    EXPECT_EQ(c.memory()[99], 2) << "byte 99 changes only with a restart";

    const Bytes reset = writeRequest(1, 100, 1, 0);
    EXPECT_EQ(bench.exchange(reset), reset) << "the echo still goes out at the old speed";
    EXPECT_EQ(c.memory()[99], 1);
    EXPECT_EQ(c.baudRate(), 19200u);
    EXPECT_EQ(c.restarts(), 1u);

    EXPECT_TRUE(bench.exchange(readRequest(1, 96, 1)).empty()) << "9600 baud frames are garbled now";
    bench.line.setLineBaud(19200);
    EXPECT_FALSE(bench.exchange(readRequest(1, 96, 1)).empty());

    bench.exchange(writeRequest(1, 100, 1, 0));
    EXPECT_EQ(c.restarts(), 1u) << "the same counter value is no restart";
    bench.exchange(writeRequest(1, 98, 7, 0));
    bench.exchange(writeRequest(1, 100, 2, 0));
    EXPECT_EQ(c.restarts(), 2u);
    EXPECT_EQ(c.memory()[99], 1) << "an unknown baud code is not taken";
}

TEST(Controller, OwnBytesIgnoreWrites)
{
    Bench bench;
    Controller& c = bench.line.add(1);
    c.memory()[126] = 3;
    bench.exchange(writeRequest(1, 125, 0, 77)); // the buzzer switch carries byte 126
    EXPECT_EQ(c.memory()[125], 0);
    EXPECT_EQ(c.memory()[126], 3);
    const auto dry = word(c, 160);
    bench.send(writeRequest(1, 160, 0, 0)); // at the same moment: the chamber has not moved

    EXPECT_EQ(word(c, 160), dry);
}

TEST(Chamber, HeatingFollowsTheAirHysteresisBand)
{
    Controller c(1); // set 60.0, hysteresis 1.0
    const struct {
        double dry;
        bool heating;
    } walk[] = {{50.0, true}, {59.5, true}, {60.5, false}, {59.5, false}, {58.5, true}};
    for (const auto& w : walk) {
        c.setTemperatures(w.dry, w.dry - 8.0);
        EXPECT_EQ((c.memory()[127] & outputs::Heating) != 0, w.heating) << w.dry;
    }
}

TEST(Chamber, HumidifyingAndVentsFollowTheDifference)
{
    const struct {
        double wet; // dry fixed at 60.0, set difference 8.0, hysteresis 1.0
        std::uint8_t bits;
    } cases[] = {
        {49.0, outputs::Humidifying | outputs::VentClosing}, // difference 11: too dry
        {52.0, 0},                                           // difference 8: settled
        {55.0, outputs::VentOpening},                        // difference 5: too humid
    };
    for (const auto& k : cases) {
        Controller c(1);
        c.setTemperatures(60.0, 52.0); // settle first
        c.setTemperatures(60.0, k.wet);
        EXPECT_EQ(c.memory()[127], k.bits) << k.wet;
    }
}

TEST(Chamber, TemperaturesAreCalibratedWordsAndMoveTowardTheSetValue)
{
    Bench bench;
    Controller& c = bench.line.add(1);
    c.memory()[108] = 110; // +1.0 on the dry thermometer
    c.setTemperatures(25.0, 20.0);
    EXPECT_EQ(word(c, 160), 760u);
    EXPECT_EQ(word(c, 162), 700u);
    const Bytes reply = bench.exchange(readRequest(1, 160, 2));
    EXPECT_EQ(reply[3] * 256 + reply[4], 760);
    bench.line.advance(bench.nowUs + 600'000'000); // ten minutes of heating
    EXPECT_GT(c.dry(), 30.0);
    EXPECT_LT(c.dry(), 61.0);
}

TEST(Chamber, StillLineKeepsTemperaturesAndProgrammeClock)
{
    Bench bench;
    bench.line.options().still = true;
    Controller& c = bench.line.add(1);
    c.setTemperatures(25.0, 20.0);
    bench.exchange(writeRequest(1, 119, 1, c.memory()[120])); // programme start
    ASSERT_EQ(c.memory()[104], 1);
    const auto before = c.memory();
    bench.line.advance(bench.nowUs + 7'200'000'000); // two hours, heating asked for
    EXPECT_EQ(c.memory(), before);
}

} // namespace
