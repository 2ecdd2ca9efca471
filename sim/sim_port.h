#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>

#include "link/clock.h"
#include "link/port.h"
#include "sim/line.h"

namespace torv::sim {

// In-process port onto a Line, for tests on a virtual clock: every byte sent
// reaches the line at the clock's present time, and received bytes appear
// once the line has them due.
class SimPort final : public torv::Port {
public:
    SimPort(Line& line, torv::Clock& clock) : line_(line), clock_(clock) {}

    void transmit(std::uint8_t byte) override;
    std::size_t bytesWaiting() override;
    std::size_t read(std::uint8_t* buffer, std::size_t n) override;
    void close() override;

    bool closed() const { return closed_; }

private:
    void collect();

    Line& line_;
    torv::Clock& clock_;
    std::deque<std::uint8_t> received_;
    bool closed_ = false;
};

} // namespace torv::sim
