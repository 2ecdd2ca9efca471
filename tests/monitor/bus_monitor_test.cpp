#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "monitor/bus_monitor.h"
#include "support/scripted_port.h"

using namespace torv::bus_monitor;
using torv::testing::withCrc;
using Bytes = std::vector<std::uint8_t>;
using LinkOutcome = torv::ModbusLink::Outcome;

namespace {

// A transaction as the link reports it, from recorded bytes.
struct Recorded {
    Bytes request; // without CRC
    Bytes reply;   // as it came
    LinkOutcome outcome;
};

std::vector<Frame> record(const Recorded& r, Recorder& recorder)
{
    const Bytes request = withCrc(r.request);
    torv::ModbusLink::Transaction t{};
    t.address = request[0];
    t.function = request[1];
    t.start = request[3];
    t.count = t.function == 0x03 ? request[5] : 1;
    t.ok = r.outcome == LinkOutcome::Ok;
    t.outcome = r.outcome;
    t.request = request;
    t.reply = r.reply;
    t.replyBytes = r.reply.size();
    t.sentUs = 5000;
    t.judgedUs = 67000;
    const std::uint64_t from = recorder.frames().endSeq();
    recorder.transaction(t);
    std::vector<Frame> frames;
    for (std::uint64_t s = from; s < recorder.frames().endSeq(); ++s)
        frames.push_back(recorder.frames().at(s));
    return frames;
}

} // namespace

TEST(BusMonitor, EachRequestAndOutcomeIsDecodedInTheControllersTerms)
{
    const Bytes temperatures = withCrc({3, 0x03, 16, 0x02, 0xEE, 0x02, 0xBC, 0x01, 0xF4, 0x01, 0xEA, 0, 0, 0, 0, 0, 0, 0, 0});
    const struct {
        const char* what;
        Recorded tx;
        std::string request, reply, outcome;
    } cases[] = {
        {"scan read", {{3, 0x03, 0, 104, 0, 4}, withCrc({3, 0x03, 8, 2, 48, 60, 10, 95, 100, 105, 100}), LinkOutcome::Ok},
         "odczyt 104..111",
         "krok 2, godz. razem 48, T zadana 60 °C, dT zadana 10 °C, P10 -0,5, P11 0,0, P12 0,5, P13 0,0", "OK"},
        {"temperatures", {{3, 0x03, 0, 160, 0, 8}, temperatures, LinkOutcome::Ok}, "odczyt 160..175",
         "T suchy 25,0 °C, T mokry 20,0 °C, T kontr.1 0,0 °C, T kontr.2 -1,0 °C", "OK"},
        {"tenths write", {{3, 0x06, 0, 120, 16, 20}, withCrc({3, 0x06, 0, 120, 16, 20}), LinkOutcome::Ok},
         "zapis P8 := 1,6 (bajt 120)", "potwierdzony zapis (bajt 120)", "OK"},
        {"list write", {{3, 0x06, 0, 122, 2, 5}, {}, LinkOutcome::NoReply}, "zapis P14 := NORDA (bajt 122)", "",
         "brak odpowiedzi"},
        {"programme write", {{3, 0x06, 0, 132, 55, 4}, {}, LinkOutcome::NoReply}, "zapis Pr2 T := 55 °C (bajt 132)", "",
         "brak odpowiedzi"},
        {"address change", {{5, 0x06, 0, 96, 0, 7}, {}, LinkOutcome::NoReply}, "zmiana adresu 5 → 7", "",
         "brak odpowiedzi"},
        {"baud change", {{5, 0x06, 0, 98, 1, 2}, {}, LinkOutcome::NoReply}, "zmiana szybkości → 19 200 b/s", "",
         "brak odpowiedzi"},
        {"start/stop", {{5, 0x06, 0, 119, 1, 16}, {}, LinkOutcome::NoReply}, "start/stop programu", "", "brak odpowiedzi"},
        {"reset", {{5, 0x06, 0, 100, 8, 0}, {}, LinkOutcome::NoReply}, "reset (bajt 100 := 8)", "", "brak odpowiedzi"},
        {"crc error", {{3, 0x03, 0, 96, 0, 1}, {3, 0x03, 2, 0, 3, 0, 0}, LinkOutcome::BadCrc}, "odczyt 96..97", "",
         "błąd CRC"},
        {"exception", {{3, 0x03, 0, 96, 0, 1}, withCrc({3, 0x83, 2}), LinkOutcome::BadHeader}, "odczyt 96..97",
         "wyjątek 2: niedozwolony adres danych", "wyjątek Modbus 2"},
        {"exception with a broken CRC is only a wrong header",
         {{3, 0x03, 0, 96, 0, 1}, {3, 0x83, 2, 0, 0}, LinkOutcome::BadHeader}, "odczyt 96..97", "", "błędny nagłówek"},
        {"another controller's reply", {{3, 0x03, 0, 96, 0, 1}, withCrc({4, 0x03, 2, 0, 4}), LinkOutcome::BadHeader},
         "odczyt 96..97", "", "błędny nagłówek"},
    };
    for (const auto& c : cases) {
        Recorder recorder;
        const std::vector<Frame> f = record(c.tx, recorder);
        ASSERT_EQ(f.size(), 2u) << c.what;
        EXPECT_EQ(Meaning(f[0]), c.request) << c.what;
        EXPECT_EQ(OutcomeText(f[0]), "") << c.what;
        EXPECT_EQ(HexText(f[0]).size(), 8u * 3 - 1) << c.what;
        EXPECT_EQ(Meaning(f[1]), c.reply) << c.what;
        EXPECT_EQ(OutcomeText(f[1]), c.outcome) << c.what;
        EXPECT_EQ(f[1].totalBytes, c.tx.reply.size()) << c.what;
    }
}

TEST(BusMonitor, NoiseAndLateBytesAreFramesOfTheirOwn)
{
    Recorder recorder;
    const Bytes noise(64, 0x55);
    torv::ModbusLink::Transaction t{};
    const Bytes request = withCrc({7, 0x03, 0, 96, 0, 1});
    t.address = 7;
    t.function = 0x03;
    t.start = 96;
    t.count = 1;
    t.outcome = LinkOutcome::Noise;
    t.request = request;
    t.reply = noise;
    t.replyBytes = 1500;
    recorder.transaction(t);
    const Bytes late = withCrc({9, 0x03, 2, 0, 9});
    recorder.discard({late, late.size(), 2'000'000});

    const FrameRing& ring = recorder.frames();
    ASSERT_EQ(ring.size(), 3u);
    EXPECT_EQ(OutcomeText(ring.at(1)), "szum odrzucony");
    EXPECT_TRUE(HexText(ring.at(1)).ends_with("55 55 … (1500 bajtów)")) << HexText(ring.at(1));
    EXPECT_EQ(DirectionText(ring.at(2).direction), "odrzucone");
    EXPECT_EQ(OutcomeText(ring.at(2)), "spóźnione bajty odrzucone");
    EXPECT_EQ(TraceLines(ring.at(1), 0), std::vector<std::string>{"         0 ms  noise 1500 bytes"});
    const std::vector<std::string> drop = TraceLines(ring.at(2), 1'000'000);
    ASSERT_EQ(drop.size(), 1u);
    EXPECT_TRUE(drop[0].starts_with("      1000 ms  drop 09 03 02 00 09 ")) << drop[0];
    EXPECT_EQ(recorder.stats(7).noise, 1u);
    EXPECT_EQ(recorder.stats(9).late, 1u) << "late bytes count against the address they carry";
    const std::uint8_t stray[] = {0xFF, 0x00};
    recorder.discard({stray, 2, 3'000'000});
    EXPECT_EQ(recorder.stats(0xFF), torv::bus_monitor::AddressStats{}) << "no controller answers from 255";
    EXPECT_EQ(recorder.frames().size(), 4u);
}

TEST(BusMonitor, TraceLinesTakeTheSimulatorsLayout)
{
    Recorder recorder;
    const std::vector<Frame> bad = record({{3, 0x03, 0, 96, 0, 1}, {3, 0x03, 2, 0, 3, 0, 0}, LinkOutcome::BadCrc}, recorder);
    EXPECT_EQ(TraceLines(bad[0], 0), std::vector<std::string>{"         5 ms  in  03 03 00 60 00 01 85 F6"});
    EXPECT_EQ(TraceLines(bad[1], 0), (std::vector<std::string>{"        67 ms  out 03 03 02 00 03 00 00",
                                                               "        67 ms  crc error"}));
    const std::vector<Frame> silent = record({{3, 0x03, 0, 96, 0, 1}, {}, LinkOutcome::NoReply}, recorder);
    EXPECT_EQ(TraceLines(silent[1], 0), std::vector<std::string>{"        67 ms  no reply"});
}

TEST(BusMonitor, RingKeepsTheLastFramesAndCountsOn)
{
    FrameRing ring(3);
    for (std::uint8_t i = 1; i <= 7; ++i) {
        Frame f;
        f.address = i;
        ring.push(f);
    }
    EXPECT_EQ(ring.size(), 3u);
    EXPECT_EQ(ring.firstSeq(), 4u);
    EXPECT_EQ(ring.endSeq(), 7u);
    for (std::uint64_t s = ring.firstSeq(); s < ring.endSeq(); ++s)
        EXPECT_EQ(ring.at(s).address, s + 1);
    ring.clear();
    EXPECT_EQ(ring.size(), 0u);
    EXPECT_EQ(ring.firstSeq(), 7u) << "numbers go on after a clear, so a view never takes a frame twice";

    Recorder recorder;
    for (int i = 0; i < 10'100; ++i)
        record({{1, 0x03, 0, 96, 0, 1}, {}, LinkOutcome::NoReply}, recorder);
    EXPECT_EQ(recorder.frames().size(), kDefaultCapacity);
    EXPECT_EQ(recorder.frames().endSeq(), 20'200u);
    EXPECT_EQ(recorder.stats(1).requests, 10'100u) << "the counters are not bounded by the ring";
}
