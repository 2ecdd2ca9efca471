#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "app/console/console.h"
#include "app/console/headless_panel.h"
#include "cli/options.h"
#include "link/clock.h"
#include "link/modbus_link.h"
#include "settings/settings_file.h"

namespace torv::cli {

// "torv-cli: " and the text on stderr, the box's line breaks as new lines.
void Message(const std::string& text);
// A result on stdout.
void Print(const std::string& text);
// Flushes and closes stdout at the end: true when every result reached it,
// else says why on stderr (a full disk, a closed pipe's reader gone ...).
bool OutputWritten();

// The window's boxes as stderr messages, naming the chamber they are about.
// Questions are answered Cancel: nothing the program is asked to do changes
// how a controller answers (address, baud rate, parity).
class StderrNotifier final : public Notifier {
public:
    void notice(const std::string& text, const std::string& caption) override;
    void errorDialog(const std::string& text, const std::string& caption) override;
    bool question(const std::string& text, const std::string& caption) override;
    void beep() override {}

    // Keeps the boxes from here on instead of printing them.
    void hold() { holding_ = true; }
    std::vector<std::string> release();

    std::string chamber; // "komora 5", or empty

private:
    void say(const std::string& text);
    bool holding_ = false;
    std::vector<std::string> held_;
};

// The window's workings without the window: the settings, the port with its
// transactions on the real clock, and the console on a headless panel.
struct Bus {
    PortSettings settings;
    SteadyClock clock;
    StderrNotifier notifier;
    ModbusLink link{settings, clock, notifier};
    StderrNotifier settingsNotifier; // the console never saves settings here
    SettingsFile settingsFile{settingsNotifier};
    HeadlessPanel panel;
    Console console{link, settingsFile, notifier, panel};

    Bus();
    // The working directory's settings file when it is there and sound, the
    // options over it; then the port, opened as the window opens it.
    Exit open(const Options& options);
    // The same port opened anew (a USB adapter pulled and plugged back):
    // true when it could be; says so on stderr only when that changes.
    bool reopen();
    // The window's module read of `address` (the block read); true when it answered.
    bool blockRead(std::uint8_t address);
    void aboutChamber(std::uint8_t address);
    const ImageRow& row(std::uint8_t address) { return link.image.row(address); }

private:
    // Opens device_ with the settings' line; the reason on stderr when it cannot.
    bool openPort();
    std::string device_, portName_;
    bool portLost_ = false;
};

} // namespace torv::cli
