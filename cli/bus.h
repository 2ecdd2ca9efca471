#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "cli/options.h"
#include "link/clock.h"
#include "link/modbus_link.h"
#include "settings/settings_file.h"
#include "station/station.h"
#include "texts/transaction_boxes.h"

namespace torv::cli {

// "torv-cli: " and the text on stderr, the box's line breaks as new lines.
void Message(const std::string& text);
// A result on stdout.
void Print(const std::string& text);
// Flushes and closes stdout at the end: true when every result reached it,
// else says why on stderr (a full disk, a closed pipe's reader gone ...).
bool OutputWritten();

// The settings file's complaints, kept to be told once with the file's name.
class SettingsProblems final : public Notifier {
public:
    void notice(const std::string& text, const std::string&) override { texts.push_back(text); }
    void errorDialog(const std::string& text, const std::string&) override { texts.push_back(text); }
    bool question(const std::string&, const std::string&) override { return false; }
    void beep() override {}
    std::vector<std::string> texts;
};

// "komora 5", the chamber a message is about.
std::string Chamber(std::uint8_t address);
// The failure `result` reports, as a line naming its chamber; nothing when none.
void TellFailure(const Result& result);

// The line without the window: the settings, the port with its transactions
// on the real clock, and the station on it.
struct Bus {
    PortSettings settings;
    SteadyClock clock;
    ModbusLink link{settings, clock};
    Station station{link};
    SettingsProblems settingsProblems; // the settings file is read, never written, here
    SettingsFile settingsFile{settingsProblems};

    // The working directory's settings file when it is there and sound, the
    // options over it; then the port, opened as the window opens it.
    Exit open(const Options& options);
    // The same port opened anew (a USB adapter pulled and plugged back):
    // true when it could be; says so on stderr only when that changes.
    bool reopen();
    // The module read of `address` (the block read); its failure told on stderr.
    Result blockRead(std::uint8_t address);

private:
    // Opens device_ with the settings' line; the reason on stderr when it cannot.
    bool openPort();
    std::string device_, portName_;
    bool portLost_ = false;
    bool parityLeftOffTold_ = false; // once a run, not at every reopening
};

} // namespace torv::cli
