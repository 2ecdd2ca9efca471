// Peak memory of the real tool: torv-tester runs against torv-sim (start-up
// with its block read, then the measurement scan at every 10 s tick), and its
// peak resident set is read from /proc/PID/status (VmHWM) just before it is
// stopped; the child's rusage from wait4 confirms it. The simulator's bus
// monitor shows that the run really read and scanned the controller.
//
// Usage: bench_memory [--seconds S]   (default 25: start-up and two scans;
//                                      QT_QPA_PLATFORM as set, else offscreen)
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "launch.h"
#include "support/child_process.h"

namespace {

// Requests the monitor logged as arriving for controller 1 with this start and count.
int requestsSeen(const std::string& log, const char* startAndCount)
{
    const std::string needle = std::string("in  01 03 ") + startAndCount;
    int n = 0;
    for (auto at = log.find(needle); at != std::string::npos; at = log.find(needle, at + 1))
        ++n;
    return n;
}

double mb(long kb) { return static_cast<double>(kb) / 1024.0; }

} // namespace

int main(int argc, char** argv)
{
    int seconds = 25;
    if (argc > 2 && std::strcmp(argv[1], "--seconds") == 0)
        seconds = std::max(3, std::atoi(argv[2]));

    torv::testing::TempDir dir;
    if (!torv::bench::WriteSettings(dir.path())) {
        std::fprintf(stderr, "cannot write the settings file in %s\n", dir.path().c_str());
        return 1;
    }
    const auto sim = torv::bench::StartSimulator(dir.path(),
        {"--address", "1", "--address", "3", "--address", "7", "--trace"});
    if (!sim)
        return 1;

    const std::string toolLog = dir.path() + "/tester.log";
    const int out = open(toolLog.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const pid_t pid = torv::bench::Launch({TORV_TESTER}, dir.path(), out);
    close(out);

    // VmRSS sampled through the run; VmHWM read last, while the process still exists.
    long rssMax = 0, rssLast = 0, hwm = -1;
    bool died = false;
    for (int tenth = 0; tenth < seconds * 10; ++tenth) {
        usleep(100000);
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            died = true;
            break;
        }
        const long rss = torv::bench::StatusKb(pid, "VmRSS");
        rssLast = rss > 0 ? rss : rssLast;
        rssMax = std::max(rssMax, rss);
        hwm = std::max(hwm, torv::bench::StatusKb(pid, "VmHWM"));
    }
    rusage usage{};
    if (!died) {
        kill(pid, SIGTERM);
        int status = 0;
        wait4(pid, &status, 0, &usage);
    }
    const std::string log = sim->output();
    sim->stop();
    if (died) {
        std::ifstream in(toolLog);
        std::stringstream text;
        text << in.rdbuf();
        std::fprintf(stderr, "torv-tester ended early:\n%s\n", text.str().c_str());
        return 1;
    }

    // The block read starts at byte 96 (00 60, 8 registers); a scan's second read is 126 (00 7E, 2 registers).
    const int blockReads = requestsSeen(log, "00 60 00 08");
    const int scans = requestsSeen(log, "00 7E 00 02");
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    std::printf("torv-tester against torv-sim for %d s, platform %s: %d block read(s), %d scan(s)\n\n", seconds,
                platform ? platform : "offscreen", blockReads, scans);
    std::printf("| figure                          |      MB |\n");
    std::printf("|---------------------------------|---------|\n");
    std::printf("| peak RSS (VmHWM)                | %7.1f |\n", mb(hwm));
    std::printf("| peak RSS (wait4 ru_maxrss)      | %7.1f |\n", mb(usage.ru_maxrss));
    std::printf("| largest sampled RSS (VmRSS)     | %7.1f |\n", mb(rssMax));
    std::printf("| RSS at the end                  | %7.1f |\n", mb(rssLast));
    const double peak = mb(std::max(hwm, usage.ru_maxrss));
    std::printf("\npeak RSS %.1f MB (target <= 80 MB: %s)\n", peak, peak <= 80.0 ? "met" : "NOT met");
    if (blockReads < 1 || scans < 1) {
        std::printf("WARNING: the run did not include a block read and a scan; run it longer than 10 s\n");
        return 1;
    }
    return 0;
}
