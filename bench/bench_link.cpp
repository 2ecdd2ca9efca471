// Measures the bus spine against torv-sim on a real pseudo-terminal, at each
// baud rate: a block-sized read, a write with read-back, and a 250-address
// probe run. For each case it prints wall time over the timing floor (the
// per-byte pauses plus the poll periods the transactions actually waited)
// and this process's CPU seconds per wall second.
//
// Usage: bench_link [--quick]   (--quick probes 25 addresses instead of 250)
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <sys/resource.h>

#include "app/console/console.h"
#include "link/modbus_link.h"
#include "bench/launch.h"
#include "support/child_process.h"
#include "support/recording_notifier.h"

using namespace torv::testing;

namespace {

double cpuSeconds()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

struct Result {
    double wallMs = 0, floorMs = 0, cpuS = 0;
    int transactions = 0, ok = 0;
};

class Runner {
public:
    Runner(torv::ModbusLink& link, std::uint8_t baudIndex) : link_(link), pauseMs_(baudIndex + 1u) {}

    // One transaction; its floor is 8 paced bytes plus the polls it waited.
    void read(std::uint8_t address, std::uint8_t start, std::uint8_t count, Result& r)
    {
        account(r, torv::kReadPollMs, link_.Read_Modbus_Byte(address, start, count).ok());
    }
    void write(std::uint8_t address, std::uint8_t start, Result& r)
    {
        account(r, torv::kWritePollMs, link_.Load_Modbus_Byte(address, start, link_.imageWord(address, start)).ok());
    }
    void delay(unsigned ms, Result& r)
    {
        link_.DelayMs(ms);
        r.floorMs += ms;
    }

private:
    void account(Result& r, unsigned pollMs, bool answered)
    {
        r.floorMs += 8.0 * pauseMs_ + static_cast<double>(link_.lastPolls()) * pollMs;
        ++r.transactions;
        r.ok += answered ? 1 : 0;
    }
    torv::ModbusLink& link_;
    unsigned pauseMs_;
};

// The console needs a window; the bus test paints only its progress.
class NullPanel final : public torv::Panel {
public:
    void apply(const torv::ControlChanges&) override {}
    std::string text(const std::string&) const override { return {}; }
    int listIndex(const std::string&) const override { return -1; }
    int spinnerPosition(const std::string&) const override { return 0; }
    bool checked(const std::string&) const override { return false; }
    void repaintNow() override {}
    void openLink(const std::string&) override {}
    void closeWindow() override {}
};

Result measure(torv::SteadyClock& clock, const std::function<void(Result&)>& body)
{
    Result r;
    const double c0 = cpuSeconds();
    const std::uint64_t t0 = clock.nowUs();
    body(r);
    r.wallMs = static_cast<double>(clock.nowUs() - t0) / 1000.0;
    r.cpuS = cpuSeconds() - c0;
    return r;
}

void print(const char* baud, const char* name, const Result& r)
{
    std::printf("| %-6s | %-42s | %5d/%-5d | %10.1f | %10.1f | %6.4f | %6.4f |\n", baud, name, r.ok, r.transactions,
                r.wallMs, r.floorMs, r.wallMs / r.floorMs, r.cpuS / (r.wallMs / 1000.0));
}

} // namespace

int main(int argc, char** argv)
{
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    const int probeTo = quick ? 25 : 250;
    std::printf("| baud   | case                                       | ok/sent     | wall ms    | floor ms   | ratio  | CPU/s  |\n");
    std::printf("|--------|--------------------------------------------|-------------|------------|------------|--------|--------|\n");
    struct Speed {
        const char* name;
        const char* simBaud;
        std::uint8_t index;
    };
    bool allOk = true;
    for (const Speed s : {Speed{"19200", "19200", 0}, Speed{"9600", "9600", 1}, Speed{"4800", "4800", 2}}) {
        TempDir dir;
        const auto sim = torv::bench::StartSimulator(dir.path(),
            {"--address", "1", "--address", "3", "--address", "7", "--baud", s.simBaud});
        if (!sim)
            return 1;
        torv::bench::SimulatorLink line;
        if (!line.open(dir.path(), s.index))
            return 1;
        torv::ModbusLink& link = line.link;
        torv::SteadyClock& clock = line.clock;
        RecordingNotifier& notifier = line.notifier;
        Runner run(link, s.index);

        const Result blockRead = measure(clock, [&](Result& r) {
            for (int rep = 0; rep < 3; ++rep)
                for (std::uint8_t start : {96, 104, 112, 120, 160, 128, 136, 144, 152}) {
                    run.read(1, start, 8, r);
                    run.delay(5, r);
                }
        });
        print(s.name, "block read (9 x 8 registers) x3", blockRead);

        const Result scan = measure(clock, [&](Result& r) {
            for (int rep = 0; rep < 5; ++rep) {
                run.read(1, 104, 4, r);
                run.delay(5, r);
                run.read(1, 126, 2, r);
                run.delay(5, r);
                run.read(1, 160, 8, r);
            }
        });
        print(s.name, "measurement scan x5", scan);

        const Result write = measure(clock, [&](Result& r) {
            for (int rep = 0; rep < 10; ++rep) {
                link.image.at(1, 113) = static_cast<std::uint8_t>(10 + rep);
                run.write(1, 112, r);
                run.delay(10, r);
                run.read(1, 112, 2, r);
            }
        });
        print(s.name, "single write with read-back x10", write);

        const Result silent = measure(clock, [&](Result& r) {
            // Ten silent addresses, as a bus test meets them.
            for (int rep = 0; rep < 10; ++rep)
                run.read(static_cast<std::uint8_t>(100 + rep), 96, 2, r);
        });
        print(s.name, "10 silent addresses (CPU while waiting)", silent);

        const Result probe = measure(clock, [&](Result& r) {
            for (int a = 1; a <= probeTo; ++a)
                run.read(static_cast<std::uint8_t>(a), 96, 2, r);
        });
        print(s.name, quick ? "probe run, addresses 1..25" : "probe run, addresses 1..250", probe);

        if (!quick) {
            // The operator's bus test: a probe at every address, then the
            // block read of each one that answers (9 reads, 8 pauses of 5 ms).
            NullPanel panel;
            torv::SettingsFile settingsFile(notifier, dir.path());
            torv::Console console(link, settingsFile, notifier, panel);
            const Result busTest = measure(clock, [&](Result& r) {
                link.onTransaction = [&](const torv::ModbusLink::Transaction& t) {
                    r.floorMs += 8.0 * (s.index + 1) + link.lastPolls() * (t.function == 0x03 ? torv::kReadPollMs : torv::kWritePollMs);
                    ++r.transactions;
                    r.ok += t.ok ? 1 : 0;
                };
                console.testBus();
                r.floorMs += 40.0 * console.foundAddresses().size();
                link.onTransaction = nullptr;
            });
            print(s.name, "bus test (TEST MBUS), 3 controllers", busTest);
            allOk = allOk && console.foundAddresses().size() == 3;
        }
        allOk = allOk && blockRead.ok == blockRead.transactions && write.ok == write.transactions && probe.ok == 3;
    }
    if (!allOk)
        std::printf("\nWARNING: some transactions that should have succeeded failed\n");
    return allOk ? 0 : 1;
}
