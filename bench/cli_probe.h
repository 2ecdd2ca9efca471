#pragma once
// What bench_cli reads of a torv-cli it started: its CPU time and wake-ups
// from /proc, the simulator's trace, the drying log's lines.
#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "launch.h"

namespace torv::bench {

inline std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// utime + stime in seconds, of all the process's threads.
inline double CpuSeconds(pid_t pid)
{
    const std::string stat = ReadAll("/proc/" + std::to_string(pid) + "/stat");
    const auto close = stat.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(stat.substr(close + 2));
    std::string f;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> f; ++i) {
        if (i == 14)
            utime = std::stoull(f);
        if (i == 15)
            stime = std::stoull(f);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The main thread's wake-ups (voluntary context switches).
inline long Wakeups(pid_t pid) { return StatusKb(pid, "voluntary_ctxt_switches"); }

// The wake-ups of every thread the process has now: /proc/PID/status counts
// only its main thread's.
inline long ThreadWakeups(pid_t pid)
{
    long n = 0;
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::ifstream in(task.path() / "status");
        std::string line;
        while (std::getline(in, line))
            if (line.starts_with("voluntary_ctxt_switches:"))
                n += std::strtol(line.c_str() + 24, nullptr, 10);
    }
    return n;
}

// Trace times (ms) of the requests whose line holds `needle`, from byte `from` of the trace on.
inline std::vector<double> RequestTimes(const std::string& trace, const std::string& needle, std::size_t from = 0)
{
    std::vector<double> times;
    for (auto at = trace.find(needle, from); at != std::string::npos; at = trace.find(needle, at + 1)) {
        const auto lineStart = trace.rfind('\n', at);
        times.push_back(std::atof(trace.c_str() + (lineStart == std::string::npos ? 0 : lineStart + 1)));
    }
    return times;
}

// Lines of the log files in `dir` whose names start with `prefix`.
inline std::size_t FileLines(const std::string& dir, const std::string& prefix)
{
    std::size_t n = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(dir, error))
        if (entry.path().filename().string().starts_with(prefix)) {
            const std::string text = ReadAll(entry.path().string());
            n += static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
        }
    return n;
}

inline void SleepMs(int ms) { usleep(static_cast<useconds_t>(ms) * 1000); }

inline double SecondsSince(std::uint64_t ns) { return static_cast<double>(MonotonicNs() - ns) / 1e9; }

// Chamber 1's first scan request: where a round starts.
inline constexpr const char* kRoundStart = "in  01 03 00 68 00 04";

inline int Stop(pid_t pid)
{
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The `serve` part of bench_cli (bench_cli_serve.cpp).
int BenchServe(bool quick, int memoryRounds, int publishScans);

} // namespace torv::bench
