#include "sim/sim_port.h"

namespace torv::sim {

void SimPort::transmit(std::uint8_t byte)
{
    if (!closed_)
        line_.receive(&byte, 1, clock_.nowUs());
}

void SimPort::collect()
{
    const auto due = line_.takeDue(clock_.nowUs());
    received_.insert(received_.end(), due.begin(), due.end());
}

std::size_t SimPort::bytesWaiting()
{
    if (closed_)
        return 0;
    collect();
    return received_.size();
}

std::size_t SimPort::read(std::uint8_t* buffer, std::size_t n)
{
    if (closed_)
        return 0;
    collect();
    std::size_t i = 0;
    for (; i < n && !received_.empty(); ++i) {
        buffer[i] = received_.front();
        received_.pop_front();
    }
    return i;
}

void SimPort::close()
{
    closed_ = true;
    received_.clear();
}

} // namespace torv::sim
