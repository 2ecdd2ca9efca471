// The window's liveness while bus work runs, against torv-sim on a real
// pseudo-terminal at each baud rate: the operator's bus test and a ZAPIS
// that writes all 48 rows, started through the window's own handlers, while
// the whole window is asked to repaint every 100 ms (as when it is uncovered
// or moved). For each it prints the longest stretch the window's thread went
// without serving events, the most an idle wait ended after its deadline,
// and the wall time over the timing floor of the transactions and pauses.
//
// With --monitor the bus monitor is open throughout, recording every frame
// and catching up its view, as an operator watching the line would have it.
//
// Usage: bench_window [--quick] [--monitor]   (--quick: 9600 baud only; QT_QPA_PLATFORM as set, else offscreen)
#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/console/console.h"
#include "bus_monitor_window.h"
#include "controller/conversions.h"
#include "monitor/bus_monitor.h"
#include "view/control_map.h"
#include "serving_clock.h"
#include "bench/launch.h"
#include "support/child_process.h"
#include "support/recording_notifier.h"
#include "tform1.h"

using namespace torv::testing;

namespace {

struct Result {
    double wallMs = 0, floorMs = 0, gapMs = 0, lateMs = 0;
    int transactions = 0, ok = 0, writes = 0;
};

// Runs `body` and takes the serving clock's view of it.
template <typename Body>
Result measure(ServingClock& clock, torv::ModbusLink& link, unsigned pauseMs, Body body)
{
    Result r;
    auto before = link.onTransaction; // the monitor's recorder, when open
    link.onTransaction = [&](const torv::ModbusLink::Transaction& t) {
        if (before)
            before(t);
        r.floorMs += 8.0 * pauseMs + link.lastPolls() * (t.function == 0x03 ? torv::kReadPollMs : torv::kWritePollMs);
        ++r.transactions;
        r.ok += t.ok ? 1 : 0;
        r.writes += t.function == 0x06 ? 1 : 0;
    };
    clock.resetStats();
    const std::uint64_t t0 = clock.nowUs();
    body(r);
    const std::uint64_t t1 = clock.nowUs();
    link.onTransaction = before;
    r.wallMs = static_cast<double>(t1 - t0) / 1000.0;
    r.gapMs = static_cast<double>(std::max(clock.stats().longestGapUs, t1 - clock.lastRoundUs())) / 1000.0;
    r.lateMs = static_cast<double>(clock.stats().latestEndUs) / 1000.0;
    return r;
}

void print(const char* baud, const char* name, const Result& r)
{
    std::printf("| %-6s | %-36s | %5d/%-5d | %10.1f | %10.1f | %6.4f | %8.1f | %7.2f |\n", baud, name, r.ok,
                r.transactions, r.wallMs, r.floorMs, r.wallMs / r.floorMs, r.gapMs, r.lateMs);
}

// A new value for every row of the write-back table, each within its control's range.
torv::ControlChanges EveryRowChanged(const torv::ImageRow& row, const std::string& sep)
{
    torv::ControlChanges out;
    for (const torv::WriteBackRow& w : torv::WriteBackTable()) {
        const torv::MapEntry& e = torv::MapAt(w.byte);
        const std::uint8_t byte = torv::RowByte(row, w.byte);
        if (w.kind == torv::Kind::List) {
            const int items = static_cast<int>(torv::ListItemsOf(w.byte).size());
            const int index = torv::ListIndexOf(w.kind, byte, items);
            out.push_back(torv::SetValue(torv::ControlOf(w.byte), torv::Property::ListIndex, (index + 1) % items));
            continue;
        }
        const bool tenths = w.kind == torv::Kind::Tenths || w.kind == torv::Kind::OffsetTenths;
        const int now = tenths ? torv::SpinnerPosition(e, byte) : e.range.clamp(byte);
        const int next = now < e.range.max ? now + 1 : now - 1;
        out.push_back(torv::SetText(torv::ControlOf(w.byte), tenths ? torv::TenthsText(next, sep) : std::to_string(next)));
    }
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    bool quick = false, monitor = false;
    for (int i = 1; i < argc; ++i) {
        quick = quick || std::strcmp(argv[i], "--quick") == 0;
        monitor = monitor || std::strcmp(argv[i], "--monitor") == 0;
    }
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);

    std::printf("| baud   | case                                 | ok/sent     | wall ms    | floor ms   | ratio  | gap ms   | late ms |\n");
    std::printf("|--------|--------------------------------------|-------------|------------|------------|--------|----------|---------|\n");
    struct Speed {
        const char* name;
        std::uint8_t index;
    };
    std::vector<Speed> speeds = {{"19200", 0}, {"9600", 1}, {"4800", 2}};
    if (quick)
        speeds = {{"9600", 1}};
    bool allOk = true;
    for (const Speed s : speeds) {
        TempDir dir;
        const auto sim = torv::bench::StartSimulator(dir.path(),
            {"--address", "1", "--address", "3", "--address", "7", "--baud", s.name});
        if (!sim)
            return 1;
        TForm1 form;
        torv::PortSettings settings;
        settings.BaudIndex = s.index;
        ServingClock clock;
        RecordingNotifier notifier;
        torv::ModbusLink link(settings, clock);
        link.workDir = dir.path();
        torv::SettingsFile settingsFile(notifier, dir.path());
        settingsFile.SaveSettings(settings);
        torv::Console console(link, settingsFile, notifier, form);
        console.useSeparator(torv::systemDecimalSeparator());
        torv::bus_monitor::Recorder recorder;
        form.attach(&console);
        if (monitor) {
            recorder.observe(link);
            form.attachBusRecorder(&recorder);
        }
        form.Timer1->stop();
        form.show();
        form.OpenCommClick();
        if (monitor) {
            form.BusMonitorClick();
            if (!form.busMonitorWindow() || !form.busMonitorWindow()->isVisible()) {
                std::fprintf(stderr, "the bus monitor did not open\n");
                return 1;
            }
        }
        if (!console.dataLoaded()) {
            std::fprintf(stderr, "the start-up read failed at %s baud\n", s.name);
            return 1;
        }
        QTimer uncovered;
        QObject::connect(&uncovered, &QTimer::timeout, &form, [&form] { form.update(); });
        uncovered.start(100);
        const unsigned pauseMs = s.index + 1u;

        const Result busTest = measure(clock, link, pauseMs, [&](Result& r) {
            form.Button6Click();
            r.floorMs += 40.0 * console.foundAddresses().size(); // the block reads' pauses
        });
        print(s.name, "bus test (TEST MBUS), 3 controllers", busTest);

        if (console.scanning())
            form.Button2Click(); // STOP: ZAPIS wants scanning off (the bus test leaves it off)
        notifier.boxes.clear();
        form.apply(EveryRowChanged(link.image.row(console.activeAddress()), console.separator()));
        const Result zapis = measure(clock, link, pauseMs, [&](Result& r) {
            form.Button3Click();
            r.floorMs += 5.0 + 10.0 * r.writes + 40.0; // after the address read, each write, the block read
        });
        print(s.name, "ZAPIS of all 48 rows", zapis);
        for (const auto& box : notifier.boxes)
            std::fprintf(stderr, "box: %s\n", box.text.c_str());
        if (monitor && form.busMonitorWindow()->frames()->rowCount() == 0)
            allOk = false; // the monitor must have shown the frames it was open for
        allOk = allOk && console.foundAddresses().size() == 3 && zapis.writes == 48 && zapis.ok == zapis.transactions;
    }
    if (!allOk)
        std::printf("\nWARNING: the bus test did not find 3 controllers or ZAPIS did not write 48 rows cleanly\n");
    return allOk ? 0 : 1;
}
