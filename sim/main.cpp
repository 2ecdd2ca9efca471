// torv-sim: a line of simulated chamber controllers behind a pty link.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <pthread.h>

#include "sim/line.h"
#include "sim/options.h"
#include "sim/pty_server.h"

int main(int argc, char** argv)
{
    using namespace torv::sim;
    SimOptions o;
    std::string error;
    if (!parseOptions(argc, argv, o, error)) {
        std::cerr << "torv-sim: " << error << "\nTry torv-sim --help.\n";
        return 2;
    }
    if (o.help) {
        std::cout << helpText();
        return 0;
    }

    LineOptions lineOptions;
    lineOptions.strictTiming = o.strictTiming;
    lineOptions.checkBaud = o.baudCheck;
    lineOptions.hourSeconds = o.hourSeconds;
    lineOptions.randomFaults = o.randomFaults;
    lineOptions.still = o.still;
    lineOptions.traceBytes = o.traceBytes;
    lineOptions.startBaudCode = o.baudCode;
    Line line(lineOptions, o.seed);
    for (const auto address : o.addresses)
        line.add(address);
    for (const auto& [address, faults] : o.faults)
        line.find(address)->faults() = faults;
    for (const auto& [address, byteValue] : o.bytes)
        line.find(address)->memory()[byteValue.first] = byteValue.second;

    // Signals are taken by sigwait below, so the serving thread must never see them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    if (o.trace) {
        const auto started = std::chrono::steady_clock::now();
        const auto startedUs = static_cast<std::uint64_t>(
            std::chrono::duration_cast<std::chrono::microseconds>(started.time_since_epoch()).count());
        line.setTrace([startedUs](std::uint64_t nowUs, const std::string& text) {
            const std::uint64_t us = nowUs >= startedUs ? nowUs - startedUs : 0;
            // The pieces of a request are a millisecond or two apart: they need microseconds.
            if (text.starts_with("rx "))
                std::printf("%13llu us  %s\n", static_cast<unsigned long long>(us), text.c_str());
            else
                std::printf("%10llu ms  %s\n", static_cast<unsigned long long>(us / 1000), text.c_str());
            std::fflush(stdout);
        });
    }

    PtyOptions ptyOptions;
    ptyOptions.linkName = o.link;
    ptyOptions.dir = o.dir;
    ptyOptions.checkBaud = o.baudCheck;
    PtyServer server(line, ptyOptions);
    if (!server.open(error)) {
        std::cerr << "torv-sim: " << error << "\n";
        return 1;
    }
    std::printf("%s -> %s\nready\n", server.linkPath().c_str(), server.slavePath().c_str());
    std::fflush(stdout);

    server.start();
    int signal = 0;
    sigwait(&stopSignals, &signal);
    server.stop();
    return 0;
}
