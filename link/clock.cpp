// The waits every clock shares; SteadyClock is in clock_posix.cpp and
// clock_windows.cpp.
#include "clock.h"

namespace torv {

void DelayMs(Clock& clock, unsigned ms)
{
    const std::uint64_t deadline = clock.nowUs() + static_cast<std::uint64_t>(ms) * 1000u;
    while (clock.nowUs() < deadline)
        clock.sleepUntilUs(deadline);
}

void IdleMs(Clock& clock, unsigned ms)
{
    const std::uint64_t deadline = clock.nowUs() + static_cast<std::uint64_t>(ms) * 1000u;
    while (clock.nowUs() < deadline)
        clock.idleUntilUs(deadline);
}

} // namespace torv
