#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace torv::sim {

// Length of a request starting at `p` judged by its function code: 8 for
// 01..06 and unknown codes, 9 + N for 15/16 with byte count N; 0 while too
// few bytes are there to tell.
std::size_t requestLength(const std::uint8_t* p, std::size_t available);

// True when the last two bytes are the Modbus CRC of the others (low byte first).
bool crcMatches(const std::uint8_t* frame, std::size_t length);
// Appends the CRC, low byte first.
void appendCrc(std::vector<std::uint8_t>& frame);

struct FrameSpan {
    std::size_t offset;
    std::size_t length;
};
// The earliest complete frame with a good CRC in `buffer`. Frames are known by
// length and CRC only, never by arrival times, so garbage in front of a frame
// is skipped byte by byte and frames that arrived together are taken apart.
std::optional<FrameSpan> findFrame(const std::vector<std::uint8_t>& buffer);

// Modbus exception reply (without CRC).
std::vector<std::uint8_t> exceptionReply(std::uint8_t address, std::uint8_t function, std::uint8_t code);

namespace exception {
inline constexpr std::uint8_t IllegalFunction = 1;
inline constexpr std::uint8_t IllegalDataAddress = 2;
inline constexpr std::uint8_t IllegalDataValue = 3;
inline constexpr std::uint8_t DeviceFailure = 4;
} // namespace exception

} // namespace torv::sim
