// Frames are found by length and CRC in whatever chunks the bytes arrive.
#include <gtest/gtest.h>

#include <algorithm>

#include "sim_frames.h"

using namespace torv::sim;
using namespace torv::sim::testing;

namespace {

struct Chunk {
    Bytes bytes;
    std::uint64_t gapUs; // silence before this chunk
};

struct FramingCase {
    const char* name;
    std::vector<Chunk> chunks;
    bool strict;
    int replies; // reads of register 96 expected to be answered
};

void PrintTo(const FramingCase& c, std::ostream* os) { *os << c.name; }

const Bytes kRead = readRequest(1, 96, 1);
const Bytes kHead(kRead.begin(), kRead.begin() + 4);
const Bytes kTail(kRead.begin() + 4, kRead.end());

Bytes badCrc(Bytes frame)
{
    frame.back() ^= 0x01;
    return frame;
}

std::vector<Chunk> byteByByte(const Bytes& frame, std::uint64_t gapUs)
{
    std::vector<Chunk> chunks;
    for (auto b : frame)
        chunks.push_back({{b}, gapUs});
    return chunks;
}

const FramingCase kFramingCases[] = {
    {"whole frame", {{kRead, 0}}, false, 1},
    {"byte by byte, 2 ms apart", byteByByte(kRead, 2000), false, 1},
    {"byte by byte, 2 ms apart, strict", byteByByte(kRead, 2000), true, 1},
    {"two frames coalesced", {{concat(kRead, kRead), 0}}, false, 2},
    {"garbage then frame", {{concat({0x55, 0x01, 0xFF}, kRead), 0}}, false, 1},
    {"garbage posing as a long frame header", {{concat({0x01, 0x10, 0x00, 0x00, 0x00, 0x7F, 0xFE}, kRead), 0}}, false, 1},
    {"bad CRC ignored", {{badCrc(kRead), 0}}, false, 0},
    {"bad CRC then good frame", {{concat(badCrc(kRead), kRead), 0}}, false, 1},
    {"frame split, 20 ms pause kept", {{kHead, 0}, {kTail, 20000}}, false, 1},
    {"partial frame dropped after 60 ms silence", {{kHead, 0}, {kTail, 60000}}, false, 0},
    {"strict: partial frame dropped after 5 ms silence", {{kHead, 0}, {kTail, 5000}}, true, 0},
    {"partial dropped, next whole frame served", {{kHead, 0}, {kRead, 60000}}, false, 1},
    {"nobody at that address", {{readRequest(9, 96, 1), 0}}, false, 0},
};

class Framing : public ::testing::TestWithParam<FramingCase> {};

TEST_P(Framing, RepliesToEachRecognisedFrame)
{
    const FramingCase& c = GetParam();
    Bench bench;
    bench.line.options().strictTiming = c.strict;
    Controller& controller = bench.line.add(1);
    const Bytes reply = withCrc({1, 3, 2, controller.memory()[96], controller.memory()[97]});

    for (const auto& chunk : c.chunks)
        bench.send(chunk.bytes, chunk.gapUs);
    Bytes expected;
    for (int i = 0; i < c.replies; ++i)
        expected = concat(expected, reply);
    EXPECT_EQ(bench.collect(), expected) << c.name;
    EXPECT_EQ(controller.requests(), static_cast<unsigned>(c.replies)) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Line, Framing, ::testing::ValuesIn(kFramingCases), NamedCase());

TEST(LineTrace, EachPieceReadIsTracedOnlyWhenAsked)
{
    for (const bool traceBytes : {false, true}) {
        Bench bench;
        bench.line.options().traceBytes = traceBytes;
        bench.line.add(1);
        std::vector<std::pair<std::uint64_t, std::string>> lines;
        bench.line.setTrace([&lines](std::uint64_t us, const std::string& text) { lines.emplace_back(us, text); });
        bench.send(kHead, 0);
        const std::uint64_t headUs = bench.nowUs;
        bench.send(kTail, 2000);
        std::vector<std::pair<std::uint64_t, std::string>> pieces;
        for (const auto& line : lines)
            if (line.second.starts_with("rx"))
                pieces.push_back(line);
        if (!traceBytes) {
            EXPECT_TRUE(pieces.empty());
            continue;
        }
        ASSERT_EQ(pieces.size(), 2u);
        EXPECT_EQ(pieces[0], std::make_pair(headUs, std::string("rx 01 03 00 60")));
        EXPECT_EQ(pieces[1].first, headUs + 2000);
        EXPECT_EQ(pieces[1].second.substr(0, 8), "rx 00 01") << "the rest of the frame";
        const auto last = std::find(lines.begin(), lines.end(), pieces[1]);
        ASSERT_NE(last + 1, lines.end());
        EXPECT_EQ((last + 1)->second.substr(0, 3), "in ") << "the frame follows its pieces";
    }
}

TEST(LineNoise, EndlessGarbageIsBoundedAndLineRecovers)
{
    Bench bench;
    bench.line.add(1);
    const Bytes noise(5000, 0xA5);
    bench.send(noise);
    EXPECT_TRUE(bench.collect().empty());
    bench.send(kRead);
    EXPECT_EQ(bench.collect().size(), 7u);
}

} // namespace
