#include "sim/frame.h"

#include "link/crc16.h"

namespace torv::sim {

std::size_t requestLength(const std::uint8_t* p, std::size_t available)
{
    if (available < 2)
        return 0;
    const std::uint8_t function = p[1];
    if (function == 15 || function == 16)
        return available < 7 ? 0 : 9u + p[6];
    return 8;
}

bool crcMatches(const std::uint8_t* frame, std::size_t length)
{
    if (length < 3)
        return false;
    const std::uint16_t crc = crc16(frame, length - 2);
    return frame[length - 2] == (crc & 0xFF) && frame[length - 1] == (crc >> 8);
}

void appendCrc(std::vector<std::uint8_t>& frame)
{
    const std::uint16_t crc = crc16(frame.data(), frame.size());
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
}

std::optional<FrameSpan> findFrame(const std::vector<std::uint8_t>& buffer)
{
    for (std::size_t i = 0; i + 1 < buffer.size(); ++i) {
        const std::size_t available = buffer.size() - i;
        const std::size_t length = requestLength(buffer.data() + i, available);
        if (length != 0 && length <= available && crcMatches(buffer.data() + i, length))
            return FrameSpan{i, length};
    }
    return std::nullopt;
}

std::vector<std::uint8_t> exceptionReply(std::uint8_t address, std::uint8_t function, std::uint8_t code)
{
    return {address, static_cast<std::uint8_t>(function | 0x80), code};
}

} // namespace torv::sim
