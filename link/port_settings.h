#pragma once
#include <cstdint>

namespace torv {

// The four values remembered in the settings file. The loader refuses a file
// whose module address is not 1..250; the other bytes are not range-checked:
// a file may hold any value and the port code maps unknown ones to defaults.
struct PortSettings {
    std::uint8_t ComIndex = 0;
    std::uint8_t BaudIndex = 1;
    std::uint8_t ParityIndex = 0;
    std::uint8_t ModuleAddress = 1;
};

} // namespace torv
