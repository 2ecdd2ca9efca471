#pragma once
#include <string>

#include "link/port_settings.h"
#include "settings/settings_record.h"
#include "texts/notifier.h"

namespace torv {

inline constexpr const char* kSettingsFileName = "Torv_LCD.set";

// The port settings and module address remembered between runs, in one
// small file of the working directory. The file is open only for the
// duration of one load or save.
class SettingsFile {
public:
    explicit SettingsFile(Notifier& notifier, std::string dir = ".");

    // Defaults first, then the file's values when it is present and sound.
    // A missing, unreadable or damaged file leaves the defaults, sets
    // SettingsBad and tells the operator why.
    void LoadSettings(PortSettings& s);

    // Replaces the file whole. The new record goes to a temporary file in the
    // same directory, reaches the disk, and only then takes the file's name,
    // so a failed save leaves the previous file as it was. A symbolic link is
    // followed and its target saved (a dangling link's target is created); a
    // write-protected file blocks the save; a writable file in a directory
    // that allows no new file is rewritten in place instead, without that
    // guarantee.
    void SaveSettings(const PortSettings& s);

    // True when the last load found no sound file; cleared by a successful save.
    bool SettingsBad = false;

    const std::string& path() const { return path_; }

private:
    bool writeReplacing(const SettingsRecord& record);

    Notifier& notifier_;
    std::string dir_;
    std::string path_;
};

} // namespace torv
