#include "clock.h"

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
    std::uint64_t marginUs = 0; // how early a wait is cut to leave room for its lateness

    ThreadTimer()
    {
        handle = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
        highResolution = handle != nullptr;
        if (!handle) {
            timeBeginPeriod(1);
            handle = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
        }
        marginUs = highResolution ? 500 : 2000;
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

    // Sleeps about `us` microseconds, never much longer than the margin allows.
    void sleepUs(std::uint64_t us)
    {
        if (!handle) {
            Sleep(static_cast<DWORD>(us / 1000));
            return;
        }
        LARGE_INTEGER due{};
        due.QuadPart = -static_cast<LONGLONG>(us * 10); // relative, in 100 ns
        if (SetWaitableTimer(handle, &due, 0, nullptr, nullptr, FALSE))
            WaitForSingleObject(handle, INFINITE);
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
        if (left > timer.marginUs)
            timer.sleepUs(left - timer.marginUs);
        else
            SwitchToThread();
    }
}

} // namespace torv
