#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace torv {

// Frame bytes as the traces write them: "01 03 00 68 00 04 C5 D7".
std::string HexBytes(const std::uint8_t* data, std::size_t n);

} // namespace torv
