// Reply timing on the virtual clock, and the tester's own transactions
// against the simulated line.
#include <memory>

#include <gtest/gtest.h>

#include "link/modbus_link.h"
#include "sim/sim_port.h"
#include "sim_frames.h"
#include "support/recording_notifier.h"
#include "support/shown_link.h"

using namespace torv::sim;
using namespace torv::sim::testing;

namespace {

constexpr std::uint64_t kByteUs9600 = 1042; // 10 bits
constexpr std::uint64_t kTurnaroundUs = 2000;

struct PortBench {
    torv::VirtualClock clock;
    Line line;
    SimPort port{line, clock};

    PortBench() { clock.advanceUs(1'000'000); }
    void send(const Bytes& frame)
    {
        for (auto b : frame)
            port.transmit(b);
    }
    // Bytes waiting `us` after the request's last byte.
    std::size_t waitingAt(std::uint64_t sentUs, std::uint64_t us)
    {
        clock.sleepUntilUs(sentUs + us);
        return port.bytesWaiting();
    }
};

struct TimingCase {
    const char* name;
    std::uint8_t baudCode;
    Faults faults;
    // (microseconds after the request, bytes waiting by then)
    std::vector<std::pair<std::uint64_t, std::size_t>> expected;
};

void PrintTo(const TimingCase& c, std::ostream* os) { *os << c.name; }

Faults delayed(unsigned ms)
{
    Faults f;
    f.replyDelayMs = ms;
    return f;
}

Faults split(unsigned pieces, unsigned gapMs)
{
    Faults f;
    f.splitPieces = pieces;
    f.splitGapMs = gapMs;
    return f;
}

const TimingCase kTimingCases[] = {
    {"9600 baud", 2, {},
     {{kTurnaroundUs, 0}, {kTurnaroundUs + kByteUs9600, 1}, {kTurnaroundUs + 7 * kByteUs9600 - 1, 6},
      {kTurnaroundUs + 7 * kByteUs9600, 7}}},
    {"19200 baud", 1, {}, {{kTurnaroundUs + 521, 1}, {kTurnaroundUs + 7 * 521, 7}}},
    {"4800 baud", 3, {}, {{kTurnaroundUs + 7 * 2084 - 1, 6}, {kTurnaroundUs + 7 * 2084, 7}}},
    {"delay 300 ms", 2, delayed(300),
     {{300'000, 0}, {302'000 + kByteUs9600 - 1, 0}, {302'000 + 7 * kByteUs9600, 7}}},
    {"three pieces 200 ms apart", 2, split(3, 200),
     {{kTurnaroundUs + 3 * kByteUs9600, 3}, {kTurnaroundUs + 3 * kByteUs9600 + 199'999, 3},
      {kTurnaroundUs + 5 * kByteUs9600 + 200'000, 5}, {kTurnaroundUs + 7 * kByteUs9600 + 400'000, 7}}},
};

class ReplyTiming : public ::testing::TestWithParam<TimingCase> {};

TEST_P(ReplyTiming, BytesBecomeDueAtTheControllersSpeed)
{
    const TimingCase& c = GetParam();
    PortBench bench;
    bench.line.options().startBaudCode = c.baudCode;
    bench.line.add(1).faults() = c.faults;
    bench.send(readRequest(1, 96, 1));
    const std::uint64_t sent = bench.clock.nowUs();
    for (const auto& [afterUs, waiting] : c.expected)
        EXPECT_EQ(bench.waitingAt(sent, afterUs), waiting) << c.name << " at +" << afterUs << " us";
}

INSTANTIATE_TEST_SUITE_P(SimPort, ReplyTiming, ::testing::ValuesIn(kTimingCases), NamedCase());

TEST(SimPort, ReadTakesWaitingBytesInOrderAndCloseSilencesIt)
{
    PortBench bench;
    bench.line.add(1);
    const Bytes request = writeRequest(1, 116, 9, 9);
    bench.send(request);
    bench.clock.advanceUs(100'000);
    ASSERT_EQ(bench.port.bytesWaiting(), 8u);
    std::uint8_t buffer[8] = {};
    EXPECT_EQ(bench.port.read(buffer, 3), 3u);
    EXPECT_EQ(bench.port.read(buffer + 3, 10), 5u);
    EXPECT_EQ(Bytes(buffer, buffer + 8), request);

    bench.port.close();
    bench.send(writeRequest(1, 116, 1, 1));
    bench.clock.advanceUs(100'000);
    EXPECT_EQ(bench.port.bytesWaiting(), 0u);
    EXPECT_EQ(bench.line.find(1)->memory()[116], 9) << "a closed port sends nothing";
}

// The tester's transactions over the simulated line.
struct LinkBench {
    torv::VirtualClock clock;
    Line line;
    torv::PortSettings settings;
    torv::testing::RecordingNotifier notifier;
    torv::ModbusLink link{settings, clock};

    LinkBench() { link.attachPort(std::make_unique<SimPort>(line, clock)); }
};

TEST(SimPortWithLink, BlockOfReadsFillsTheImageUntilTheControllerFails)
{
    LinkBench bench;
    Controller& c = bench.line.add(1);
    c.faults().failFrom = 3;
    const unsigned starts[] = {96, 104, 112};
    bool answered = true;
    for (unsigned start : starts)
        answered = torv::testing::ReadShown(bench.link, bench.notifier, 1, static_cast<std::uint8_t>(start), 8, true).ok();
    EXPECT_FALSE(answered);
    for (unsigned at = 96; at < 120; ++at)
        EXPECT_EQ(bench.link.image.at(1, static_cast<int>(at)), c.memory()[at]) << at;
    EXPECT_EQ(bench.link.image.at(1, 120), 0) << "the failed read stored nothing";
    ASSERT_EQ(bench.notifier.boxes.size(), 1u);
    EXPECT_EQ(bench.notifier.boxes[0].text, "Brak komunikacji z modułem !!!");
}

TEST(SimPortWithLink, WriteIsAcknowledgedOrReportedAsTheFaultsSay)
{
    const struct {
        const char* name;
        Faults faults;
        bool ok;
        const char* text;
    } cases[] = {
        {"sound", {}, true, "Zapis danych poprawny !!!"},
        {"bad CRC", [] { Faults f; f.badCrc = true; return f; }(), false, "Błąd CRC ramki odpowiedzi !!!"},
        {"silent", [] { Faults f; f.silent = true; return f; }(), false, "Brak potwierdzenia zapisu !!!"},
    };
    for (const auto& k : cases) {
        LinkBench bench;
        bench.line.add(4).faults() = k.faults;
        bench.link.image.at(4, 116) = 25;
        bench.link.image.at(4, 117) = 12;
        EXPECT_EQ(torv::testing::LoadShown(bench.link, bench.notifier, 4, 116, true).ok(), k.ok) << k.name;
        ASSERT_EQ(bench.notifier.boxes.size(), 1u) << k.name;
        EXPECT_EQ(bench.notifier.boxes[0].text, k.text) << k.name;
    }
}

} // namespace
