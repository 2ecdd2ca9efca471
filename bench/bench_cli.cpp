// torv-cli's log of three chambers against torv-sim (9600 b/s) on a pseudo-terminal:
//  1. `log 1 2 3 --every 10` for 60 s: the process's CPU time (utime + stime
//     of /proc/PID/stat) and wake-ups (voluntary context switches) in each
//     wait between rounds, from the moment the last chamber's line is in the
//     log to the next round's first request on the line;
//  2. the window's measurement scan: the console's timer tick on the same
//     line, with its line in the drying log, in this process, ten times;
//  3. `log 1 2 3 --every 1 --count R`: rounds back to back, so R rounds stand
//     for R rounds of a day (8 640 at 10 s); a round's time from the
//     simulator's trace (one round's first request to the next round's),
//     against three window scans, and the resident set after each round.
//
// Usage: bench_cli [--quick]   (--quick: 30 s and 40 rounds; default 60 s and 200 rounds)
//        bench_cli --serve [--quick] [--memory-rounds N] [--publish-scans N]
//            serve with MQTT and metrics (bench_cli_serve.cpp)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "app/console/console.h"
#include "support/headless_panel.h"
#include "files/drying_log_writer.h"
#include "cli_probe.h"
#include "launch.h"
#include "support/child_process.h"
#include "support/recording_notifier.h"

using namespace torv::bench;

int main(int argc, char** argv)
{
    bool quick = false, serve = false;
    int memoryRounds = 0, publishScans = 10000;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0)
            quick = true;
        else if (std::strcmp(argv[i], "--serve") == 0)
            serve = true;
        else if (std::strcmp(argv[i], "--memory-rounds") == 0 && i + 1 < argc && std::atoi(argv[i + 1]) > 10)
            memoryRounds = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--publish-scans") == 0 && i + 1 < argc && std::atoi(argv[i + 1]) >= 1000)
            publishScans = std::atoi(argv[++i]);
        else {
            std::fprintf(stderr, "usage: bench_cli [--quick]\n"
                                 "       bench_cli --serve [--quick] [--memory-rounds N>10] [--publish-scans N>=1000]\n");
            return 2;
        }
    }
    if (serve)
        return BenchServe(quick, memoryRounds, publishScans);
    const int seconds = quick ? 30 : 60;
    const int rounds = quick ? 40 : 200;

    torv::testing::TempDir dir;
    const std::string traceFile = dir.path() + "/sim.log";
    const auto sim = torv::bench::StartSimulator(dir.path(),
        {"--address", "1", "--address", "2", "--address", "3", "--trace"}, traceFile);
    if (!sim)
        return 1;
    const int out = open((dir.path() + "/cli.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);

    // ---- 1. CPU between rounds ------------------------------------------------
    const std::string log1 = dir.path() + "/every10";
    pid_t pid = torv::bench::Launch({TORV_CLI, "log", "1", "2", "3", "--every", "10", "--dir", log1}, dir.path(), out);
    const std::uint64_t started = MonotonicNs();
    const double cpuStart = CpuSeconds(pid);
    double waitS = 0, waitCpu = 0, worstShare = 0;
    long waitWakeups = 0;
    int waits = 0;
    for (std::size_t round = 1; SecondsSince(started) < seconds;) {
        // The round is over once chamber 3's line for it is on the disk
        // (header, the start's block read, then one line a round).
        while (SecondsSince(started) < seconds && FileLines(log1, "komora-003-") < 2 + round)
            SleepMs(10);
        if (SecondsSince(started) >= seconds)
            break;
        const std::uint64_t t0 = MonotonicNs();
        const double cpu0 = CpuSeconds(pid);
        const long wake0 = Wakeups(pid);
        while (SecondsSince(started) < seconds && RequestTimes(ReadAll(traceFile), kRoundStart).size() < round + 1)
            SleepMs(10);
        if (SecondsSince(started) >= seconds)
            break;
        const double s = SecondsSince(t0), cpu = CpuSeconds(pid) - cpu0;
        waitS += s;
        waitCpu += cpu;
        worstShare = std::max(worstShare, cpu / s);
        waitWakeups += Wakeups(pid) - wake0;
        ++waits;
        ++round;
    }
    const double runCpu = CpuSeconds(pid) - cpuStart, runS = SecondsSince(started);
    const int status1 = Stop(pid);

    // ---- 2. the window's scan -------------------------------------------------
    double windowScanMs = 0;
    {
        torv::PortSettings settings;
        torv::SteadyClock clock;
        torv::testing::RecordingNotifier notifier;
        torv::ModbusLink link(settings, clock);
        link.workDir = dir.path();
        torv::SettingsFile settingsFile(notifier, dir.path());
        torv::HeadlessPanel panel;
        torv::Console console(link, settingsFile, notifier, panel);
        // The window's scan ends with its line in the drying log, as torv-cli's does.
        torv::drying_log::Writer writer(dir.path(), torv::drying_log::SystemLocalTime);
        console.onMeasurement = [&writer](std::uint8_t address, const torv::ImageRow& row, bool ok) {
            writer.record(address, row, ok ? torv::drying_log::Status::Ok : torv::drying_log::Status::Failed);
        };
        console.start(); // no settings file: COM1 and controller 1, scanning once it answered
        const int scans = 10;
        const std::uint64_t t0 = clock.nowUs();
        for (int i = 0; i < scans; ++i)
            console.scanTick();
        windowScanMs = static_cast<double>(clock.nowUs() - t0) / 1000.0 / scans;
        if (!console.scanning() || !console.station().lastAnswered()) {
            std::fprintf(stderr, "the window's scan failed\n");
            return 1;
        }
    }

    // ---- 3. rounds back to back: round time and memory --------------------------
    const std::size_t traceFrom = ReadAll(traceFile).size();
    pid = torv::bench::Launch({TORV_CLI, "log", "1", "2", "3", "--every", "1", "--count", std::to_string(rounds),
                               "--dir", dir.path() + "/every1"},
                              dir.path(), out);
    std::vector<long> rss; // after each round
    long hwm = 0;
    for (;;) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            break;
        const std::size_t seen = RequestTimes(ReadAll(traceFile), kRoundStart, traceFrom).size();
        if (seen > rss.size() + 1) {
            rss.resize(seen - 1, torv::bench::StatusKb(pid, "VmRSS"));
            hwm = std::max(hwm, torv::bench::StatusKb(pid, "VmHWM"));
        }
        SleepMs(50);
    }
    const std::vector<double> starts = RequestTimes(ReadAll(traceFile), kRoundStart, traceFrom);
    std::vector<double> roundMs;
    for (std::size_t i = 1; i < starts.size(); ++i)
        roundMs.push_back(starts[i] - starts[i - 1]);
    std::sort(roundMs.begin(), roundMs.end());
    if (roundMs.empty() || rss.size() < 11 || waits == 0 || status1 != 0) {
        std::fprintf(stderr, "runs incomplete: %zu rounds, %d waits, first run's exit %d\n%s", roundMs.size(), waits,
                     status1, ReadAll(dir.path() + "/cli.log").c_str());
        return 1;
    }
    double sum = 0;
    for (const double ms : roundMs)
        sum += ms;
    const double meanRound = sum / static_cast<double>(roundMs.size());
    const long grown = rss.back() - rss[9];
    const double perDay = static_cast<double>(grown) / static_cast<double>(rss.size() - 10) * 8640.0;

    std::printf("| figure | measured | target |\n|---|---|---|\n");
    // One clock tick over all the waits is the finest share the kernel's accounting shows.
    const double tick = 1.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
    std::printf("| CPU between rounds, log 1 2 3 --every 10, %d waits of %.1f s | %.3f %% of one core (worst wait %.3f %%, "
                "one tick %.3f %%), %.1f wake-ups a wait (the next request's 8 byte pauses among them) | < 0.5 %% |\n",
                waits, waitS / waits, 100.0 * waitCpu / waitS, 100.0 * worstShare, 100.0 * tick / waitS,
                static_cast<double>(waitWakeups) / waits);
    std::printf("| CPU over the whole run, %.0f s | %.3f %% of one core | — |\n", runS, 100.0 * runCpu / runS);
    std::printf("| the window's scan of one chamber | %.1f ms | — |\n", windowScanMs);
    std::printf("| a round of 3 chambers, %zu rounds back to back | mean %.1f ms, median %.1f, max %.1f = %.4f x 3 "
                "window scans | ≤ 1 |\n",
                roundMs.size(), meanRound, roundMs[roundMs.size() / 2], roundMs.back(), meanRound / (3 * windowScanMs));
    std::printf("| resident set after round 10 / %zu | %ld / %ld kB (peak %ld kB), %+ld kB, %+.0f kB a day at 10 s | flat |\n",
                rss.size(), rss[9], rss.back(), hwm, grown, perDay);
    return 0;
}
