#include "clock.h"

#include <cerrno>
#include <ctime>
#include <sys/prctl.h>

namespace torv {

SteadyClock::SteadyClock()
{
    // The default 50 us timer slack adds up over the per-byte pauses of a
    // frame; the bus timing wants sleeps that end when asked.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
}

std::uint64_t SteadyClock::nowUs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000000u + static_cast<std::uint64_t>(ts.tv_nsec) / 1000u;
}

void SteadyClock::sleepUntilUs(std::uint64_t deadlineUs)
{
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(deadlineUs / 1000000u);
    ts.tv_nsec = static_cast<long>((deadlineUs % 1000000u) * 1000u);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}

} // namespace torv
