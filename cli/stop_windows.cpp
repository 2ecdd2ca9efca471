#include "cli/stop.h"

#include <windows.h>

namespace torv::cli {

const char kStopHow[] = "Ctrl+C, Ctrl+Break or the console closed";

namespace {

// Set by the console's handler, on its own thread; manual reset, so it stays set.
HANDLE stopEvent = nullptr;
// Set once the run has ended, so a closing console lets it finish first.
HANDLE endedEvent = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT: SetEvent(stopEvent); return TRUE;
    case CTRL_CLOSE_EVENT:
        // The process ends when this returns: give the run its last line first
        // (the system allows about five seconds).
        SetEvent(stopEvent);
        WaitForSingleObject(endedEvent, 4000);
        return TRUE;
    default: return FALSE;
    }
}

} // namespace

StopSignals::StopSignals()
{
    if (!stopEvent) {
        stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        endedEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    ResetEvent(endedEvent);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

StopSignals::~StopSignals()
{
    SetEvent(endedEvent);
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
}

bool StopSignals::requested()
{
    if (!stop_)
        stop_ = WaitForSingleObject(stopEvent, 0) == WAIT_OBJECT_0;
    return stop_;
}

void StopSignals::wait(std::uint64_t us)
{
    // Rounded up: the caller waits again for whatever is left.
    const auto ms = static_cast<DWORD>((us + 999) / 1000);
    if (!stop_ && WaitForSingleObject(stopEvent, ms) == WAIT_OBJECT_0)
        stop_ = true;
}

} // namespace torv::cli
