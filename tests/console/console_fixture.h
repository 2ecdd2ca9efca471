#pragma once
#include <memory>
#include <string>

#include "app/console/console.h"
#include "recorded_panel.h"
#include "sim/line.h"
#include "sim/sim_port.h"
#include "support/child_process.h"
#include "support/recording_notifier.h"

namespace torv::testing {

// A console wired to simulated controllers on a virtual clock, with its
// settings file in a temporary directory.
struct ConsoleFixture {
    TempDir dir;
    VirtualClock clock;
    sim::Line line;
    RecordingNotifier notifier;
    PortSettings settings;
    ModbusLink link{settings, clock};
    SettingsFile settingsFile{notifier, dir.path()};
    RecordedPanel panel;
    Console console{link, settingsFile, notifier, panel};
    bool portFails = false;

    ConsoleFixture()
    {
        console.useSeparator(",");
        link.workDir = dir.path();
        link.opener = [this](const std::string&, std::uint8_t, std::uint8_t) -> std::unique_ptr<Port> {
            if (portFails)
                return nullptr;
            return std::make_unique<sim::SimPort>(line, clock);
        };
        panel.onCheckBoxClick = [this] { console.switchAlarm(); };
    }

    // Writes a settings file for the next start-up (no notices).
    void saveSettings(std::uint8_t moduleAddress, PortSettings s = {})
    {
        s.ModuleAddress = moduleAddress;
        RecordingNotifier quiet;
        SettingsFile(quiet, dir.path()).SaveSettings(s);
    }
    PortSettings loadSavedSettings()
    {
        PortSettings s;
        RecordingNotifier quiet;
        SettingsFile(quiet, dir.path()).LoadSettings(s);
        return s;
    }
    // Start-up with a settings file naming `address`.
    void startAt(std::uint8_t address)
    {
        saveSettings(address);
        console.start();
    }
    // From "read, then stopped" at controller `c` to whether the module is
    // read and scanning is on, as the operator gets there: START; a read the
    // controller does not answer; or, scanning, choosing its address again
    // while it answers the probe but not the block read. The boxes go.
    void arrange(sim::Controller& c, bool loaded, bool scanning)
    {
        if (scanning)
            console.toggleScanning();
        if (!loaded && !scanning) {
            c.faults().silent = true;
            console.toggleScanning();
            c.faults().silent = false;
        }
        if (!loaded && scanning) {
            c.faults().failFrom = c.requests() + 2;
            console.chooseAddress();
            c.faults().failFrom = 0;
        }
        ASSERT_EQ(console.dataLoaded(), loaded);
        ASSERT_EQ(console.scanning(), scanning);
        notifier.boxes.clear();
    }
    unsigned requestsTo(std::uint8_t address)
    {
        sim::Controller* c = line.find(address);
        return c ? c->requests() : 0;
    }
    unsigned writesTo(std::uint8_t address)
    {
        sim::Controller* c = line.find(address);
        return c ? c->writes() : 0;
    }
    const RecordedPanel::Control& ctl(const std::string& name) const { return panel.get(name); }
    std::vector<std::string> boxTexts() const
    {
        std::vector<std::string> t;
        for (const auto& b : notifier.boxes)
            t.push_back(b.text);
        return t;
    }
};

} // namespace torv::testing
