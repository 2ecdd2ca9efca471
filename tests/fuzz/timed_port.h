#pragma once
#include <cstdint>
#include <deque>
#include <vector>

#include "link/clock.h"
#include "link/port.h"

namespace torv::fuzz {

// A port on the virtual clock that hands out bytes scheduled to arrive at given
// times and remembers, for every byte the link reads, when it arrived and
// whether the request had been sent in full by then.
class TimedPort final : public Port {
public:
    struct ReadByte {
        std::uint8_t value;
        std::uint64_t arrivedUs;
    };

    explicit TimedPort(VirtualClock& clock) : clock_(clock) {}

    void arrive(std::uint64_t atUs, const std::uint8_t* bytes, std::size_t n)
    {
        pending_.push_back({atUs, std::vector<std::uint8_t>(bytes, bytes + n)});
    }

    // Starts the log of one transaction.
    void beginTransaction()
    {
        sent.clear();
        sentAtUs.clear();
        afterRequest.clear();
    }

    void transmit(std::uint8_t byte) override
    {
        sent.push_back(byte);
        sentAtUs.push_back(clock_.nowUs());
    }
    std::size_t bytesWaiting() override
    {
        deliver();
        return queue_.size();
    }
    std::size_t read(std::uint8_t* buffer, std::size_t n) override
    {
        deliver();
        std::size_t got = 0;
        while (got < n && !queue_.empty()) {
            const ReadByte b = queue_.front();
            queue_.pop_front();
            buffer[got++] = b.value;
            if (sent.size() >= 8)
                afterRequest.push_back(b);
        }
        return got;
    }
    void close() override {}

    // This transaction's bytes sent, with their times.
    std::vector<std::uint8_t> sent;
    std::vector<std::uint64_t> sentAtUs;
    // Bytes the link read once the whole 8-byte request was on the line.
    std::vector<ReadByte> afterRequest;

private:
    struct Arrival {
        std::uint64_t atUs;
        std::vector<std::uint8_t> bytes;
    };

    // Due arrivals join the queue in time order (ties in scheduling order).
    void deliver()
    {
        for (;;) {
            auto due = pending_.end();
            for (auto it = pending_.begin(); it != pending_.end(); ++it)
                if (it->atUs <= clock_.nowUs() && (due == pending_.end() || it->atUs < due->atUs))
                    due = it;
            if (due == pending_.end())
                return;
            for (std::uint8_t v : due->bytes)
                queue_.push_back({v, due->atUs});
            pending_.erase(due);
        }
    }

    VirtualClock& clock_;
    std::vector<Arrival> pending_;
    std::deque<ReadByte> queue_;
};

} // namespace torv::fuzz
