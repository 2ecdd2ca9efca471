#pragma once
// Hand-built Modbus frames for the simulator tests.
#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

#include "link/crc16.h"
#include "sim/line.h"

namespace torv::sim::testing {

using Bytes = std::vector<std::uint8_t>;

inline Bytes withCrc(Bytes frame)
{
    const std::uint16_t crc = torv::crc16(frame.data(), frame.size());
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    return frame;
}

inline Bytes readRequest(std::uint8_t address, unsigned start, unsigned count)
{
    return withCrc({address, 3, static_cast<std::uint8_t>(start >> 8), static_cast<std::uint8_t>(start),
                    static_cast<std::uint8_t>(count >> 8), static_cast<std::uint8_t>(count)});
}

inline Bytes writeRequest(std::uint8_t address, unsigned reg, std::uint8_t high, std::uint8_t low)
{
    return withCrc({address, 6, static_cast<std::uint8_t>(reg >> 8), static_cast<std::uint8_t>(reg), high, low});
}

inline Bytes concat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Long enough for any reply, delays and splits of the tests included.
inline constexpr std::uint64_t kLongAfterUs = 30'000'000;

// A line driven on its own time, which only moves forward.
struct Bench {
    Line line;
    std::uint64_t nowUs = 1'000'000;

    // Sends `request` in one piece and collects everything the line answers.
    // The model has already been moved to the sending time, so memory read
    // right before the call is what the controller answers from.
    Bytes exchange(const Bytes& request)
    {
        line.receive(request.data(), request.size(), nowUs);
        nowUs += kLongAfterUs;
        return line.takeDue(nowUs);
    }
    void send(const Bytes& bytes, std::uint64_t afterUs = 0)
    {
        nowUs += afterUs;
        line.receive(bytes.data(), bytes.size(), nowUs);
    }
    Bytes collect()
    {
        nowUs += kLongAfterUs;
        return line.takeDue(nowUs);
    }
};

// Test name from a case's description: "bad CRC, 2 ms" -> "bad_CRC_2_ms".
inline std::string caseName(const char* text)
{
    std::string name;
    for (const char* p = text; *p; ++p) {
        if (std::isalnum(static_cast<unsigned char>(*p)))
            name += *p;
        else if (!name.empty() && name.back() != '_')
            name += '_';
    }
    while (!name.empty() && name.back() == '_')
        name.pop_back();
    return name;
}

// Names the instances of a parameterised test after their `name` field.
struct NamedCase {
    template <class Info>
    std::string operator()(const Info& info) const { return caseName(info.param.name); }
};

} // namespace torv::sim::testing
