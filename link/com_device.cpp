// What every system shares of the port names; ResolveComDevice is in
// com_device_posix.cpp and com_device_windows.cpp.
#include "com_device.h"

namespace torv {

std::string ComPortName(std::uint8_t comIndex) { return "COM" + std::to_string(comIndex + 1); }

} // namespace torv
