#include "sim/options.h"

#include <algorithm>
#include <charconv>
#include <getopt.h>
#include <vector>

#include "sim/controller_bytes.h"

namespace torv::sim {

namespace {

bool toNumber(const std::string& text, unsigned long long high, unsigned& value)
{
    unsigned long long v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || v > high)
        return false;
    value = static_cast<unsigned>(v);
    return true;
}

bool toDouble(const std::string& text, double& value)
{
    try {
        std::size_t used = 0;
        value = std::stod(text, &used);
        return used == text.size();
    } catch (...) {
        return false;
    }
}

// One fault kind: its name, whether it takes a value, and how it is set.
struct FaultKind {
    const char* name;
    bool takesValue;
    bool (*apply)(Faults&, const std::string&);
};

bool setFlag(bool& flag) { return flag = true; }

constexpr FaultKind kFaultKinds[] = {
    {"silent", false, [](Faults& f, const std::string&) { return setFlag(f.silent); }},
    {"badcrc", false, [](Faults& f, const std::string&) { return setFlag(f.badCrc); }},
    {"wrongaddr", false, [](Faults& f, const std::string&) { return setFlag(f.wrongAddress); }},
    {"wrongfunc", false, [](Faults& f, const std::string&) { return setFlag(f.wrongFunction); }},
    {"delay", true, [](Faults& f, const std::string& v) { return toNumber(v, 600000, f.replyDelayMs); }},
    {"garbage", true, [](Faults& f, const std::string& v) { return toNumber(v, 1024, f.garbageBytes); }},
    {"failfrom", true, [](Faults& f, const std::string& v) { return toNumber(v, 1u << 30, f.failFrom); }},
    {"exception", true,
     [](Faults& f, const std::string& v) {
         unsigned code = 0;
         if (!toNumber(v, 255, code) || code == 0)
             return false;
         f.exceptionCode = static_cast<std::uint8_t>(code);
         return true;
     }},
    {"split", true,
     [](Faults& f, const std::string& v) {
         const auto slash = v.find('/');
         return slash != std::string::npos && toNumber(v.substr(0, slash), 256, f.splitPieces)
             && toNumber(v.substr(slash + 1), 600000, f.splitGapMs);
     }},
};

bool applyFaultKind(const std::string& item, Faults& f, std::string& error)
{
    const auto eq = item.find('=');
    const std::string name = item.substr(0, eq);
    const std::string value = eq == std::string::npos ? std::string() : item.substr(eq + 1);
    for (const auto& kind : kFaultKinds) {
        if (name != kind.name)
            continue;
        if (kind.takesValue != (eq != std::string::npos) || !kind.apply(f, value)) {
            error = "bad fault value: " + item;
            return false;
        }
        return true;
    }
    error = "unknown fault: " + name;
    return false;
}

struct BaudOption {
    const char* text;
    std::uint8_t code;
};
constexpr BaudOption kBaudOptions[] = {{"19200", 1}, {"9600", 2}, {"4800", 3}};

bool addAddress(const std::string& arg, SimOptions& o, std::string& error)
{
    unsigned number = 0;
    if (!toNumber(arg, kMaxSlaveAddress, number) || number == 0) {
        error = "--address wants 1.." + std::to_string(kMaxSlaveAddress) + ", got " + arg;
        return false;
    }
    if (std::find(o.addresses.begin(), o.addresses.end(), number) != o.addresses.end()) {
        error = "address " + arg + " given twice";
        return false;
    }
    o.addresses.push_back(static_cast<std::uint8_t>(number));
    return true;
}

bool setLink(const std::string& arg, SimOptions& o, std::string& error)
{
    if (arg.empty() || arg.find('/') != std::string::npos) {
        error = "--link wants a plain file name, got '" + arg + "'";
        return false;
    }
    o.link = arg;
    return true;
}

bool setBaud(const std::string& arg, SimOptions& o, std::string& error)
{
    const auto* e = std::find_if(std::begin(kBaudOptions), std::end(kBaudOptions),
                                 [&](const BaudOption& b) { return arg == b.text; });
    if (e == std::end(kBaudOptions)) {
        error = "--baud wants 19200, 9600 or 4800, got " + arg;
        return false;
    }
    o.baudCode = e->code;
    return true;
}

bool setHourSeconds(const std::string& arg, SimOptions& o, std::string& error)
{
    if (!toDouble(arg, o.hourSeconds) || !(o.hourSeconds > 0.0)) {
        error = "--hour-seconds wants a positive number, got " + arg;
        return false;
    }
    return true;
}

bool setRandomFaults(const std::string& arg, SimOptions& o, std::string& error)
{
    if (!toDouble(arg, o.randomFaults) || !(o.randomFaults >= 0.0 && o.randomFaults <= 1.0)) {
        error = "--random-faults wants a probability 0..1, got " + arg;
        return false;
    }
    return true;
}

bool setSeed(const std::string& arg, SimOptions& o, std::string& error)
{
    unsigned number = 0;
    if (!toNumber(arg, 0xFFFFFFFFull, number)) {
        error = "--seed wants a number, got " + arg;
        return false;
    }
    o.seed = number;
    return true;
}

// ADDR:BYTE=VALUE, each a number 0..255 (the address 1..250)
bool addByte(const std::string& arg, SimOptions& o, std::string& error)
{
    const auto colon = arg.find(':'), equals = arg.find('=');
    unsigned address = 0, byte = 0, value = 0;
    if (colon == std::string::npos || equals == std::string::npos || equals < colon ||
        !toNumber(arg.substr(0, colon), kMaxSlaveAddress, address) || address == 0 ||
        !toNumber(arg.substr(colon + 1, equals - colon - 1), 255, byte) ||
        !toNumber(arg.substr(equals + 1), 255, value)) {
        error = "--byte wants ADDR:BYTE=VALUE, got " + arg;
        return false;
    }
    o.bytes.push_back({static_cast<std::uint8_t>(address),
                       {static_cast<std::uint8_t>(byte), static_cast<std::uint8_t>(value)}});
    return true;
}

// One option as getopt_long knows it (a letter for those with a short form)
// and what its value does to the options.
struct OptionRule {
    option getopt;
    bool (*apply)(const std::string& arg, SimOptions& o, std::string& error);
};
enum LongOnly { NoBaudCheck = 256, Strict, HourSeconds, Trace, Fault, RandomFaults, Seed, Byte, TraceBytes, Still };

const OptionRule kOptionRules[] = {
    {{"address", required_argument, nullptr, 'a'}, addAddress},
    {{"link", required_argument, nullptr, 'l'}, setLink},
    {{"dir", required_argument, nullptr, 'd'}, [](const std::string& v, SimOptions& o, std::string&) {
         o.dir = v;
         return true;
     }},
    {{"baud", required_argument, nullptr, 'b'}, setBaud},
    {{"no-baud-check", no_argument, nullptr, NoBaudCheck}, [](const std::string&, SimOptions& o, std::string&) {
         o.baudCheck = false;
         return true;
     }},
    {{"strict-timing", no_argument, nullptr, Strict}, [](const std::string&, SimOptions& o, std::string&) {
         return o.strictTiming = true;
     }},
    {{"hour-seconds", required_argument, nullptr, HourSeconds}, setHourSeconds},
    {{"trace", no_argument, nullptr, Trace}, [](const std::string&, SimOptions& o, std::string&) {
         return o.trace = true;
     }},
    {{"trace-bytes", no_argument, nullptr, TraceBytes}, [](const std::string&, SimOptions& o, std::string&) {
         return o.trace = o.traceBytes = true;
     }},
    {{"still", no_argument, nullptr, Still}, [](const std::string&, SimOptions& o, std::string&) {
         return o.still = true;
     }},
    {{"fault", required_argument, nullptr, Fault}, [](const std::string& v, SimOptions& o, std::string& error) {
         return parseFault(v, o.faults, error);
     }},
    {{"random-faults", required_argument, nullptr, RandomFaults}, setRandomFaults},
    {{"seed", required_argument, nullptr, Seed}, setSeed},
    {{"byte", required_argument, nullptr, Byte}, addByte},
    {{"help", no_argument, nullptr, 'h'}, [](const std::string&, SimOptions& o, std::string&) {
         return o.help = true;
     }},
};
constexpr const char* kShortOptions = "a:l:d:b:h";

// Faults and start bytes only for controllers on the line.
bool checkServed(const SimOptions& o, std::string& error)
{
    const auto served = [&o](std::uint8_t address) {
        return std::find(o.addresses.begin(), o.addresses.end(), address) != o.addresses.end();
    };
    for (const auto& [address, f] : o.faults) {
        if (!served(address)) {
            error = "--fault for address " + std::to_string(address) + ", which no --address serves";
            return false;
        }
    }
    for (const auto& [address, byteValue] : o.bytes) {
        if (!served(address)) {
            error = "--byte for address " + std::to_string(address) + ", which no --address serves";
            return false;
        }
    }
    return true;
}

} // namespace

bool parseFault(const std::string& text, std::map<std::uint8_t, Faults>& faults, std::string& error)
{
    const auto colon = text.find(':');
    unsigned address = 0;
    if (colon == std::string::npos || !toNumber(text.substr(0, colon), kMaxSlaveAddress, address) || address == 0) {
        error = "--fault wants ADDR:KIND, got " + text;
        return false;
    }
    Faults f = faults[static_cast<std::uint8_t>(address)];
    std::string rest = text.substr(colon + 1);
    std::size_t start = 0;
    do {
        const auto comma = rest.find(',', start);
        if (!applyFaultKind(rest.substr(start, comma - start), f, error))
            return false;
        start = comma == std::string::npos ? rest.size() + 1 : comma + 1;
    } while (start <= rest.size());
    faults[static_cast<std::uint8_t>(address)] = f;
    return true;
}

bool parseOptions(int argc, char** argv, SimOptions& o, std::string& error)
{
    static const std::vector<option> longOptions = [] {
        std::vector<option> options;
        for (const OptionRule& rule : kOptionRules)
            options.push_back(rule.getopt);
        options.push_back({nullptr, 0, nullptr, 0});
        return options;
    }();
    optind = 0; // fresh scan, also for a second parse in one process
    opterr = 0;
    int c = 0;
    while ((c = getopt_long(argc, argv, kShortOptions, longOptions.data(), nullptr)) != -1) {
        const auto rule = std::find_if(std::begin(kOptionRules), std::end(kOptionRules),
                                       [c](const OptionRule& r) { return r.getopt.val == c; });
        if (rule == std::end(kOptionRules)) {
            error = std::string("unknown or incomplete option ") + (optind > 0 && optind <= argc ? argv[optind - 1] : "");
            return false;
        }
        if (!rule->apply(optarg ? optarg : "", o, error))
            return false;
    }
    if (optind < argc) {
        error = std::string("unexpected argument ") + argv[optind];
        return false;
    }
    if (o.addresses.empty())
        o.addresses.push_back(1);
    return checkServed(o, error);
}

std::string helpText()
{
    return R"(Usage: torv-sim [options]
Simulates a line of drying-chamber controllers on a pseudo-terminal. A link
(COM1 by default) to the pty appears in the chosen directory; the tester
opens it as its serial port. Stops on SIGINT or SIGTERM and removes the link.

Options:
  -a, --address N        serve a controller at address N (1..250); repeatable; default 1
  -l, --link NAME        name of the link to the pty (default COM1)
  -d, --dir DIR          directory of the link (default .)
  -b, --baud RATE        start speed of the controllers: 19200, 9600 or 4800 (default 9600)
      --no-baud-check    answer frames whatever speed the tester's port is set to
      --strict-timing    drop a partial frame after 3.5 character times of silence
                         (default: after 50 ms, kinder to a busy PC)
      --hour-seconds S   real seconds per programme hour (default 60)
      --trace            bus monitor on stdout: every frame in and out, hex, ms timestamps
      --trace-bytes      --trace, and each piece of a request as it is read ("rx"), in us
      --still            temperatures and programme clocks stand still (same values for every read)
      --fault ADDR:KIND  misbehaviour of controller ADDR; repeatable, or KIND,KIND...
                           silent          never answers
                           delay=MS        reply starts MS later
                           split=N/MS      reply in N pieces, MS between them
                           badcrc          reply CRC corrupted
                           wrongaddr       reply from another address
                           wrongfunc       reply with another function code
                           exception=CODE  every request answered with this exception
                           garbage=N       N random bytes before each reply
                           failfrom=N      silent from its N-th request on
      --random-faults P  probability per request of one random fault (soak tests)
      --seed N           seed of the random faults and garbage (default 1)
      --byte ADDR:B=V    controller ADDR starts with byte B holding V (0..255); repeatable
  -h, --help             this text

Line: functions 03 (read) and 06 (write) on a byte-addressed memory 0..255;
other functions get exception 01, reads past 255 exception 02, bad counts 03.
Frames with a bad CRC are ignored, broadcasts (address 0) act without reply.
A frame sent at another speed than the addressed controller's is ignored, as a
real line would garble it. A pty does not carry the parity setting, so parity
cannot be checked: the controllers take any parity.

Controller model: start memory address 97, baud code 98/99, set temperature
60, difference 8, calibrations 0.0, hystereses 1.0, a three-step programme
(4 h 50/5, 6 h 60/8, 8 h 70/12), 25.0 C dry and 20.0 C wet.
  register 96      low byte is the new address (1..250); the echo comes from the old one
  register 119     high byte 1 starts an idle programme, stops a running one
  byte 100 change  restart: baud code 98 (1..3) becomes 99 and the line speed;
                   parity writes to 100 are restart requests like any other
  programme        hours done (126) count on the accelerated clock, steps follow
                   their hours, 106/107 follow the running step, 104 = 0 at the end
  chamber          heating (bit 2), humidifying (bit 3), vent opening (bit 1) and
                   closing (bit 0) follow the set values and hystereses
  bytes 99, 104, 105, 126, 127 and 160..167 belong to the controller: writes leave them
)";
}

} // namespace torv::sim
