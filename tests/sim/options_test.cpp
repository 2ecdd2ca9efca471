// The torv-sim command line.
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "sim/options.h"

using namespace torv::sim;

namespace {

struct GoodFault {
    const char* text;
    std::uint8_t address;
    std::function<bool(const Faults&)> holds;
};

const GoodFault kGoodFaults[] = {
    {"1:silent", 1, [](const Faults& f) { return f.silent && !f.badCrc; }},
    {"7:delay=250", 7, [](const Faults& f) { return f.replyDelayMs == 250; }},
    {"2:split=4/30", 2, [](const Faults& f) { return f.splitPieces == 4 && f.splitGapMs == 30; }},
    {"3:badcrc", 3, [](const Faults& f) { return f.badCrc; }},
    {"3:wrongaddr", 3, [](const Faults& f) { return f.wrongAddress; }},
    {"3:wrongfunc", 3, [](const Faults& f) { return f.wrongFunction; }},
    {"250:exception=4", 250, [](const Faults& f) { return f.exceptionCode == 4; }},
    {"5:garbage=12", 5, [](const Faults& f) { return f.garbageBytes == 12; }},
    {"5:failfrom=3", 5, [](const Faults& f) { return f.failFrom == 3; }},
    {"6:badcrc,delay=10", 6, [](const Faults& f) { return f.badCrc && f.replyDelayMs == 10; }},
};

TEST(Options, FaultTextsSetTheirField)
{
    for (const auto& g : kGoodFaults) {
        std::map<std::uint8_t, Faults> faults;
        std::string error;
        ASSERT_TRUE(parseFault(g.text, faults, error)) << g.text << ": " << error;
        ASSERT_EQ(faults.size(), 1u) << g.text;
        EXPECT_TRUE(g.holds(faults.at(g.address))) << g.text;
    }
}

TEST(Options, BadFaultTextsAreRefused)
{
    const char* bad[] = {"silent", "0:silent", "251:silent", "x:silent", "1:", "1:loud", "1:delay",
                         "1:delay=", "1:delay=-5", "1:silent=1", "1:split=3", "1:split=a/5",
                         "1:exception=0", "1:exception=256", "1:badcrc,"};
    for (const char* text : bad) {
        std::map<std::uint8_t, Faults> faults;
        std::string error;
        EXPECT_FALSE(parseFault(text, faults, error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
}

bool parse(std::vector<std::string> args, SimOptions& o, std::string& error)
{
    args.insert(args.begin(), "torv-sim");
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    return parseOptions(static_cast<int>(args.size()), argv.data(), o, error);
}

TEST(Options, DefaultsServeAddressOneAt9600OnCom1)
{
    SimOptions o;
    std::string error;
    ASSERT_TRUE(parse({}, o, error)) << error;
    EXPECT_EQ(o.addresses, (std::vector<std::uint8_t>{1}));
    EXPECT_EQ(o.link, "COM1");
    EXPECT_EQ(o.dir, ".");
    EXPECT_EQ(o.baudCode, 2);
    EXPECT_TRUE(o.baudCheck);
    EXPECT_FALSE(o.strictTiming);
}

TEST(Options, FullCommandLine)
{
    SimOptions o;
    std::string error;
    ASSERT_TRUE(parse({"--address", "3", "-a", "9", "--link", "COM4", "--dir", "/tmp/x", "--baud", "4800",
                       "--no-baud-check", "--strict-timing", "--hour-seconds", "2.5", "--trace", "--fault",
                       "9:delay=300", "--fault", "9:garbage=2", "--random-faults", "0.05", "--seed", "77",
                       "--byte", "9:125=2", "--byte", "3:125=255", "--still"},
                      o, error))
        << error;
    EXPECT_EQ(o.addresses, (std::vector<std::uint8_t>{3, 9}));
    EXPECT_EQ(o.link, "COM4");
    EXPECT_EQ(o.dir, "/tmp/x");
    EXPECT_EQ(o.baudCode, 3);
    EXPECT_FALSE(o.baudCheck);
    EXPECT_TRUE(o.strictTiming);
    EXPECT_DOUBLE_EQ(o.hourSeconds, 2.5);
    EXPECT_TRUE(o.trace);
    EXPECT_FALSE(o.traceBytes);
    EXPECT_TRUE(o.still);
    EXPECT_EQ(o.faults.at(9).replyDelayMs, 300u);
    EXPECT_EQ(o.faults.at(9).garbageBytes, 2u) << "faults of one address add up";
    EXPECT_DOUBLE_EQ(o.randomFaults, 0.05);
    EXPECT_EQ(o.seed, 77u);
    using ByteAt = std::pair<std::uint8_t, std::pair<std::uint8_t, std::uint8_t>>;
    EXPECT_EQ(o.bytes, (std::vector<ByteAt>{{9, {125, 2}}, {3, {125, 255}}}));
}

TEST(Options, BadCommandLinesAreRefused)
{
    // Each refusal names what is wrong; of several mistakes, the first one given.
    const struct {
        std::vector<std::string> args;
        std::string says;
    } bad[] = {
        {{"--address", "0"}, "--address wants 1..250, got 0"},
        {{"--address", "251"}, "--address wants 1..250, got 251"},
        {{"--address", "2", "--address", "2"}, "address 2 given twice"},
        {{"--baud", "38400"}, "--baud wants 19200, 9600 or 4800, got 38400"},
        {{"--hour-seconds", "0"}, "--hour-seconds wants a positive number, got 0"},
        {{"--hour-seconds", "fast"}, "--hour-seconds wants a positive number, got fast"},
        {{"--random-faults", "1.5"}, "--random-faults wants a probability 0..1, got 1.5"},
        {{"--link", "../COM1"}, "--link wants a plain file name, got '../COM1'"},
        {{"--link", ""}, "--link wants a plain file name, got ''"},
        {{"--fault", "2:silent"}, "--fault for address 2, which no --address serves"},
        {{"--fault", "1:loud"}, "unknown fault: loud"},
        {{"--bogus"}, "unknown or incomplete option --bogus"},
        {{"stray"}, "unexpected argument stray"},
        {{"--address"}, "unknown or incomplete option --address"},
        {{"-x"}, "unknown or incomplete option -x"},
        {{"--seed", "4294967296"}, "--seed wants a number, got 4294967296"},
        {{"--byte", "1:125=256"}, "--byte wants ADDR:BYTE=VALUE, got 1:125=256"},
        {{"--byte", "1:125"}, "--byte wants ADDR:BYTE=VALUE, got 1:125"},
        {{"--byte", "2:125=1"}, "--byte for address 2, which no --address serves"},
        {{"--byte", "1=125:2"}, "--byte wants ADDR:BYTE=VALUE, got 1=125:2"},
        {{"--baud", "1", "--address", "0"}, "--baud wants 19200, 9600 or 4800, got 1"},
        {{"--fault", "3:silent", "--byte", "4:1=1", "-a", "1"}, "--fault for address 3, which no --address serves"},
        {{"--byte", "4:1=1", "--seed", "x"}, "--seed wants a number, got x"},
        {{"--byte", "4:1=1", "stray"}, "unexpected argument stray"},
    };
    for (const auto& [args, says] : bad) {
        SimOptions o;
        std::string error;
        EXPECT_FALSE(parse(args, o, error)) << args.front();
        EXPECT_EQ(error, says) << args.front();
    }
}

TEST(Options, ShortFormsAndSwitchesSetTheirField)
{
    SimOptions o;
    std::string error;
    ASSERT_TRUE(parse({"-a", "5", "-l", "COM2", "-d", "d", "-b", "19200", "-h"}, o, error)) << error;
    EXPECT_EQ(o.addresses, (std::vector<std::uint8_t>{5}));
    EXPECT_EQ(std::tie(o.link, o.dir, o.baudCode, o.help), std::make_tuple(std::string("COM2"), std::string("d"), std::uint8_t{1}, true));
    EXPECT_FALSE(o.trace || o.traceBytes || o.still || o.strictTiming || !o.baudCheck) << "switches stay off unless given";
    SimOptions bytes;
    ASSERT_TRUE(parse({"--trace-bytes"}, bytes, error)) << error;
    EXPECT_TRUE(bytes.traceBytes && bytes.trace) << "the pieces come with the frames";
    // A second parse in one process starts from the first argument again.
    SimOptions again;
    ASSERT_TRUE(parse({"--seed", "4294967295", "--random-faults", "1"}, again, error)) << error;
    EXPECT_EQ(again.seed, 4294967295u);
    EXPECT_DOUBLE_EQ(again.randomFaults, 1.0);
    EXPECT_FALSE(again.help);
}

} // namespace
