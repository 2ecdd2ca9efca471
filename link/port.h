#pragma once
#include <cstddef>
#include <cstdint>

namespace torv {

// An open serial line as the transactions see it.
class Port {
public:
    virtual ~Port() = default;
    // Sends one byte at once; a failure is not reported (the reply check catches it).
    virtual void transmit(std::uint8_t byte) = 0;
    // Clears the line's error state and tells how many received bytes wait.
    // A port that has failed (adapter unplugged) reports 0.
    virtual std::size_t bytesWaiting() = 0;
    // Reads up to n waiting bytes without blocking; returns how many were read.
    virtual std::size_t read(std::uint8_t* buffer, std::size_t n) = 0;
    virtual void close() = 0;
    // True when the line was set without the parity asked for (a device that carries none).
    virtual bool parityLeftOff() const { return false; }
};

} // namespace torv
