#pragma once
#include <cstdint>

namespace torv::cli {

// SIGINT and SIGTERM held back from the moment this is made, so they can end
// a long run only between transactions: checked there, and waited for in
// the pause between rounds, which sleeps without waking. Make it before any
// thread is started: threads inherit the signals held back. On Windows the
// same holds for Ctrl+C, Ctrl+Break and the console window being closed
// (which waits a few seconds for the run to end). One file per system.
// What ends a run here, as the help says it.
extern const char kStopHow[];

class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;
    // True once either has come.
    bool requested();
    // Sleeps `us` microseconds or until a signal, which may come earlier.
    void wait(std::uint64_t us);

private:
    bool stop_ = false;
};

} // namespace torv::cli
