#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "link/line_url.h"
#include "link/telnet_com_port.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using T = torv::TelnetComPort;

TEST(LineUrl, SoundUrlsAndWhatTheyName)
{
    const struct {
        const char* text;
        torv::LineScheme scheme;
        const char* host;
        std::uint16_t port;
    } rows[] = {
        {"tcp://192.168.5.20:4001", torv::LineScheme::Tcp, "192.168.5.20", 4001},
        {"rfc2217://hala-2.kiln.local:2217", torv::LineScheme::Rfc2217, "hala-2.kiln.local", 2217},
        {"tcp://[::1]:1", torv::LineScheme::Tcp, "::1", 1},
        {"rfc2217://[fd00::12:7]:65535", torv::LineScheme::Rfc2217, "fd00::12:7", 65535},
        {"tcp://gw_3:0502", torv::LineScheme::Tcp, "gw_3", 502},
    };
    for (const auto& row : rows) {
        const torv::LineUrlParse parsed = torv::ParseLineUrl(row.text);
        ASSERT_TRUE(parsed.url) << row.text << ": " << parsed.error;
        EXPECT_EQ(parsed.url->scheme, row.scheme) << row.text;
        EXPECT_EQ(parsed.url->host, row.host) << row.text;
        EXPECT_EQ(parsed.url->port, row.port) << row.text;
        EXPECT_TRUE(torv::IsLineUrl(row.text));
        EXPECT_EQ(torv::ParseLineUrl(torv::LineUrlText(*parsed.url)).url->host, row.host) << "written back";
    }
}

TEST(LineUrl, RefusalsSayWhy)
{
    const struct {
        const char* text;
        const char* says;
    } rows[] = {
        {"tcp://gw", "no port"},
        {"tcp://gw:", "no port"},
        {"tcp://[::1]", "no port"},
        {"tcp://:4001", "no host"},
        {"tcp://gw:0", "not 1..65535"},
        {"tcp://gw:65536", "not 1..65535"},
        {"tcp://gw:+80", "not 1..65535"},
        {"tcp://gw:80x", "not 1..65535"},
        {"telnet://gw:23", "unknown scheme \"telnet\""},
        {"TCP://gw:23", "unknown scheme"},
        {"tcp://admin:1234@gw:4001", "user or password"},
        {"tcp://gw:4001/", "a path"},
        {"rfc2217://gw:4001?baud=9600", "a path"},
        {"tcp://::1:4001", "in brackets"},
        {"tcp://[::1:4001", "closing ]"},
        {"tcp://[gw]:4001", "no IPv6 address"},
        {"tcp://g w:4001", "no host name"},
    };
    for (const auto& row : rows) {
        const torv::LineUrlParse parsed = torv::ParseLineUrl(row.text);
        EXPECT_FALSE(parsed.url) << row.text;
        EXPECT_NE(parsed.error.find(row.says), std::string::npos) << row.text << " -> " << parsed.error;
    }
    // Device paths stay device paths.
    for (const char* path : {"/dev/ttyUSB0", "COM3", "./COM1", "/tmp/a://b", "://gw:1"})
        EXPECT_FALSE(torv::IsLineUrl(path)) << path;
}

TEST(TelnetComPort, GreetingSetsTheWholeLine)
{
    const T telnet;
    const Bytes expected{T::kIac, T::kWill, T::kBinary, T::kIac, T::kDo, T::kBinary, T::kIac, T::kWill, T::kComPort,
                         // 9600 baud, 8 bits, no parity, 1 stop bit
                         T::kIac, T::kSb, 44, 1, 0, 0, 0x25, 0x80, T::kIac, T::kSe,
                         T::kIac, T::kSb, 44, 2, 8, T::kIac, T::kSe,
                         T::kIac, T::kSb, 44, 3, 1, T::kIac, T::kSe,
                         T::kIac, T::kSb, 44, 4, 1, T::kIac, T::kSe,
                         // no flow control, DTR off, RTS off
                         T::kIac, T::kSb, 44, 5, 1, T::kIac, T::kSe,
                         T::kIac, T::kSb, 44, 5, 9, T::kIac, T::kSe,
                         T::kIac, T::kSb, 44, 5, 12, T::kIac, T::kSe};
    EXPECT_EQ(telnet.greeting({9600, torv::Parity::None}), expected);
    const Bytes even = telnet.greeting({19200, torv::Parity::Even});
    EXPECT_EQ(Bytes(even.begin() + 13, even.begin() + 17), (Bytes{0, 0, 0x4B, 0x00}));
    EXPECT_EQ(even[30], 3) << "even parity";
    EXPECT_EQ(telnet.greeting({4800, torv::Parity::Odd})[30], 2) << "odd parity";
}

// What the server sends, fed in one piece and byte by byte: the line data and the answers owed.
TEST(TelnetComPort, ServerBytesSplitIntoDataAndAnswers)
{
    const struct {
        const char* what;
        Bytes in;
        Bytes data;
        Bytes replies;
    } rows[] = {
        {"plain data", {1, 3, 4}, {1, 3, 4}, {}},
        {"doubled IAC is one 0xFF", {0x11, T::kIac, T::kIac, 0x22}, {0x11, 0xFF, 0x22}, {}},
        {"echo refused once", {T::kIac, T::kWill, T::kEcho, T::kIac, T::kWill, T::kEcho}, {},
         {T::kIac, T::kDont, T::kEcho}},
        {"unknown DO refused", {T::kIac, T::kDo, 24, 7}, {7}, {T::kIac, T::kWont, 24}},
        {"go-ahead suppressed both ways", {T::kIac, T::kWill, 3, T::kIac, T::kDo, 3},
         {}, {T::kIac, T::kDo, 3, T::kIac, T::kWill, 3}},
        {"answers to the greeting need none", {T::kIac, T::kDo, 44, T::kIac, T::kDo, 0, T::kIac, T::kWill, 0}, {}, {}},
        {"NOP and break carry nothing", {5, T::kIac, 241, T::kIac, 243, 6}, {5, 6}, {}},
        {"a foreign subnegotiation is skipped", {T::kIac, T::kSb, 24, 1, 2, T::kIac, T::kIac, T::kIac, T::kSe, 9}, {9}, {}},
        {"a broken subnegotiation is dropped whole", {T::kIac, T::kSb, 44, 101, T::kIac, 1, 8}, {8}, {}},
        {"CR NUL outside binary is a CR", {13, 0, 13, 10}, {13, 13, 10}, {}},
        {"CR NUL in binary stays", {T::kIac, T::kWill, 0, 13, 0}, {13, 0}, {}},
    };
    for (const auto& row : rows) {
        for (const bool byteByByte : {false, true}) {
            T telnet;
            std::deque<std::uint8_t> data;
            Bytes replies;
            if (byteByByte)
                for (const std::uint8_t b : row.in)
                    telnet.decode(&b, 1, data, replies);
            else
                telnet.decode(row.in.data(), row.in.size(), data, replies);
            EXPECT_EQ(Bytes(data.begin(), data.end()), row.data) << row.what << (byteByByte ? " (bytewise)" : "");
            EXPECT_EQ(replies, row.replies) << row.what << (byteByByte ? " (bytewise)" : "");
        }
    }
}

Bytes Answer(std::uint8_t command, Bytes value)
{
    Bytes out{T::kIac, T::kSb, 44, command};
    for (const std::uint8_t b : value) {
        out.push_back(b);
        if (b == T::kIac)
            out.push_back(b);
    }
    out.insert(out.end(), {T::kIac, T::kSe});
    return out;
}

TEST(TelnetComPort, SettledOnlyWhenTheServerConfirmedTheLineAsAsked)
{
    const torv::LineSettings line{9600, torv::Parity::Even};
    const Bytes taken{T::kIac, T::kDo, 44};
    const struct {
        const char* what;
        std::vector<Bytes> answers;
        bool settled;
        const char* mismatch; // "" none
    } rows[] = {
        {"all four confirmed", {taken, Answer(101, {0, 0, 0x25, 0x80}), Answer(102, {8}), Answer(103, {3}), Answer(104, {1})},
         true, ""},
        {"option not taken yet", {Answer(101, {0, 0, 0x25, 0x80}), Answer(102, {8}), Answer(103, {3}), Answer(104, {1})},
         false, ""},
        {"stop size unconfirmed", {taken, Answer(101, {0, 0, 0x25, 0x80}), Answer(102, {8}), Answer(103, {3})}, false, ""},
        {"refused", {{T::kIac, T::kDont, 44}}, false, "does not take RFC 2217"},
        {"another speed", {taken, Answer(101, {0, 0, 0x12, 0xC0})}, false, "4800 baud, not 9600"},
        {"an IAC inside the speed", {taken, Answer(101, {0, 0, 0xFF, 0x00})}, false, "65280 baud"},
        {"another parity", {taken, Answer(103, {1})}, false, "parity none, not even"},
        {"seven bits", {taken, Answer(102, {7})}, false, "7 data bits"},
        {"two stop bits", {taken, Answer(104, {2})}, false, "stop size 2"},
    };
    for (const auto& row : rows) {
        T telnet;
        std::deque<std::uint8_t> data;
        Bytes replies;
        for (const Bytes& answer : row.answers)
            telnet.decode(answer.data(), answer.size(), data, replies);
        EXPECT_EQ(telnet.settled(), row.settled) << row.what;
        const std::string mismatch = telnet.mismatch(line);
        if (*row.mismatch == '\0')
            EXPECT_EQ(mismatch, "") << row.what;
        else
            EXPECT_NE(mismatch.find(row.mismatch), std::string::npos) << row.what << " -> " << mismatch;
        EXPECT_TRUE(data.empty()) << row.what << ": answers are no line data";
    }
}

TEST(TelnetComPort, DataGoesOutEscaped)
{
    T telnet;
    Bytes out;
    for (const std::uint8_t b : {0x01, 0xFF, 0x0D, 0x00})
        telnet.encode(b, out);
    EXPECT_EQ(out, (Bytes{0x01, 0xFF, 0xFF, 0x0D, 0x00, 0x00})) << "outside binary a CR is followed by NUL";
    std::deque<std::uint8_t> data;
    Bytes replies;
    const Bytes binary{T::kIac, T::kDo, T::kBinary};
    telnet.decode(binary.data(), binary.size(), data, replies);
    out.clear();
    for (const std::uint8_t b : {0x0D, 0xFF})
        telnet.encode(b, out);
    EXPECT_EQ(out, (Bytes{0x0D, 0xFF, 0xFF})) << "in binary only IAC is doubled";
}

} // namespace
