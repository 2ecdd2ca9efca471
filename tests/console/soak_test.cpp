// The console on a real pseudo-terminal against a simulated controller that
// misbehaves at random (silence, split and delayed replies, CRC errors,
// garbage, wrong address or function, exception replies), for a bounded
// time; and a line that vanishes in the middle of a transaction.
#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <mutex>
#include <random>
#include <thread>

#include "app/console/console.h"
#include "recorded_panel.h"
#include "sim/line.h"
#include "sim/pty_server.h"
#include "support/child_process.h"
#include "support/recording_notifier.h"

using namespace torv::testing;
using Clock = std::chrono::steady_clock;

namespace {

struct PtyConsole {
    TempDir dir;
    torv::sim::Line line;
    std::unique_ptr<torv::sim::PtyServer> server;
    RecordingNotifier notifier;
    torv::PortSettings settings;
    torv::SteadyClock clock;
    torv::ModbusLink link{settings, clock};
    torv::SettingsFile settingsFile{notifier, dir.path()};
    RecordedPanel panel;
    torv::Console console{link, settingsFile, notifier, panel};

    explicit PtyConsole(double randomFaults = 0.0, std::uint32_t seed = 1)
        : line(torv::sim::LineOptions{}, seed)
    {
        line.options().randomFaults = randomFaults;
        line.add(1);
        serve();
        link.workDir = dir.path();
        console.useSeparator(",");
        panel.onCheckBoxClick = [this] { console.switchAlarm(); };
        torv::PortSettings s; // COM1, 9600, no parity, address 1
        RecordingNotifier quiet;
        torv::SettingsFile(quiet, dir.path()).SaveSettings(s);
    }
    ~PtyConsole()
    {
        if (server)
            server->stop();
    }
    void serve()
    {
        torv::sim::PtyOptions options;
        options.dir = dir.path();
        server = std::make_unique<torv::sim::PtyServer>(line, options);
        std::string error;
        ASSERT_TRUE(server->open(error)) << error;
        server->start();
    }
    // The controller's memory; it is the line's only controller, whatever
    // address it answers at.
    std::array<std::uint8_t, 256> memory()
    {
        std::lock_guard<std::mutex> lock(server->mutex());
        return line.at(0).memory();
    }
    std::uint8_t controllerAddress()
    {
        std::lock_guard<std::mutex> lock(server->mutex());
        return line.at(0).address();
    }
    unsigned requests()
    {
        std::lock_guard<std::mutex> lock(server->mutex());
        return line.at(0).requests();
    }
};

struct Counts {
    int reads = 0, readsFailed = 0, writes = 0, writesFailed = 0, unheldWrites = 0, addressWrites = 0;
};

TEST(Soak, RandomFaultsNeverLeaveTheToolWrongOrStuck)
{
    PtyConsole t(0.08, 7);
    Counts counts;
    t.link.onTransaction = [&](const torv::ModbusLink::Transaction& tr) {
        if (tr.function == 0x03) {
            ++counts.reads;
            counts.readsFailed += tr.ok ? 0 : 1;
            return;
        }
        ++counts.writes;
        if (!tr.ok) {
            ++counts.writesFailed;
            return;
        }
        // Acknowledged: the controller must hold the byte the tool sent.
        if (t.memory()[tr.start] != t.link.image.at(tr.address, tr.start))
            ++counts.unheldWrites;
        if (tr.start == 96)
            ++counts.addressWrites;
    };

    t.console.start();
    std::mt19937 random(11);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    // Fields the operator edits, with their ranges.
    const struct {
        const char* field;
        int lo, hi;
    } edits[] = {{"Edit5", 1, 60},  {"Edit8", 1, 60},  {"Edit11", 1, 60}, {"Edit14", 1, 60}, {"Edit13", 1, 60},
                 {"Edit3", 1, 30},  {"Edit15", 1, 30}, {"Edit16", 0, 99}, {"Edit17", 0, 50}, {"Edit21", 0, 99},
                 {"Edit25", 0, 99}, {"Edit47", 0, 50}};
    int writeBacks = 0, scans = 0, toggles = 0;
    const auto deadline = Clock::now() + std::chrono::seconds(40);
    while (Clock::now() < deadline) {
        const int action = pick(0, 9);
        if (action <= 3) {
            t.console.scanTick();
            ++scans;
        } else if (action == 4) {
            t.console.toggleScanning();
        } else if (action == 9) {
            t.panel.apply({torv::SetValue("CheckBox1", torv::Property::Checked, t.panel.checked("CheckBox1") ? 0 : 1)});
            ++toggles;
        } else {
            if (t.console.scanning())
                t.console.toggleScanning();
            if (!t.console.dataLoaded()) {
                t.console.toggleScanning(); // START reads the window...
                if (t.console.scanning())
                    t.console.toggleScanning(); // ...and STOP leaves it loaded
            }
            for (int n = pick(2, 5); n > 0; --n) {
                const auto& e = edits[pick(0, static_cast<int>(std::size(edits)) - 1)];
                t.panel.at(e.field).text = std::to_string(pick(e.lo, e.hi));
            }
            t.console.writeBack();
            ++writeBacks;
        }
    }

    // The line calms down: a module read must show exactly what the controller holds.
    {
        std::lock_guard<std::mutex> lock(t.server->mutex());
        t.line.options().randomFaults = 0.0;
    }
    // Replies delayed by the last faults (up to 1.5 s) are still on their way.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    if (t.console.scanning())
        t.console.toggleScanning();
    t.console.toggleScanning();
    ASSERT_TRUE(t.console.station().lastAnswered())
        << "the tool must still answer; last notice: " << (t.notifier.boxes.empty() ? "" : t.notifier.boxes.back().text);
    const auto memory = t.memory();
    for (int byte = 96; byte <= 157; ++byte) {
        if (byte == 127) // actuator lamps follow the chamber from moment to moment
            continue;
        EXPECT_EQ(t.link.image.at(1, byte), memory[byte]) << "byte " << byte;
    }
    EXPECT_EQ(t.panel.text("Edit5"), std::to_string(memory[112]));
    EXPECT_EQ(t.panel.text("Edit16"), std::to_string(memory[106]));
    EXPECT_EQ(t.panel.text("Edit47"), std::to_string(memory[157]));
    EXPECT_EQ(t.panel.checked("CheckBox1"), memory[125] != 0);
    t.console.scanTick();
    EXPECT_EQ(t.panel.text("Label35"), "TEST ModBUS = OK");
    EXPECT_EQ(counts.unheldWrites, 0) << "a write reported as done that the controller does not hold";
    EXPECT_EQ(counts.addressWrites, 0) << "nobody asked for an address change";
    EXPECT_EQ(t.controllerAddress(), 1);

    std::cout << "soak: " << counts.reads << " reads (" << counts.readsFailed << " failed), " << counts.writes
              << " writes (" << counts.writesFailed << " failed), " << writeBacks << " write-backs, " << scans
              << " scans, " << toggles << " alarm toggles, " << t.notifier.boxes.size() << " notices, "
              << counts.unheldWrites << " unheld writes" << std::endl;
    RecordProperty("reads", counts.reads);
    RecordProperty("writes", counts.writes);
    EXPECT_GT(counts.readsFailed, 0) << "the faults must have bitten";
    EXPECT_GT(counts.writes - counts.writesFailed, 0) << "and some writes must have gone through";
}

TEST(Unplug, LineVanishingMidScanIsReportedAndRecoveredByReselecting)
{
    PtyConsole t;
    t.console.start();
    ASSERT_TRUE(t.console.scanning());
    const unsigned before = t.requests();
    std::thread unplug([&] {
        // As soon as the scan's first request is in, the adapter goes.
        for (int i = 0; i < 500 && t.requests() == before; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        t.server->stop();
    });
    t.console.scanTick();
    unplug.join();
    EXPECT_EQ(t.panel.text("Label35"), "TEST ModBUS ERROR !");
    t.console.scanTick(); // still running, still reporting
    EXPECT_EQ(t.panel.text("Label35"), "TEST ModBUS ERROR !");
    EXPECT_EQ(t.console.errorCount(), 2);

    t.serve(); // the adapter is back
    t.panel.at("ComboBox2").listIndex = 0;
    t.console.choosePort(); // the operator reselects the port
    ASSERT_TRUE(t.link.PortOpen);
    t.console.scanTick();
    EXPECT_EQ(t.panel.text("Label35"), "TEST ModBUS = OK");
}

} // namespace
