#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

#include "link/clock.h"
#include "link/modbus_link.h"
#include "support/recording_notifier.h"

namespace torv::testing {
class ChildProcess;
}

namespace torv::bench {

// Nanoseconds on the system-wide monotonic clock, comparable between processes.
std::uint64_t MonotonicNs();

// The running program's own path, to start it again as a child.
std::string SelfPath();

// Starts a program in `dir` with its standard output and error on `outFd`.
// QT_QPA_PLATFORM defaults to offscreen when the caller has not chosen one,
// so a benchmark runs the same with or without a display.
pid_t Launch(const std::vector<std::string>& argv, const std::string& dir, int outFd);

// A "VmXXX:   1234 kB" line of /proc/PID/status in kB (PID 0: this process), or -1.
long StatusKb(pid_t pid, const char* field);

// torv-sim with `arguments` and its COM1 link in `dir`, its output in
// `outputFile` (dir/sim.log when empty), once it says it is ready; nullptr,
// with what it printed on stderr, when it does not start.
std::unique_ptr<testing::ChildProcess> StartSimulator(const std::string& dir, std::vector<std::string> arguments,
                                                      std::string outputFile = {});

// A link on the real clock to the COM1 link torv-sim made in a directory.
struct SimulatorLink {
    PortSettings settings;
    SteadyClock clock;
    testing::RecordingNotifier notifier;
    ModbusLink link{settings, clock};
    // Opens `dir`/COM1 at the speed of `baudIndex`; false, said on stderr, when it cannot.
    bool open(const std::string& dir, std::uint8_t baudIndex);
};

// Writes the settings file the tool reads at start-up: COM1, 9600 baud, no
// parity, module address 1.
bool WriteSettings(const std::string& dir);

} // namespace torv::bench
