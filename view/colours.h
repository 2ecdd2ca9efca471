#pragma once
#include <cstdint>

namespace torv::colours {

// Platform colour integers, blue in the high byte and red in the low (0xBBGGRR).
inline constexpr int kRed = 0x0000FF;
inline constexpr int kMaroon = 0x000080;
inline constexpr int kGreen = 0x008000;
inline constexpr int kNavy = 0x800000;
inline constexpr int kBlue = 0xFF0000;
inline constexpr int kPurple = 0x800080;
inline constexpr int kPaleGreen = 0xC0DCC0;

} // namespace torv::colours
