#include "com_device.h"

namespace torv {

// The system names its ports itself; SerialPort opens "COMn" as "\\.\COMn".
std::string ResolveComDevice(std::uint8_t comIndex, const std::string&, const std::string&)
{
    return ComPortName(comIndex);
}

} // namespace torv
