#include "frame_text.h"

#include <cstdio>

namespace torv {

std::string HexBytes(const std::uint8_t* data, std::size_t n)
{
    std::string s;
    s.reserve(n * 3);
    char b[4];
    for (std::size_t i = 0; i < n; ++i) {
        std::snprintf(b, sizeof b, i ? " %02X" : "%02X", data[i]);
        s += b;
    }
    return s;
}

} // namespace torv
