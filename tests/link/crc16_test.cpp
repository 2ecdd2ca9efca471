#include <gtest/gtest.h>

#include <vector>

#include "link/crc16.h"

namespace {

struct CrcCase {
    std::vector<std::uint8_t> frame;
    std::uint8_t low, high;
};

// Known-good request frames from Modbus practice; CRC low byte first on the wire.
TEST(Crc16, MatchesKnownModbusFrames)
{
    const std::vector<CrcCase> cases = {
        {{0x01, 0x03, 0x00, 0x00, 0x00, 0x0A}, 0xC5, 0xCD},
        {{0x11, 0x03, 0x00, 0x6B, 0x00, 0x03}, 0x76, 0x87},
        {{0x01, 0x06, 0x00, 0x01, 0x00, 0x03}, 0x98, 0x0B},
        {{0x01, 0x03, 0x00, 0x60, 0x00, 0x08}, 0x44, 0x12},
    };
    for (const auto& c : cases) {
        const std::uint16_t crc = torv::crc16(c.frame.data(), c.frame.size());
        EXPECT_EQ(crc & 0xFF, c.low);
        EXPECT_EQ(crc >> 8, c.high);
    }
}

TEST(Crc16, FrameWithItsCrcChecksToZero)
{
    std::vector<std::uint8_t> f = {0x07, 0x03, 0x10, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    const std::uint16_t crc = torv::crc16(f.data(), f.size());
    f.push_back(crc & 0xFF);
    f.push_back(crc >> 8);
    EXPECT_EQ(torv::crc16(f.data(), f.size()), 0);
    EXPECT_EQ(torv::crc16(nullptr, 0), 0xFFFF);
}

} // namespace
