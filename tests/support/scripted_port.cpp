#include "scripted_port.h"

#include "link/crc16.h"

namespace torv::testing {

std::vector<std::uint8_t> withCrc(std::vector<std::uint8_t> frame)
{
    const std::uint16_t crc = crc16(frame.data(), frame.size());
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    return frame;
}

} // namespace torv::testing
