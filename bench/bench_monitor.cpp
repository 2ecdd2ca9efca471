// The bus monitor's cost: what recording one transaction takes on the bus's
// own thread, what a look of the open window at a batch of new frames takes,
// and the process's memory as frames pass far beyond the ring's 20 000.
// Frames are the largest this master sees (a block read's 63-byte reply).
//
// Usage: bench_monitor [--frames N]   (default 200 000; QT_QPA_PLATFORM as set, else offscreen)
#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/launch.h"
#include "bus_monitor_window.h"
#include "monitor/bus_monitor.h"

namespace {

double medianOf(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    long frames = 200000;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--frames") == 0)
            frames = std::max(1000L, std::atol(argv[i + 1]));
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);

    torv::bus_monitor::Recorder recorder;
    BusMonitorWindow window(recorder);
    window.show();
    QCoreApplication::processEvents();
    const long before = torv::bench::StatusKb(0, "VmRSS");

    std::vector<std::uint8_t> request = {1, 0x03, 0, 96, 0, 29, 0, 0};
    std::vector<std::uint8_t> reply(63, 0x11);
    reply[0] = 1;
    reply[1] = 0x03;
    reply[2] = 58;
    torv::ModbusLink::Transaction t{};
    t.function = 0x03;
    t.start = 96;
    t.count = 29;
    t.ok = true;
    t.request = request;
    t.reply = reply;
    t.replyBytes = reply.size();

    using Clock = std::chrono::steady_clock;
    std::vector<double> recordUs, lookMs;
    std::printf("| frames passed | frames kept | rows shown | VmRSS MB |\n|---|---|---|---|\n");
    // A bus test records about six frames a second; a look every 200 ms finds
    // one or two. Here each look finds 500, the worst a long stall could leave.
    const long perLook = 250;
    for (long n = 0; n < frames / 2; n += perLook) {
        const auto r0 = Clock::now();
        for (long i = 0; i < perLook; ++i) {
            t.address = static_cast<std::uint8_t>(1 + (n + i) % 250);
            request[0] = reply[0] = t.address;
            t.sentUs = t.judgedUs = static_cast<std::uint64_t>(n + i) * 170000u;
            recorder.transaction(t);
        }
        recordUs.push_back(std::chrono::duration<double, std::micro>(Clock::now() - r0).count() / perLook);
        const auto l0 = Clock::now();
        window.catchUp();
        QCoreApplication::processEvents(); // the view paints the new rows
        lookMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - l0).count());
        const long passed = (n + perLook) * 2;
        if (passed % 20000 == 0)
            std::printf("| %ld | %zu | %d | %.1f |\n", passed, recorder.frames().size(), window.frames()->rowCount(),
                        static_cast<double>(torv::bench::StatusKb(0, "VmRSS")) / 1024.0);
    }
    std::printf("\nVmRSS before the first frame: %.1f MB\n", static_cast<double>(before) / 1024.0);
    std::printf("recording one transaction (request and reply), median: %.3f us\n", medianOf(recordUs));
    std::printf("a look at 500 new frames with the rows painted, median: %.2f ms, most: %.2f ms\n", medianOf(lookMs),
                *std::max_element(lookMs.begin(), lookMs.end()));
    return recorder.frames().size() == torv::bus_monitor::kDefaultCapacity ? 0 : 1;
}
