#pragma once
#include <cstdint>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "sim/line.h"

namespace torv::testing {

// The requests a simulated line received, as short readable entries:
// "5:R96x1" reads one register at 96 from address 5, "5:W121=15,10" writes
// register 121 with high byte 15 and low byte 10. Safe to fill from a server
// thread.
class BusLog {
public:
    void attach(sim::Line& line)
    {
        line.setTrace([this](std::uint64_t nowUs, const std::string& text) { note(nowUs, text); });
    }
    std::vector<std::string> take()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<std::string> out;
        out.swap(requests_);
        takenAtUs.swap(times_);
        times_.clear();
        return out;
    }
    // The line's time at the last byte of each request the last take() returned.
    std::vector<std::uint64_t> takenAtUs;
    void clear() { take(); }

private:
    void note(std::uint64_t nowUs, const std::string& text)
    {
        if (text.rfind("in ", 0) != 0)
            return;
        std::istringstream in(text.substr(3));
        std::vector<unsigned> b;
        unsigned v = 0;
        while (in >> std::hex >> v)
            b.push_back(v);
        if (b.size() < 6)
            return;
        const unsigned reg = b[2] * 256 + b[3];
        std::string entry = std::to_string(b[0]) + ":";
        if (b[1] == 3)
            entry += "R" + std::to_string(reg) + "x" + std::to_string(b[4] * 256 + b[5]);
        else if (b[1] == 6)
            entry += "W" + std::to_string(reg) + "=" + std::to_string(b[4]) + "," + std::to_string(b[5]);
        else
            entry += "F" + std::to_string(b[1]);
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(entry);
        times_.push_back(nowUs);
    }

    std::mutex mutex_;
    std::vector<std::string> requests_;
    std::vector<std::uint64_t> times_;
};

// The nine reads of the block read of `address`, in their order.
inline std::vector<std::string> BlockRead(int address)
{
    std::vector<std::string> r;
    for (int start : {96, 104, 112, 120, 160, 128, 136, 144, 152})
        r.push_back(std::to_string(address) + ":R" + std::to_string(start) + "x8");
    return r;
}

inline std::vector<std::string> Joined(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace torv::testing
