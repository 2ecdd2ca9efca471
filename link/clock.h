#pragma once
#include <cstdint>

namespace torv {

// Monotonic time source of the bus. Waits sleep to a deadline instead of
// spinning, so a silent controller costs no CPU; tests swap in VirtualClock.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::uint64_t nowUs() = 0;
    virtual void sleepUntilUs(std::uint64_t deadlineUs) = 0;
    // A wait the caller could spend on other work (a reply poll, a pause
    // between transactions), unlike the pause behind each request byte,
    // whose length the frame depends on. It still ends at the deadline or
    // as soon after it as the other work allows.
    virtual void idleUntilUs(std::uint64_t deadlineUs) { sleepUntilUs(deadlineUs); }
};

// The system's monotonic clock with sleeps to a deadline that never end
// before it: CLOCK_MONOTONIC and absolute-deadline sleeps on POSIX, the
// performance counter and a high-resolution waitable timer on Windows.
class SteadyClock final : public Clock {
public:
    SteadyClock();
    std::uint64_t nowUs() override;
    void sleepUntilUs(std::uint64_t deadlineUs) override;
};

// Time that moves only when somebody sleeps or advances it by hand.
class VirtualClock final : public Clock {
public:
    std::uint64_t nowUs() override { return now_; }
    void sleepUntilUs(std::uint64_t deadlineUs) override
    {
        if (deadlineUs > now_)
            now_ = deadlineUs;
    }
    void advanceUs(std::uint64_t us) { now_ += us; }
    std::uint64_t nowMs() const { return now_ / 1000; }

private:
    std::uint64_t now_ = 0;
};

// Blocks until at least `ms` milliseconds have passed on `clock`.
void DelayMs(Clock& clock, unsigned ms);
// The same wait as an idle one (Clock::idleUntilUs).
void IdleMs(Clock& clock, unsigned ms);

} // namespace torv
