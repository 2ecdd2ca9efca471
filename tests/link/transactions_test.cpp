#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/modbus_link.h"
#include "support/recording_notifier.h"
#include "support/shown_link.h"
#include "support/scripted_port.h"

using torv::testing::RecordingNotifier;
using torv::testing::ScriptedPort;
using torv::testing::withCrc;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr std::uint64_t ms = 1000;

struct Bench {
    torv::PortSettings settings;
    torv::VirtualClock clock;
    RecordingNotifier notifier;
    torv::ModbusLink link{settings, clock};
    ScriptedPort* port = nullptr;

    Bench()
    {
        auto p = std::make_unique<ScriptedPort>(clock);
        port = p.get();
        link.attachPort(std::move(p));
    }
    // A well-formed read reply carrying `data`.
    static Bytes readReply(std::uint8_t address, const Bytes& data)
    {
        Bytes f = {address, 0x03, static_cast<std::uint8_t>(data.size())};
        f.insert(f.end(), data.begin(), data.end());
        return withCrc(f);
    }
    void replyOnce(Bytes reply, std::uint64_t delayUs = 20 * ms)
    {
        port->onRequest = [reply, delayUs](const Bytes&, ScriptedPort& p) { p.arriveIn(delayUs, reply); };
    }
    std::vector<std::string> texts() const
    {
        std::vector<std::string> t;
        for (const auto& b : notifier.boxes)
            t.push_back(b.text + " / " + b.caption);
        return t;
    }
};

Bytes counting(std::size_t n, std::uint8_t from = 1)
{
    Bytes d(n);
    for (std::size_t i = 0; i < n; ++i)
        d[i] = static_cast<std::uint8_t>(from + i);
    return d;
}

TEST(Frames, ReadRequestIsSentByteByByteWithPerBytePause)
{
    for (std::uint8_t baudIndex : {0, 1, 2}) {
        Bench b;
        b.settings.BaudIndex = baudIndex;
        b.link.Read_Modbus_Byte(7, 104, 4);
        EXPECT_EQ(b.port->sentBytes(), withCrc({7, 0x03, 0x00, 104, 0x00, 4}));
        ASSERT_EQ(b.port->sent.size(), 8u);
        for (std::size_t i = 1; i < 8; ++i)
            EXPECT_EQ(b.port->sent[i].atUs - b.port->sent[i - 1].atUs, (baudIndex + 1u) * ms) << int(baudIndex);
    }
}

TEST(Frames, WriteRequestCarriesTheTwoImageBytes)
{
    Bench b;
    b.link.image.at(3, 119) = 1;
    b.link.image.at(3, 120) = 15;
    torv::testing::LoadShown(b.link, b.notifier, 3, 119, false);
    EXPECT_EQ(b.port->sentBytes(), withCrc({3, 0x06, 0x00, 119, 1, 15}));
    EXPECT_EQ(b.link.image.at(3, 119), 1) << "a write leaves the image alone";
}

TEST(Frames, Crc16StoresLowByteFirstBehindTheFrame)
{
    Bench b;
    b.link.Read_Modbus_Byte(1, 0, 10); // request 01 03 00 00 00 0A
    EXPECT_EQ(b.port->sentBytes(), (Bytes{1, 3, 0, 0, 0, 10, 0xC5, 0xCD}));
}

TEST(Read, GoodReplyFillsTheImageAndIsOk)
{
    Bench b;
    b.replyOnce(Bench::readReply(5, counting(16, 40)));
    EXPECT_TRUE(torv::testing::ReadShown(b.link, b.notifier, 5, 96, 8, true).ok());
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(b.link.image.at(5, 96 + i), 40 + i);
    EXPECT_EQ(b.link.image.at(5, 112), 0);
    EXPECT_EQ(b.link.image.at(4, 96), 0) << "other addresses untouched";
    EXPECT_TRUE(b.notifier.boxes.empty());
}

TEST(Read, ReadAt160KeepsOnlyBytesUpTo168)
{
    Bench b;
    b.replyOnce(Bench::readReply(1, counting(16, 1)));
    ASSERT_TRUE(b.link.Read_Modbus_Byte(1, 160, 8).ok());
    for (int a = 160; a <= 168; ++a)
        EXPECT_EQ(b.link.image.at(1, a), a - 159);
    EXPECT_EQ(b.link.image.at(2, 96), 0) << "the 7 dropped bytes must not spill into the next row";
}

using Outcome = torv::ModbusLink::Outcome;

struct ReadFailure {
    const char* what;
    Bytes reply; // empty: silent
    const char* notice;
    Outcome outcome; // what the link tells its observer
};

TEST(Read, EveryFailureLeavesImageAndReportsTheRightNotice)
{
    const Bytes good = Bench::readReply(9, counting(4, 200));
    Bytes badCrcLow = good;
    badCrcLow[7] ^= 0x01;
    Bytes badCrcHigh = good;
    badCrcHigh[8] ^= 0x80;
    const Bytes cutShort(good.begin(), good.end() - 1);
    const std::vector<ReadFailure> cases = {
        {"silent", {}, "Brak komunikacji z modułem !!!", Outcome::NoReply},
        {"wrong address", Bench::readReply(8, counting(4, 200)), "Brak komunikacji z modułem !!!", Outcome::BadHeader},
        {"wrong function", withCrc({9, 0x04, 4, 200, 201, 202, 203}), "Brak komunikacji z modułem !!!",
         Outcome::BadHeader},
        {"wrong byte count", Bench::readReply(9, counting(6, 200)), "Brak komunikacji z modułem !!!", Outcome::BadHeader},
        {"exception reply", withCrc({9, 0x83, 0x02}), "Brak komunikacji z modułem !!!", Outcome::BadHeader},
        {"crc low", badCrcLow, "Błąd CRC ramki !!!", Outcome::BadCrc},
        {"crc high", badCrcHigh, "Błąd CRC ramki !!!", Outcome::BadCrc},
        {"cut short", cutShort, "Błąd CRC ramki !!!", Outcome::BadCrc},
    };
    for (const auto& c : cases) {
        for (bool show : {true, false}) {
            Bench b;
            if (!c.reply.empty())
                b.replyOnce(c.reply);
            std::vector<Outcome> outcomes;
            Bytes request, reply;
            b.link.onTransaction = [&](const torv::ModbusLink::Transaction& t) {
                outcomes.push_back(t.outcome);
                request.assign(t.request.begin(), t.request.end());
                reply.assign(t.reply.begin(), t.reply.end());
            };
            const torv::ModbusLink::Reply got = torv::testing::ReadShown(b.link, b.notifier, 9, 120, 2, show);
            EXPECT_TRUE(got.sent) << c.what;
            EXPECT_FALSE(got.ok()) << c.what;
            EXPECT_EQ(got.outcome, c.outcome) << c.what;
            EXPECT_EQ(outcomes, std::vector<Outcome>{c.outcome}) << c.what;
            EXPECT_EQ(request, withCrc({9, 0x03, 0, 120, 0, 2})) << c.what;
            EXPECT_EQ(reply, c.reply) << c.what << ": the observer sees the bytes that came";
            for (int a = 120; a < 124; ++a)
                EXPECT_EQ(b.link.image.at(9, a), 0) << c.what;
            if (show)
                EXPECT_EQ(b.texts(), std::vector<std::string>{std::string(c.notice) + " / Uwaga !"}) << c.what;
            else
                EXPECT_TRUE(b.notifier.boxes.empty()) << c.what;
        }
    }
}

TEST(Read, StaleReplyOfEarlierTransactionNeverPasses)
{
    Bench b;
    b.replyOnce(Bench::readReply(2, counting(4)));
    ASSERT_TRUE(b.link.Read_Modbus_Byte(2, 104, 2).ok());
    b.port->onRequest = nullptr; // the controller goes silent
    EXPECT_FALSE(b.link.Read_Modbus_Byte(2, 104, 2).ok());
}

TEST(Read, LateReplyOfAnEarlierRequestIsDiscardedNotTakenAsData)
{
    Bench b;
    // The 104 x 8 reply comes after its wait gave up; the same address,
    // function and count would pass every check of the next read.
    b.port->onRequest = [](const Bytes&, ScriptedPort& p) { p.arriveIn(160 * ms, Bench::readReply(2, counting(16, 104))); };
    EXPECT_FALSE(b.link.Read_Modbus_Byte(2, 104, 8).ok());
    b.replyOnce(Bench::readReply(2, counting(16, 96)));
    std::vector<Bytes> dropped;
    std::vector<std::uint64_t> droppedAt;
    b.link.onDiscard = [&](const torv::ModbusLink::Discard& d) {
        dropped.emplace_back(d.bytes.begin(), d.bytes.end());
        droppedAt.push_back(d.atUs);
    };
    EXPECT_TRUE(b.link.Read_Modbus_Byte(2, 96, 8).ok());
    EXPECT_EQ(dropped, std::vector<Bytes>{Bench::readReply(2, counting(16, 104))}) << "the late reply, reported once";
    ASSERT_EQ(droppedAt.size(), 1u);
    EXPECT_LE(droppedAt[0], b.port->sent[8].atUs) << "dropped before the new request went out";
    for (int a = 96; a < 112; ++a)
        EXPECT_EQ(b.link.image.at(2, a), a) << "byte " << a << " must hold its own value, not 104's";
}

// RTU replies carry no request identity; a reply later than its wait would
// pass every check of the next request of the same address, function and count.
TEST(LateReply, SameShapeRequestWaitsForItToComeAndGo)
{
    Bench b;
    int request = 0;
    b.port->onRequest = [&](const Bytes&, ScriptedPort& p) {
        if (++request == 1) // 104 x 8 answered 300 ms late, after the next request went out
            p.arriveIn(300 * ms, Bench::readReply(2, counting(16, 104)));
        else
            p.arriveIn(20 * ms, Bench::readReply(2, counting(16, 96)));
    };
    EXPECT_FALSE(b.link.Read_Modbus_Byte(2, 104, 8).ok());
    EXPECT_TRUE(b.link.Read_Modbus_Byte(2, 96, 8).ok());
    for (int a = 96; a < 112; ++a)
        EXPECT_EQ(b.link.image.at(2, a), a) << "byte " << a;
    // The second request waited for the late reply to pass, then one quiet period.
    ASSERT_EQ(b.port->sent.size(), 16u);
    EXPECT_GE(b.port->sent[8].atUs, b.port->sent[7].atUs + 450 * ms);
}

TEST(LateReply, OtherRequestsAreNotDelayed)
{
    for (const auto& next : std::vector<std::pair<int, int>>{{3, 8}, {2, 4}}) { // other address; other count
        Bench b;
        b.link.Read_Modbus_Byte(2, 104, 8); // silent
        const std::uint64_t failedAt = b.clock.nowUs();
        b.link.Read_Modbus_Byte(static_cast<std::uint8_t>(next.first), 96, static_cast<std::uint8_t>(next.second));
        EXPECT_EQ(b.clock.nowUs() - failedAt, (8 * 2 + 150) * ms);
    }
}

TEST(LateReply, SilentControllerAskedTheSameAgainWaitsOutTheReplyWindowOnce)
{
    Bench b;
    b.link.Read_Modbus_Byte(2, 96, 8);
    const std::uint64_t failedAt = b.clock.nowUs();
    b.link.Read_Modbus_Byte(2, 96, 8);
    ASSERT_EQ(b.port->sent.size(), 16u);
    EXPECT_GE(b.port->sent[8].atUs, failedAt + 11 * 150 * ms);
    EXPECT_LE(b.port->sent[8].atUs, failedAt + 12 * 150 * ms);
    const std::uint64_t secondFailedAt = b.clock.nowUs();
    b.link.Read_Modbus_Byte(2, 104, 8); // a new window only after a new failure
    EXPECT_GE(b.port->sent[16].atUs, secondFailedAt + 11 * 150 * ms);
}

TEST(LateReply, LateEchoNeverAcknowledgesALaterWriteOfTheSameRegister)
{
    Bench b;
    int request = 0;
    b.port->onRequest = [&](const Bytes& r, ScriptedPort& p) {
        if (++request == 1)
            p.arriveIn(100 * ms, r); // the first write's echo, after its wait
        // the second write is lost on the line: no echo of its own
    };
    b.link.image.at(1, 125) = 1;
    EXPECT_FALSE(torv::testing::LoadShown(b.link, b.notifier, 1, 125, false).ok());
    b.link.image.at(1, 125) = 0;
    EXPECT_FALSE(torv::testing::LoadShown(b.link, b.notifier, 1, 125, false).ok())
        << "the old echo must not pass for this write's";
}

TEST(Read, NoiseBurstOverRxBufferIsDrainedSoTheNextReadWorks)
{
    Bench b;
    b.port->onRequest = [](const Bytes&, ScriptedPort& p) { p.arriveIn(10 * ms, Bytes(1500, 0x55)); };
    std::vector<std::pair<Outcome, std::size_t>> seen;
    b.link.onTransaction = [&](const torv::ModbusLink::Transaction& t) {
        seen.emplace_back(t.outcome, t.replyBytes);
        EXPECT_EQ(t.reply.size(), 64u) << "the first bytes of the noise, bounded";
    };
    EXPECT_FALSE(torv::testing::ReadShown(b.link, b.notifier, 1, 96, 1, true).ok());
    EXPECT_EQ(seen, (std::vector<std::pair<Outcome, std::size_t>>{{Outcome::Noise, 1500}}));
    b.link.onTransaction = nullptr;
    EXPECT_EQ(b.texts(), std::vector<std::string>{"Brak komunikacji z modułem !!! / Uwaga !"});
    EXPECT_EQ(b.port->queued(), 0u);
    b.replyOnce(Bench::readReply(1, {0, 1}));
    EXPECT_TRUE(b.link.Read_Modbus_Byte(1, 96, 1).ok());
}

TEST(Read, ReplyOf1025BytesIsStillReadAndJudged)
{
    Bench b;
    Bytes reply = Bench::readReply(1, {0, 7});
    reply.resize(1025, 0xAA); // trailing noise after a good frame
    b.replyOnce(reply);
    EXPECT_TRUE(b.link.Read_Modbus_Byte(1, 96, 1).ok());
    EXPECT_EQ(b.link.image.at(1, 97), 7);
}

struct WriteCase {
    const char* what;
    Bytes reply;
    bool ok;
    const char* notice;
    const char* caption;
};

TEST(Write, EchoChecksAndNotices)
{
    const Bytes echo = withCrc({4, 0x06, 0x00, 112, 30, 9});
    Bytes badLow = echo, badHigh = echo;
    badLow[6] ^= 0x01;
    badHigh[7] ^= 0x01;
    const std::vector<WriteCase> cases = {
        {"echo", echo, true, "Zapis danych poprawny !!!", "Odpowiedź..."},
        {"bytes 2, 4, 5 are not compared", withCrc({4, 0x06, 0x77, 112, 0, 0}), true, "Zapis danych poprawny !!!",
         "Odpowiedź..."},
        {"silent", {}, false, "Brak potwierdzenia zapisu !!!", "Uwaga !"},
        {"wrong address", withCrc({5, 0x06, 0x00, 112, 30, 9}), false, "Brak potwierdzenia zapisu !!!", "Uwaga !"},
        {"wrong function", withCrc({4, 0x86, 0x02}), false, "Brak potwierdzenia zapisu !!!", "Uwaga !"},
        {"wrong register", withCrc({4, 0x06, 0x00, 113, 30, 9}), false, "Brak potwierdzenia zapisu !!!", "Uwaga !"},
        {"crc low byte", badLow, false, "Błąd CRC ramki odpowiedzi !!!", "Uwaga !"},
        {"crc high byte", badHigh, false, "Błąd CRC ramki odpowiedzi !!!", "Uwaga !"},
        {"cut short", Bytes(echo.begin(), echo.end() - 2), false, "Błąd CRC ramki odpowiedzi !!!", "Uwaga !"},
    };
    for (const auto& c : cases) {
        Bench b;
        b.link.image.at(4, 112) = 30;
        b.link.image.at(4, 113) = 9;
        if (!c.reply.empty())
            b.replyOnce(c.reply);
        EXPECT_EQ(torv::testing::LoadShown(b.link, b.notifier, 4, 112, true).ok(), c.ok) << c.what;
        EXPECT_EQ(b.texts(), std::vector<std::string>{std::string(c.notice) + " / " + c.caption}) << c.what;

        Bench quiet;
        if (!c.reply.empty())
            quiet.replyOnce(c.reply);
        quiet.link.image.at(4, 112) = 30;
        quiet.link.image.at(4, 113) = 9;
        EXPECT_EQ(torv::testing::LoadShown(quiet.link, quiet.notifier, 4, 112, false).ok(), c.ok) << c.what;
        EXPECT_TRUE(quiet.notifier.boxes.empty()) << c.what;
    }
}

TEST(ClosedPort, TransactionsSendNothingAndCountAsFailed)
{
    torv::PortSettings settings;
    torv::VirtualClock clock;
    RecordingNotifier notifier;
    torv::ModbusLink link(settings, clock); // no port attached: PortOpen false
    const torv::ModbusLink::Reply read = torv::testing::ReadShown(link, notifier, 1, 96, 8, true);
    EXPECT_FALSE(read.sent);
    EXPECT_FALSE(read.ok());
    const torv::ModbusLink::Reply write = torv::testing::LoadShown(link, notifier, 1, 96, true);
    EXPECT_FALSE(write.sent);
    EXPECT_FALSE(write.ok()) << "a write that never left must not look acknowledged";
    EXPECT_EQ(clock.nowUs(), 0u) << "no pauses either";
    EXPECT_TRUE(notifier.boxes.empty()) << "the port error was already shown when the open failed";

    Bench b;
    b.replyOnce(Bench::readReply(1, counting(16)));
    ASSERT_TRUE(b.link.Read_Modbus_Byte(1, 96, 8).ok()); // an earlier success
    b.link.CloseHandle();
    EXPECT_FALSE(b.link.PortOpen);
    EXPECT_FALSE(torv::testing::ReadShown(b.link, b.notifier, 1, 96, 8, true).ok());
}

TEST(ClosedPort, AddressesOutsideTheLineSendNothingAndCountAsFailed)
{
    // 0 is the broadcast address: a write there reaches every controller.
    for (std::uint8_t address : {0, 251, 255}) {
        Bench b;
        EXPECT_FALSE(torv::testing::ReadShown(b.link, b.notifier, address, 96, 8, true).ok()) << int(address);
        EXPECT_FALSE(torv::testing::LoadShown(b.link, b.notifier, address, 125, true).ok()) << int(address);
        EXPECT_TRUE(b.port->sent.empty()) << int(address);
        EXPECT_TRUE(b.notifier.boxes.empty()) << int(address);
        // Handlers reach the image with such an address; it must not throw.
        b.link.image.at(address, 125) = 1;
        EXPECT_EQ(b.link.image.at(1, 125), 0) << "the spare row is nobody's row";
    }
}

// Quiet-line rule: first poll period always elapses; the wait goes on while
// each period brings new bytes, and stops after 11 periods at most.
TEST(QuietLine, SilentControllerCostsExactlyOnePollPeriod)
{
    for (std::uint8_t baudIndex : {0, 1, 2}) {
        Bench b;
        b.settings.BaudIndex = baudIndex;
        b.link.Read_Modbus_Byte(1, 96, 8);
        EXPECT_EQ(b.clock.nowUs(), (8u * (baudIndex + 1u) + 150u) * ms);

        Bench w;
        w.settings.BaudIndex = baudIndex;
        torv::testing::LoadShown(w.link, w.notifier, 1, 96, false);
        EXPECT_EQ(w.clock.nowUs(), (8u * (baudIndex + 1u) + 50u) * ms);
    }
}

TEST(QuietLine, ReplyArrivingInPiecesExtendsTheWait)
{
    Bench b;
    const Bytes reply = Bench::readReply(1, counting(16));
    // Five pieces, one every 140 ms: each 150 ms period sees new bytes.
    b.port->onRequest = [reply](const Bytes&, ScriptedPort& p) {
        for (std::size_t piece = 0; piece < 5; ++piece) {
            const std::size_t from = piece * 5, to = std::min(reply.size(), from + 5);
            p.arriveIn((10 + 140 * piece) * ms, Bytes(reply.begin() + from, reply.begin() + to));
        }
    };
    EXPECT_TRUE(b.link.Read_Modbus_Byte(1, 96, 8).ok());
    // Periods end at 150, 300, 450, 600 (bytes still coming), 750 (quiet).
    EXPECT_EQ(b.clock.nowUs() - 8 * 2 * ms, 750 * ms);
}

TEST(QuietLine, EndlessTrickleStopsAfterElevenPeriods)
{
    Bench b;
    b.port->onRequest = [](const Bytes&, ScriptedPort& p) {
        for (int i = 0; i < 100; ++i)
            p.arriveIn(static_cast<std::uint64_t>(10 + 40 * i) * ms, Bytes{0x00});
    };
    EXPECT_FALSE(b.link.Read_Modbus_Byte(1, 96, 8).ok());
    EXPECT_EQ(b.clock.nowUs() - 8 * 2 * ms, 11 * 150 * ms);

    Bench w;
    w.port->onRequest = [](const Bytes&, ScriptedPort& p) {
        for (int i = 0; i < 100; ++i)
            p.arriveIn(static_cast<std::uint64_t>(5 + 20 * i) * ms, Bytes{0x00});
    };
    torv::testing::LoadShown(w.link, w.notifier, 1, 96, false);
    EXPECT_EQ(w.clock.nowUs() - 8 * 2 * ms, 11 * 50 * ms);
}

// Frame rule (torv-cli's choice): a whole reply ends the wait within a
// character time of its last byte; anything short of one is waited for as the
// quiet rule waits, so only good replies get faster.
namespace {

std::uint64_t CharacterUs(std::uint8_t baudIndex) { return 11'000'000u / (baudIndex == 1 ? 9600u : baudIndex == 2 ? 4800u : 19200u); }

// The request's bytes with the pauses between them, which neither rule may change.
std::vector<std::pair<std::uint8_t, std::uint64_t>> Spacing(const ScriptedPort& port)
{
    std::vector<std::pair<std::uint8_t, std::uint64_t>> out;
    for (std::size_t i = 0; i < port.sent.size(); ++i)
        out.emplace_back(port.sent[i].byte, i % 8 == 0 ? 0 : port.sent[i].atUs - port.sent[i - 1].atUs);
    return out;
}

} // namespace

TEST(FrameRule, AWholeReplyEndsTheWaitAtItsLastByte)
{
    const Bytes exception = withCrc({1, 0x83, 0x02});
    for (std::uint8_t baudIndex : {0, 1, 2}) {
        const std::uint64_t ch = CharacterUs(baudIndex);
        struct Case {
            const char* what;
            bool write;
            Bytes reply;
            bool ok;
        } cases[] = {
            {"read of 8 registers", false, Bench::readReply(1, counting(16)), true},
            {"write echo", true, withCrc({1, 0x06, 0x00, 96, 0, 0}), true},
            {"exception reply to a read", false, withCrc({1, 0x83, 0x02}), false},
            {"exception reply to a write", true, withCrc({1, 0x86, 0x02}), false},
        };
        for (const Case& c : cases) {
            Bench b;
            b.settings.BaudIndex = baudIndex;
            b.link.replyRule = torv::ReplyRule::Frame;
            // One byte a character time from 20 ms on, as a line delivers them.
            b.port->onRequest = [&c, ch](const Bytes&, ScriptedPort& p) {
                for (std::size_t i = 0; i < c.reply.size(); ++i)
                    p.arriveIn(20 * ms + i * ch, Bytes{c.reply[i]});
            };
            std::uint64_t judged = 0;
            b.link.onTransaction = [&](const torv::ModbusLink::Transaction& t) { judged = t.judgedUs; };
            const torv::ModbusLink::Reply got = c.write ? torv::testing::LoadShown(b.link, b.notifier, 1, 96, false)
                                                        : b.link.Read_Modbus_Byte(1, 96, 8);
            const std::uint64_t lastByte = b.port->sent.back().atUs + 20 * ms + (c.reply.size() - 1) * ch;
            EXPECT_EQ(got.ok(), c.ok) << c.what;
            EXPECT_EQ(b.link.received(), c.reply.size()) << c.what;
            EXPECT_GE(judged, lastByte) << c.what;
            EXPECT_LT(judged, lastByte + ch) << c.what << " at baud index " << int(baudIndex);
        }
    }
    Bench b;
    b.link.replyRule = torv::ReplyRule::Frame;
    b.replyOnce(Bench::readReply(1, counting(16)));
    b.link.Read_Modbus_Byte(1, 96, 8);
    EXPECT_EQ(b.link.image.at(1, 96), 1);
    EXPECT_EQ(b.link.image.at(1, 111), 16);
}

TEST(FrameRule, ShortChoppedAndSilentRepliesAreWaitedForAsUnderTheQuietRule)
{
    const Bytes reply = Bench::readReply(1, counting(16));
    struct Case {
        const char* what;
        std::function<void(const Bytes&, ScriptedPort&)> script;
    } cases[] = {
        {"silent", nullptr},
        {"in pieces 140 ms apart",
         [reply](const Bytes&, ScriptedPort& p) {
             for (std::size_t piece = 0; piece < 5; ++piece)
                 p.arriveIn((10 + 140 * piece) * ms, Bytes(reply.begin() + std::min(reply.size(), piece * 5),
                                                           reply.begin() + std::min(reply.size(), piece * 5 + 5)));
         }},
        {"missing its last byte", [reply](const Bytes&, ScriptedPort& p) { p.arriveIn(20 * ms, Bytes(reply.begin(), reply.end() - 1)); }},
        {"the rest after the first period", [reply](const Bytes&, ScriptedPort& p) {
             p.arriveIn(20 * ms, Bytes(reply.begin(), reply.begin() + 10));
             p.arriveIn(200 * ms, Bytes(reply.begin() + 10, reply.end()));
         }},
        {"endless trickle", [](const Bytes&, ScriptedPort& p) {
             for (int i = 0; i < 100; ++i)
                 p.arriveIn(static_cast<std::uint64_t>(10 + 40 * i) * ms, Bytes{0x00});
         }},
    };
    for (const Case& c : cases) {
        std::uint64_t took[2] = {};
        bool ok[2] = {};
        std::size_t got[2] = {};
        for (const torv::ReplyRule rule : {torv::ReplyRule::Quiet, torv::ReplyRule::Frame}) {
            Bench b;
            b.link.replyRule = rule;
            b.port->onRequest = c.script;
            const bool answered = b.link.Read_Modbus_Byte(1, 96, 8).ok();
            const int i = rule == torv::ReplyRule::Frame;
            took[i] = b.clock.nowUs();
            ok[i] = answered;
            got[i] = b.link.received();
        }
        EXPECT_EQ(took[1], took[0]) << c.what;
        EXPECT_EQ(ok[1], ok[0]) << c.what;
        EXPECT_EQ(got[1], got[0]) << c.what;
    }
    // A silent controller costs one period under either rule, read and write.
    Bench w;
    w.link.replyRule = torv::ReplyRule::Frame;
    torv::testing::LoadShown(w.link, w.notifier, 1, 96, false);
    EXPECT_EQ(w.clock.nowUs(), (8u * 2u + 50u) * ms);
}

TEST(FrameRule, BytesAfterAWholeReplyAreDrainedBeforeTheNextRequestWhichIsSentAsUnderTheQuietRule)
{
    std::vector<std::pair<std::uint8_t, std::uint64_t>> spacing[2];
    for (const torv::ReplyRule rule : {torv::ReplyRule::Quiet, torv::ReplyRule::Frame}) {
        Bench b;
        b.link.replyRule = rule;
        b.port->onRequest = [](const Bytes& request, ScriptedPort& p) {
            if (request[1] == 0x03) {
                Bytes reply = Bench::readReply(1, counting(16));
                reply.insert(reply.end(), {0xEE, 0xEE, 0xEE}); // line noise behind the frame
                p.arriveIn(20 * ms, reply);
            } else {
                p.arriveIn(10 * ms, Bytes(request.begin(), request.end()));
            }
        };
        std::size_t discarded = 0;
        b.link.onDiscard = [&](const torv::ModbusLink::Discard& d) { discarded += d.total; };
        std::uint64_t replyJudged = 0;
        b.link.onTransaction = [&](const torv::ModbusLink::Transaction& t) {
            if (t.function == 0x03)
                replyJudged = t.judgedUs;
        };
        EXPECT_TRUE(b.link.Read_Modbus_Byte(1, 96, 8).ok());
        const std::uint64_t readEnded = b.clock.nowUs();
        b.link.image.at(1, 96) = 7;
        EXPECT_TRUE(torv::testing::LoadShown(b.link, b.notifier, 1, 96, false).ok());
        const bool frame = rule == torv::ReplyRule::Frame;
        // Under the quiet rule the noise rode in with the reply; under the frame
        // rule it is left on the line and dropped before the write goes out.
        EXPECT_EQ(discarded, frame ? 3u : 0u);
        if (frame) {
            EXPECT_EQ(b.link.received(), 8u);
            // The line idle a frame gap (3.5 characters) after the reply before the next request.
            EXPECT_EQ(readEnded, replyJudged);
            EXPECT_GE(b.port->sent[8].atUs, replyJudged + 7 * CharacterUs(1) / 2);
            EXPECT_LT(b.port->sent[8].atUs, replyJudged + 7 * CharacterUs(1) / 2 + 2 * ms);
        }
        spacing[frame] = Spacing(*b.port);
    }
    EXPECT_EQ(spacing[1], spacing[0]) << "the requests and their byte pauses are the same under both rules";
}

TEST(Delay, SleepsToTheDeadlineOnTheClock)
{
    torv::VirtualClock clock;
    clock.advanceUs(123);
    torv::DelayMs(clock, 20);
    EXPECT_EQ(clock.nowUs(), 123u + 20 * ms);
    torv::DelayMs(clock, 0);
    EXPECT_EQ(clock.nowUs(), 123u + 20 * ms);
}

} // namespace
