// What every system's serial port shares; the port itself is in
// serial_port_posix.cpp and serial_port_windows.cpp.
#include "serial_port.h"

namespace torv {

LineSettings LineSettingsOf(std::uint8_t baudIndex, std::uint8_t parityIndex)
{
    LineSettings line;
    line.baud = baudIndex == 1 ? 9600 : baudIndex == 2 ? 4800 : 19200;
    line.parity = parityIndex == 0 ? Parity::None : parityIndex == 1 ? Parity::Even : Parity::Odd;
    return line;
}

} // namespace torv
