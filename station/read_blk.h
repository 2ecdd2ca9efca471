#pragma once
#include <array>
#include <cstdint>

#include "link/modbus_link.h"

namespace torv {

// The block read: 8 registers at each start, in this order. The measurement
// words come fifth, before the programme table.
inline constexpr std::array<std::uint8_t, 9> kBlockReadStarts{96, 104, 112, 120, 160, 128, 136, 144, 152};
inline constexpr std::uint8_t kBlockReadRegisters = 8;
inline constexpr unsigned kBlockReadPauseMs = 5;

// Reads the whole memory window 96..168 of `ActiveAddress` into the image.
// Stops sending at the first failed read but still lets the pauses elapse;
// true when every read was answered.
bool Read_Blk(ModbusLink& link, std::uint8_t ActiveAddress);

} // namespace torv
