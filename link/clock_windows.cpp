#include "clock.h"

#include <algorithm>
#include <windows.h>

namespace torv {

namespace {

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

std::uint64_t CounterFrequency()
{
    LARGE_INTEGER f{};
    QueryPerformanceFrequency(&f);
    return static_cast<std::uint64_t>(f.QuadPart);
}

// One waitable timer per thread that sleeps. A high-resolution one ends within
// a fraction of a millisecond; where the system refuses that kind (older
// Windows, wine), a plain one with the system tick raised to 1 ms.
struct ThreadTimer {
    HANDLE handle = nullptr;
    bool highResolution = false;
    // How early a timer wait is cut, to leave room for its lateness: learnt
    // from the waits themselves (a timer that takes the flag and still
    // ticks by the millisecond, as under wine, is late by most of one).
    std::uint64_t lateUs = 0;

    ThreadTimer()
    {
        handle = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
        highResolution = handle != nullptr;
        if (!handle) {
            timeBeginPeriod(1);
            handle = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
        }
        lateUs = highResolution ? 300 : 1500;
    }
    ~ThreadTimer()
    {
        if (handle)
            CloseHandle(handle);
        if (!highResolution)
            timeEndPeriod(1);
    }
    ThreadTimer(const ThreadTimer&) = delete;
    ThreadTimer& operator=(const ThreadTimer&) = delete;

    std::uint64_t marginUs() const { return lateUs * 2 + 200; }

    // Sleeps about `us` microseconds; `nowUs` reads the clock, to learn how late it ended.
    template <typename Now>
    void sleepUs(std::uint64_t us, Now nowUs)
    {
        const std::uint64_t start = nowUs();
        if (!handle) {
            Sleep(static_cast<DWORD>(us / 1000));
        } else {
            LARGE_INTEGER due{};
            due.QuadPart = -static_cast<LONGLONG>(us * 10); // relative, in 100 ns
            if (SetWaitableTimer(handle, &due, 0, nullptr, nullptr, FALSE))
                WaitForSingleObject(handle, INFINITE);
        }
        const std::uint64_t took = nowUs() - start;
        const std::uint64_t late = took > us ? std::min<std::uint64_t>(took - us, 5000) : 0;
        lateUs = (lateUs * 7 + late) / 8;
    }
};

} // namespace

SteadyClock::SteadyClock() = default;

std::uint64_t SteadyClock::nowUs()
{
    static const std::uint64_t frequency = CounterFrequency();
    LARGE_INTEGER c{};
    QueryPerformanceCounter(&c);
    const auto ticks = static_cast<std::uint64_t>(c.QuadPart);
    // Split so the product cannot overflow in a long uptime.
    return ticks / frequency * 1000000u + ticks % frequency * 1000000u / frequency;
}

void SteadyClock::sleepUntilUs(std::uint64_t deadlineUs)
{
    // The per-byte pause of a request is 1..3 ms and must end close to its
    // deadline: the timer sleeps to just short of it, the counter is watched
    // for the rest.
    thread_local ThreadTimer timer;
    for (std::uint64_t now = nowUs(); now < deadlineUs; now = nowUs()) {
        const std::uint64_t left = deadlineUs - now;
        if (left > timer.marginUs())
            timer.sleepUs(left - timer.marginUs(), [this] { return nowUs(); });
        else
            SwitchToThread();
    }
}

} // namespace torv
