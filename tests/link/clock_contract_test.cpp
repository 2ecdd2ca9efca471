// What every system's SteadyClock promises the bus: time never runs back, and
// a sleep never ends before its deadline. Only the lower bound is asserted: a
// loaded machine may always wake a sleeper late.
#include <gtest/gtest.h>

#include <cstdint>

#include "link/clock.h"

// Over more than a second, so the counter's whole seconds roll over at least once.
TEST(ClockContract, NeverRunsBack)
{
    torv::SteadyClock clock;
    const std::uint64_t start = clock.nowUs();
    std::uint64_t last = start;
    for (int i = 0; last - start < 1100000; ++i) {
        const std::uint64_t now = clock.nowUs();
        ASSERT_GE(now, last) << "read " << i;
        last = now;
        if (i % 100 == 99)
            clock.sleepUntilUs(now + 1000);
    }
}

// The request's per-byte pause is 1..3 ms; the reply waits and the pauses
// between transactions are longer.
TEST(ClockContract, SleepsUntilTheDeadlineAtLeast)
{
    torv::SteadyClock clock;
    const std::uint64_t rowsUs[] = {0, 100, 500, 1000, 2000, 3000, 10000, 50000};
    for (const std::uint64_t us : rowsUs) {
        for (int i = 0; i < 5; ++i) {
            const std::uint64_t deadline = clock.nowUs() + us;
            clock.sleepUntilUs(deadline);
            EXPECT_GE(clock.nowUs(), deadline) << us << " us";
        }
    }
}

TEST(ClockContract, DelayAndIdleWaitTheirMilliseconds)
{
    torv::SteadyClock clock;
    for (const unsigned ms : {1u, 2u, 3u, 20u}) {
        std::uint64_t start = clock.nowUs();
        torv::DelayMs(clock, ms);
        EXPECT_GE(clock.nowUs() - start, ms * 1000u) << "DelayMs " << ms;
        start = clock.nowUs();
        torv::IdleMs(clock, ms);
        EXPECT_GE(clock.nowUs() - start, ms * 1000u) << "IdleMs " << ms;
    }
}
