// The plant overview with 20 chambers:
//  1. on torv-sim (9600 b/s) on a pseudo-terminal, with the real window and
//     its event loop: a round of the overview's scans against 20 of the
//     window's own scans (the console's timer tick, measured on the same line);
//  2. the process's CPU between rounds (round period 30 s, so 10 s idle);
//  3. the operator's clicks during overview scans: from the click's arrival to
//     its handler, the longest wait;
//  4. in-process on virtual bus time (simulated line, one chamber silent so
//     the alarms work too): the resident set after round 10 and round 1000.
//
// Usage: bench_overview [--quick]   (--quick: one round, 6 clicks, 200 rounds in-process)
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sys/resource.h>

#include "app/console/console.h"
#include "launch.h"
#include "plant/chamber_moisture.h"
#include "plant_overview_window.h"
#include "serving_clock.h"
#include "sim/line.h"
#include "sim/sim_port.h"
#include "support/child_process.h"
#include "support/recording_notifier.h"
#include "tform1.h"

namespace {

using torv::testing::RecordingNotifier;
using torv::testing::TempDir;

double CpuSecondsSelf()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void WriteList(const std::string& dir, int chambers, int roundSeconds, int silentAddress = 0)
{
    std::ofstream out(dir + "/komory.json");
    out << R"({"format": "torv-lcd-chambers", "version": 1, "roundSeconds": )" << roundSeconds << R"(, "chambers": [)";
    for (int a = 1; a <= chambers; ++a)
        out << (a > 1 ? ", " : "") << R"({"address": )" << a << "}";
    if (silentAddress)
        out << R"(, {"address": )" << silentAddress << "}";
    out << "]}";
}

// Runs the event loop until `done` or `ms` pass.
void RunUntil(const std::function<bool()>& done, int ms)
{
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    check.start(1);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The window and its console on a line, started as the tool starts.
struct Window {
    TForm1 form;
    torv::PortSettings settings;
    ServingClock clock;
    RecordingNotifier notifier;
    torv::ModbusLink link{settings, clock};
    torv::SettingsFile settingsFile;
    torv::Console console{link, settingsFile, notifier, form};

    Window(const std::string& dir, std::uint8_t baudIndex, torv::Clock* busTime = nullptr)
        : clock(busTime), settingsFile(notifier, dir)
    {
        settings.BaudIndex = baudIndex;
        link.workDir = dir;
        settingsFile.SaveSettings(settings);
        form.attach(&console);
        form.Timer1->stop();
    }
    bool start()
    {
        form.show();
        form.OpenCommClick();
        return console.dataLoaded();
    }
};

} // namespace

int main(int argc, char** argv)
{
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // a line at a time: the figures show as they come
    constexpr int kChambers = 20;
    const QString startDir = QDir::currentPath();
    bool ok = true;
    double windowScanMsSeen = 0;

    std::printf("| figure | measured | target |\n|---|---|---|\n");
    {
        TempDir dir;
        std::vector<std::string> args;
        for (int a = 1; a <= kChambers; ++a)
            args.insert(args.end(), {"--address", std::to_string(a)});
        const auto sim = torv::bench::StartSimulator(dir.path(), args);
        if (!sim)
            return 1;
        QDir::setCurrent(QString::fromStdString(dir.path()));
        Window w(dir.path(), 1);
        if (!w.start()) {
            std::fprintf(stderr, "the start-up read failed\n");
            return 1;
        }
        TForm1& form = w.form;
        ServingClock& clock = w.clock;

        // The window's own scan, back to back.
        const int windowScans = 10;
        std::uint64_t t0 = clock.nowUs();
        for (int i = 0; i < windowScans; ++i)
            form.Timer1Timer();
        const double windowScanMs = static_cast<double>(clock.nowUs() - t0) / 1000.0 / windowScans;
        windowScanMsSeen = windowScanMs;
        form.Button2Click(); // STOP: only the overview on the line from here

        WriteList(dir.path(), kChambers, 30);
        int scans = 0, answered = 0;
        std::uint64_t lastScanEnd = 0, firstRoundEnd = 0;
        t0 = clock.nowUs();
        form.PlantOverviewClick();
        PlantOverviewWindow* overview = form.plantOverviewWindow();
        QObject::connect(overview, &PlantOverviewWindow::scanned, overview, [&](int, bool a) {
            ++scans;
            answered += a ? 1 : 0;
            lastScanEnd = clock.nowUs();
            if (scans == kChambers)
                firstRoundEnd = lastScanEnd;
        });
        // The first round also reads each chamber not yet read whole (all but
        // the window's own); it outlasts the round period, so the second
        // follows at once: that one is the overview's steady round.
        RunUntil([&] { return scans == 2 * kChambers; }, 180000);
        const double firstMs = static_cast<double>(firstRoundEnd - t0) / 1000.0;
        const double roundMs = static_cast<double>(lastScanEnd - firstRoundEnd) / 1000.0;
        const double ratio = roundMs / (kChambers * windowScanMs);
        ok = ok && scans == 2 * kChambers && answered == 2 * kChambers && ratio <= 1.01;
        std::printf("| the first round of %d chambers, %d of them read whole once | %.1f ms | - |\n", kChambers,
                    kChambers - 1, firstMs);
        std::printf("| a round of %d chambers, the event loop between scans | %.1f ms = %.4f x %d window scans (%.1f ms each) | <= 1.01 |\n",
                    kChambers, roundMs, ratio, kChambers, windowScanMs);

        // Idle until the next round: the process's CPU meanwhile.
        const std::uint64_t idleFrom = clock.nowUs();
        const double cpu0 = CpuSecondsSelf();
        {
            // One timer to the end of the wait: the measurement adds no wake-ups of its own.
            QEventLoop idle;
            const std::uint64_t due = overview->overview().dueUs(), now = clock.nowUs();
            const int leftMs = due > now + 200000 ? static_cast<int>((due - now) / 1000) - 200 : 0;
            QTimer::singleShot(std::max(leftMs, 0), &idle, &QEventLoop::quit);
            idle.exec();
        }
        const double idleS = static_cast<double>(clock.nowUs() - idleFrom) / 1e6;
        const double idleCpu = (CpuSecondsSelf() - cpu0) / idleS * 100.0;
        ok = ok && idleCpu < 0.5;
        std::printf("| CPU between rounds (%.1f s idle, window open) | %.3f %% of one core | < 0.5 %% |\n", idleS, idleCpu);

        // The operator's clicks during the next round's scans.
        QPushButton probe(QStringLiteral("probe"));
        probe.show();
        std::uint64_t clickedAt = 0, arrivedAt = 0;
        std::vector<double> waits;
        QObject::connect(&probe, &QPushButton::clicked, &probe, [&] {
            waits.push_back(static_cast<double>(clock.nowUs() - arrivedAt) / 1000.0);
            clickedAt = clock.nowUs();
        });
        const int clicks = quick ? 6 : 20;
        int sent = 0;
        QTimer clicker;
        QObject::connect(&clicker, &QTimer::timeout, &probe, [&] {
            if (sent >= clicks || !ServingClock::serving() || arrivedAt > clickedAt)
                return; // only in the middle of bus work, one at a time
            arrivedAt = clock.nowUs();
            ++sent;
            const QPointF at(5, 5);
            QCoreApplication::postEvent(&probe, new QMouseEvent(QEvent::MouseButtonPress, at, probe.mapToGlobal(at),
                                                                Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
            QCoreApplication::postEvent(&probe, new QMouseEvent(QEvent::MouseButtonRelease, at, probe.mapToGlobal(at),
                                                                Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
        });
        clicker.start(173);
        RunUntil([&] { return static_cast<int>(waits.size()) == clicks; }, 120000);
        const double longest = waits.empty() ? -1 : *std::max_element(waits.begin(), waits.end());
        ok = ok && static_cast<int>(waits.size()) == clicks && longest <= 400.0;
        std::printf("| the operator's click during an overview scan, to its handler (%zu clicks) | longest %.1f ms | one transaction (about 350 ms) |\n",
                    waits.size(), longest);
        overview->close();
        QDir::setCurrent(startDir);
    }

    // What RH and EMC add to a scan: both worked out for every chamber of a
    // round, against the scan on the line they follow.
    {
        torv::plant::ChamberList list;
        std::vector<torv::drying_log::Row> rows;
        for (int a = 1; a <= kChambers; ++a) {
            list.chambers.push_back({a, torv::plant::DefaultChamberName(a),
                                     a % 2 ? torv::plant::Psychrometer::Ventilated : torv::plant::Psychrometer::Unventilated});
            torv::drying_log::Row r;
            r.address = a;
            r.tempDry = 300 + 30 * a, r.tempWet = 250 + 25 * a; // 30..90 °C, a tenth of them apart
            rows.push_back(r);
        }
        const int rounds = quick ? 20000 : 100000;
        double sink = 0;
        const std::uint64_t t0 = torv::bench::MonotonicNs();
        for (int k = 0; k < rounds; ++k)
            for (const auto& r : rows) {
                const auto m = torv::plant::ChamberMoisture(list, r);
                sink += m.relativeHumidity.value_or(0) + m.equilibriumMoisture.value_or(0);
            }
        const double perScanUs = static_cast<double>(torv::bench::MonotonicNs() - t0) / 1000.0 / rounds / kChambers;
        const double share = perScanUs / (windowScanMsSeen * 1000.0);
        ok = ok && share < 0.01 && sink > 0;
        std::printf("| RH and EMC of one scan, in-process (%d x %d chambers) | %.3f us = %.1e of a window scan (%.1f ms) | <= 0.01 |\n",
                    rounds, kChambers, perScanUs, share, windowScanMsSeen);
    }

    // Memory over many rounds, in-process on virtual bus time.
    {
        TempDir dir;
        QDir::setCurrent(QString::fromStdString(dir.path()));
        torv::sim::Line line;
        for (int a = 1; a <= kChambers; ++a)
            line.add(static_cast<std::uint8_t>(a));
        WriteList(dir.path(), kChambers, 10, 99);
        torv::VirtualClock busTime;
        Window w(dir.path(), 1, &busTime);
        w.link.opener = [&](const std::string&, std::uint8_t, std::uint8_t) {
            return std::make_unique<torv::sim::SimPort>(line, busTime);
        };
        w.start();
        TForm1& form = w.form;
        form.Button2Click(); // STOP
        form.PlantOverviewClick();
        PlantOverviewWindow* overview = form.plantOverviewWindow();
        const int rounds = quick ? 200 : 1000;
        long at10 = 0;
        for (int r = 1; r <= rounds; ++r) {
            busTime.sleepUntilUs(overview->overview().dueUs());
            for (int s = 0; s <= kChambers; ++s)
                overview->scanNow();
            QCoreApplication::processEvents();
            if (r == 10)
                at10 = torv::bench::StatusKb(0, "VmRSS");
        }
        const long atEnd = torv::bench::StatusKb(0, "VmRSS");
        std::printf("| resident set after round 10 / %d (%d chambers, one silent) | %ld / %ld kB (%+ld kB) | flat |\n", rounds,
                    kChambers + 1, at10, atEnd, atEnd - at10);
        ok = ok && atEnd - at10 < 1024;
        overview->close();
        QDir::setCurrent(startDir);
    }
    if (!ok)
        std::printf("\nWARNING: a figure missed its target\n");
    return ok ? 0 : 1;
}
