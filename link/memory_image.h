#pragma once
#include <array>
#include <cstdint>

namespace torv {

constexpr int kFirstByte = 96;   // first controller byte address mirrored
constexpr int kLastByte = 168;   // last controller byte address mirrored
constexpr int kRowBytes = kLastByte - kFirstByte + 1;  // 73
constexpr int kMaxAddress = 250; // slave addresses 1..250

// Per slave address, a mirror of the controller's bytes 96..168.
class MemoryImage {
public:
    static constexpr bool holds(int address, int byteAddress)
    {
        return address >= 1 && address <= kMaxAddress && byteAddress >= kFirstByte && byteAddress <= kLastByte;
    }
    // Byte `byteAddress` (96..168) of slave `address` (1..250).
    std::uint8_t& at(int address, int byteAddress) { return rows_.at(address).at(byteAddress - kFirstByte); }
    std::uint8_t at(int address, int byteAddress) const { return rows_.at(address).at(byteAddress - kFirstByte); }
    const std::array<std::uint8_t, kRowBytes>& row(int address) const { return rows_.at(address); }
    std::array<std::uint8_t, kRowBytes>& row(int address) { return rows_.at(address); }

private:
    // Index 0 is unused so a slave address indexes its own row.
    std::array<std::array<std::uint8_t, kRowBytes>, kMaxAddress + 1> rows_{};
};

} // namespace torv
