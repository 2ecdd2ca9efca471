#include "cli/stop.h"

#include <csignal>
#include <ctime>

namespace torv::cli {

const char kStopHow[] = "SIGINT or SIGTERM";

namespace {
sigset_t StopSet()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}
} // namespace

StopSignals::StopSignals()
{
    const sigset_t set = StopSet();
    sigprocmask(SIG_BLOCK, &set, nullptr);
}

// The signals stay held: one that comes after the run ends it no differently.
StopSignals::~StopSignals() = default;

bool StopSignals::requested()
{
    if (!stop_) {
        const sigset_t set = StopSet();
        const timespec now{0, 0};
        stop_ = sigtimedwait(&set, nullptr, &now) > 0;
    }
    return stop_;
}

void StopSignals::wait(std::uint64_t us)
{
    const sigset_t set = StopSet();
    const timespec wait{static_cast<time_t>(us / 1000000u), static_cast<long>(us % 1000000u) * 1000};
    if (!stop_ && sigtimedwait(&set, nullptr, &wait) > 0)
        stop_ = true;
}

} // namespace torv::cli
