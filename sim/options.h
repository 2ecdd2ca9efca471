#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "sim/faults.h"

namespace torv::sim {

// What torv-sim was asked to do.
struct SimOptions {
    std::vector<std::uint8_t> addresses;       // default {1}
    std::string link = "COM1";
    std::string dir = ".";
    std::uint8_t baudCode = 2;                 // 9600, the tester's default
    bool baudCheck = true;
    bool strictTiming = false;
    double hourSeconds = 60.0;
    bool trace = false;
    bool traceBytes = false;
    bool still = false;
    std::map<std::uint8_t, Faults> faults;
    // Start memory set by --byte: address -> (byte, value), in the order given.
    std::vector<std::pair<std::uint8_t, std::pair<std::uint8_t, std::uint8_t>>> bytes;
    double randomFaults = 0.0;
    std::uint32_t seed = 1;
    bool help = false;
};

// Parses the command line; false with `error` set on a bad option.
bool parseOptions(int argc, char** argv, SimOptions& options, std::string& error);
// One --fault value, "ADDR:kind[=value][,kind[=value]...]", added to `faults`.
bool parseFault(const std::string& text, std::map<std::uint8_t, Faults>& faults, std::string& error);
std::string helpText();

} // namespace torv::sim
