#include "settings/settings_file.h"

#include "settings/file_replace.h"
#include "settings/file_target.h"
#include "texts/settings_texts.h"

#include <utility>

namespace torv {

namespace {

// Reads up to `n` bytes; false on a read error (a directory, an I/O fault).
bool readUpTo(int fd, std::uint8_t* buffer, std::size_t n, std::size_t& got)
{
    got = 0;
    while (got < n) {
        std::size_t some = 0;
        if (files::ReadFromDescriptor(fd, reinterpret_cast<char*>(buffer) + got, n - got, some) != 0)
            return false;
        if (some == 0)
            break;
        got += some;
    }
    return true;
}

} // namespace

SettingsFile::SettingsFile(Notifier& notifier, std::string dir)
    : notifier_(notifier), dir_(dir.empty() ? std::string(".") : std::move(dir)), path_(dir_ + "/" + kSettingsFileName)
{
}

void SettingsFile::LoadSettings(PortSettings& s)
{
    SettingsBad = false;
    s = PortSettings{};

    // A FIFO or a device in the file's place is unreadable, not waited on.
    files::Contents refused;
    const int fd = files::OpenRegularFile(path_, refused);
    SettingsRecord record{};
    std::size_t got = 0;
    const bool readable = fd >= 0 && readUpTo(fd, record.data(), record.size(), got);
    if (fd >= 0)
        files::CloseDescriptor(fd);
    if (!readable) {
        SettingsBad = true;
        notifier_.notice(texts::kSettingsMissing, texts::kSettingsCaption);
        return;
    }
    if (!DecodeSettingsRecord(record.data(), got, s)) {
        SettingsBad = true;
        notifier_.notice(texts::kSettingsDamaged, texts::kSettingsCaption);
    }
}

void SettingsFile::SaveSettings(const PortSettings& s)
{
    if (writeReplacing(EncodeSettingsRecord(s))) {
        SettingsBad = false;
        return;
    }
    notifier_.notice(texts::kSettingsWriteBlocked, texts::kSettingsCaption);
}

bool SettingsFile::writeReplacing(const SettingsRecord& record)
{
    // Through a link, the file it points to is saved and the link stays.
    const files::Target found = files::SaveTarget(path_);
    if (!found.ok())
        return false;
    return files::ReplaceFileContents(found.path, record.data(), record.size());
}

} // namespace torv
