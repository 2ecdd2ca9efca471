#pragma once
#include <cstdint>

namespace torv::cli {

// SIGINT and SIGTERM held back from the moment this is made, so they can end
// a long run only between transactions: checked there, and waited for in
// the pause between rounds, which sleeps without waking. Make it before any
// thread is started: threads inherit the signals held back.
class StopSignals {
public:
    StopSignals();
    // True once either has come.
    bool requested();
    // Sleeps `us` microseconds or until a signal, which may come earlier.
    void wait(std::uint64_t us);

private:
    bool stop_ = false;
};

} // namespace torv::cli
