#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

#include "link/port_settings.h"

namespace torv {

// The settings file holds exactly one 8-byte record: port, baud, module
// address, parity (address before parity), two reserved zero bytes and the
// 16-bit sum of bytes 0..5, low byte first.
inline constexpr std::size_t kSettingsRecordSize = 8;
using SettingsRecord = std::array<std::uint8_t, kSettingsRecordSize>;

SettingsRecord EncodeSettingsRecord(const PortSettings& s);

// Takes the values from `data` into `s` when the record is complete, its
// checksum holds and the module address is 1..250; otherwise returns false
// and leaves `s` alone. The other values are taken as they are. Bytes past
// the record are ignored; a short record counts as damaged.
bool DecodeSettingsRecord(const std::uint8_t* data, std::size_t length, PortSettings& s);

} // namespace torv
