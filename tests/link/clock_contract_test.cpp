// What every system's SteadyClock promises the bus: time never runs back, and
// a sleep never ends before its deadline. Only the lower bound is asserted: a
// loaded machine may always wake a sleeper late.
#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>

#include "link/clock.h"
#include "link/local_time.h"

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

namespace {
// Minutes since 1970 of a broken-down time read as UTC, by the civil calendar.
long long minutesOf(const std::tm& t)
{
    const long long y = t.tm_year + 1900 - (t.tm_mon < 2 ? 1 : 0);
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long mp = (t.tm_mon + 10) % 12; // March is 0
    const long long doy = (153 * mp + 2) / 5 + t.tm_mday - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const long long days = era * 146097 + doe - 719468;
    return days * 1440 + t.tm_hour * 60 + t.tm_min;
}
} // namespace

// The local clock's fields and its offset from UTC agree with each other and
// with the moment, in winter and in summer.
TEST(LocalTimeContract, FieldsLessTheOffsetAreTheMoment)
{
    for (const std::time_t t : {std::time_t{1700000000}, std::time_t{1719000000}, std::time_t{1735689599}}) {
        const torv::LocalClockTime local = torv::LocalClockTimeOf(t);
        EXPECT_EQ(minutesOf(local.fields) - local.utcOffsetMinutes, static_cast<long long>(t) / 60) << t;
        EXPECT_EQ(local.fields.tm_sec, static_cast<int>(t % 60)) << t;
        std::tm copy = local.fields;
        EXPECT_EQ(std::mktime(&copy), t) << t << ": the fields are the local clock's";
    }
}
