#pragma once
#include <array>
#include <cstdint>

namespace torv {

constexpr int kFirstByte = 96;   // first controller byte address mirrored
constexpr int kLastByte = 168;   // last controller byte address mirrored
constexpr int kRowBytes = kLastByte - kFirstByte + 1;  // 73
constexpr int kMaxAddress = 250; // slave addresses 1..250

inline constexpr bool IsSlaveAddress(int address) { return address >= 1 && address <= kMaxAddress; }

// Per slave address, a mirror of the controller's bytes 96..168.
class MemoryImage {
public:
    static constexpr bool holds(int address, int byteAddress)
    {
        return IsSlaveAddress(address) && byteAddress >= kFirstByte && byteAddress <= kLastByte;
    }
    // Byte `byteAddress` (96..168) of slave `address` (1..250). An address
    // outside 1..250 gets a spare row that no transaction fills or sends:
    // a bad address must never end the program in the middle of a handler.
    std::uint8_t& at(int address, int byteAddress) { return row(address).at(byteAddress - kFirstByte); }
    std::uint8_t at(int address, int byteAddress) const { return row(address).at(byteAddress - kFirstByte); }
    const std::array<std::uint8_t, kRowBytes>& row(int address) const { return rows_[index(address)]; }
    std::array<std::uint8_t, kRowBytes>& row(int address) { return rows_[index(address)]; }

private:
    static constexpr std::size_t index(int address)
    {
        return IsSlaveAddress(address) ? static_cast<std::size_t>(address) : 0;
    }
    // Index 0 is the spare row, so a slave address indexes its own row.
    std::array<std::array<std::uint8_t, kRowBytes>, kMaxAddress + 1> rows_{};
};

} // namespace torv
