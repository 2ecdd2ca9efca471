#pragma once
#include <cstddef>
#include <cstdint>

namespace torv {

// Modbus CRC-16 (init 0xFFFF, reflected polynomial 0xA001, no final XOR).
// On the wire the low byte goes first.
std::uint16_t crc16(const std::uint8_t* data, std::size_t length);

} // namespace torv
