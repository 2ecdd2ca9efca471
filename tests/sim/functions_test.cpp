// Replies to functions 03 and 06, exceptions and broadcasts, checked byte by byte.
#include <gtest/gtest.h>

#include "sim_frames.h"

using namespace torv::sim;
using namespace torv::sim::testing;

namespace {

struct ReadCase {
    unsigned start;
    unsigned count;
};

class ReadHolding : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadHolding, ReturnsBytesFromStartWithCrc)
{
    const auto [start, count] = GetParam();
    Bench bench;
    Controller& c = bench.line.add(7);
    for (unsigned i = 0; i < 256; ++i)
        if (i != 97 && i != 104) // keep its address and keep the programme idle
            c.memory()[i] = static_cast<std::uint8_t>(i ^ 0x5C);
    Bytes expected{7, 3, static_cast<std::uint8_t>(2 * count)};
    for (unsigned i = 0; i < 2 * count; ++i)
        expected.push_back(c.memory()[start + i]);
    const std::uint16_t crc = torv::crc16(expected.data(), expected.size());
    expected.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    expected.push_back(static_cast<std::uint8_t>(crc >> 8));

    EXPECT_EQ(bench.exchange(readRequest(7, start, count)), expected);
}

INSTANTIATE_TEST_SUITE_P(Line, ReadHolding,
                         ::testing::Values(ReadCase{96, 8}, ReadCase{160, 8}, ReadCase{0, 1}, ReadCase{248, 4},
                                           ReadCase{0, 125}),
                         [](const auto& info) {
                             return "at_" + std::to_string(info.param.start) + "_count_" + std::to_string(info.param.count);
                         });

struct ExceptionCase {
    const char* name;
    Bytes request;
    std::uint8_t function;
    std::uint8_t code;
};

void PrintTo(const ExceptionCase& c, std::ostream* os) { *os << c.name; }

const ExceptionCase kExceptionCases[] = {
    {"read past 255", readRequest(1, 250, 4), 0x83, 2},
    {"read at 256", readRequest(1, 256, 1), 0x83, 2},
    {"read of no registers", readRequest(1, 96, 0), 0x83, 3},
    {"read of 126 registers", readRequest(1, 0, 126), 0x83, 3},
    {"write of register 255", writeRequest(1, 255, 1, 2), 0x86, 2},
    {"write of register 256", writeRequest(1, 256, 1, 2), 0x86, 2},
    {"address 0 into register 96", writeRequest(1, 96, 0, 0), 0x86, 3},
    {"address 251 into register 96", writeRequest(1, 96, 0, 251), 0x86, 3},
    {"function 04", withCrc({1, 4, 0, 96, 0, 1}), 0x84, 1},
    {"function 16", withCrc({1, 16, 0, 96, 0, 1, 2, 9, 9}), 0x90, 1},
};

class Exceptions : public ::testing::TestWithParam<ExceptionCase> {};

TEST_P(Exceptions, AnswerWithCodeAndLeaveMemory)
{
    const ExceptionCase& c = GetParam();
    Bench bench;
    Controller& controller = bench.line.add(1);
    const auto before = controller.memory();
    EXPECT_EQ(bench.exchange(c.request), withCrc({1, c.function, c.code})) << c.name;
    for (unsigned at = 96; at < 127; ++at) // 127 is the chamber's; compare the settings
        EXPECT_EQ(controller.memory()[at], before[at]) << c.name << " byte " << at;
}

INSTANTIATE_TEST_SUITE_P(Line, Exceptions, ::testing::ValuesIn(kExceptionCases), NamedCase());

TEST(WriteSingle, StoresHighThenLowByteAndEchoes)
{
    Bench bench;
    Controller& c = bench.line.add(3);
    const Bytes request = writeRequest(3, 112, 42, 17);
    EXPECT_EQ(bench.exchange(request), request);
    EXPECT_EQ(c.memory()[112], 42);
    EXPECT_EQ(c.memory()[113], 17);
    EXPECT_EQ(bench.exchange(readRequest(3, 112, 1)), withCrc({3, 3, 2, 42, 17}));
}

TEST(Broadcast, WritesEveryControllerWithoutReply)
{
    Bench bench;
    Controller& a = bench.line.add(1);
    Controller& b = bench.line.add(2);
    EXPECT_TRUE(bench.exchange(writeRequest(0, 116, 33, 7)).empty());
    for (Controller* c : {&a, &b}) {
        EXPECT_EQ(c->memory()[116], 33);
        EXPECT_EQ(c->memory()[117], 7);
    }
    EXPECT_TRUE(bench.exchange(readRequest(0, 96, 1)).empty());
    EXPECT_TRUE(bench.exchange(withCrc({0, 4, 0, 96, 0, 1})).empty()); // no exception either
}

TEST(Line, EachControllerAnswersOnlyItsAddress)
{
    Bench bench;
    bench.line.add(1);
    Controller& second = bench.line.add(2);
    second.memory()[96] = 0xAB;
    const Bytes reply = bench.exchange(readRequest(2, 96, 1));
    EXPECT_EQ(reply, withCrc({2, 3, 2, 0xAB, 2}));
    EXPECT_EQ(bench.line.find(1)->requests(), 0u);
    EXPECT_EQ(second.requests(), 1u);
}

} // namespace
