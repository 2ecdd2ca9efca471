#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "link/clock.h"
#include "link/port.h"

namespace torv::testing {

// A port on a virtual clock: records what is sent (with the time) and hands
// out bytes scheduled to arrive at given times.
class ScriptedPort final : public Port {
public:
    struct Sent {
        std::uint8_t byte;
        std::uint64_t atUs;
    };
    struct Arrival {
        std::uint64_t atUs;
        std::vector<std::uint8_t> bytes;
    };

    explicit ScriptedPort(VirtualClock& clock) : clock_(clock) {}

    // Called with each complete 8-byte request; it may schedule a reply.
    std::function<void(const std::vector<std::uint8_t>& request, ScriptedPort& port)> onRequest;

    void arrive(std::uint64_t atUs, std::vector<std::uint8_t> bytes) { pending_.push_back({atUs, std::move(bytes)}); }
    void arriveIn(std::uint64_t delayUs, std::vector<std::uint8_t> bytes) { arrive(clock_.nowUs() + delayUs, std::move(bytes)); }

    void transmit(std::uint8_t byte) override
    {
        sent.push_back({byte, clock_.nowUs()});
        frame_.push_back(byte);
        if (frame_.size() == 8) {
            auto request = frame_;
            frame_.clear();
            if (onRequest)
                onRequest(request, *this);
        }
    }
    std::size_t bytesWaiting() override
    {
        ++polls;
        deliver();
        return queue_.size();
    }
    std::size_t read(std::uint8_t* buffer, std::size_t n) override
    {
        deliver();
        std::size_t got = 0;
        while (got < n && !queue_.empty()) {
            buffer[got++] = queue_.front();
            queue_.pop_front();
        }
        return got;
    }
    void close() override { closed = true; }

    std::vector<std::uint8_t> sentBytes() const
    {
        std::vector<std::uint8_t> out;
        for (const auto& s : sent)
            out.push_back(s.byte);
        return out;
    }
    std::size_t queued() const { return queue_.size(); }

    std::vector<Sent> sent;
    int polls = 0;
    bool closed = false;

private:
    void deliver()
    {
        for (auto it = pending_.begin(); it != pending_.end();) {
            if (it->atUs <= clock_.nowUs()) {
                queue_.insert(queue_.end(), it->bytes.begin(), it->bytes.end());
                it = pending_.erase(it);
            } else {
                ++it;
            }
        }
    }

    VirtualClock& clock_;
    std::vector<std::uint8_t> frame_;
    std::vector<Arrival> pending_;
    std::deque<std::uint8_t> queue_;
};

// Appends the Modbus CRC, low byte first.
std::vector<std::uint8_t> withCrc(std::vector<std::uint8_t> frame);

} // namespace torv::testing
