#pragma once
#include <cstdint>
#include <string>

namespace torv {

// "COM" + (index + 1): COM1 for index 0, COM13 for index 12, up to COM256.
std::string ComPortName(std::uint8_t comIndex);

// The device a port name stands for on this machine. On Windows the port's
// own name "COMn" (`dir` and `devDir` unused). Elsewhere the first match wins:
//  1. an entry named COMn in `dir`: a symlink to any tty (the simulator's pty,
//     a USB adapter), or a regular file whose first line is a network line's
//     URL (tcp://HOST:PORT, rfc2217://HOST:PORT), which is then the device;
//  2. <devDir>/ttyUSB(n-1) when it exists;
//  3. <devDir>/ttyS(n-1).
std::string ResolveComDevice(std::uint8_t comIndex, const std::string& dir = ".", const std::string& devDir = "/dev");

} // namespace torv
