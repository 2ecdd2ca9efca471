#include "settings/settings_file.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace torv {

namespace {

// Reads up to `n` bytes; false on a read error (a directory, an I/O fault).
bool readUpTo(int fd, std::uint8_t* buffer, std::size_t n, std::size_t& got)
{
    got = 0;
    while (got < n) {
        const ssize_t r = ::read(fd, buffer + got, n - got);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (r == 0)
            break;
        got += static_cast<std::size_t>(r);
    }
    return true;
}

bool writeAll(int fd, const std::uint8_t* data, std::size_t n)
{
    std::size_t done = 0;
    while (done < n) {
        const ssize_t w = ::write(fd, data + done, n - done);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<std::size_t>(w);
    }
    return true;
}

// Makes the rename itself durable; a failure here does not undo the save.
void syncDirectory(const std::string& dir)
{
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
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

    const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    SettingsRecord record{};
    std::size_t got = 0;
    const bool readable = fd >= 0 && readUpTo(fd, record.data(), record.size(), got);
    if (fd >= 0)
        ::close(fd);
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
    std::string tmpl = path_ + ".XXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0)
        return false;
    const std::string tmpPath(name.data());

    // Keep the permissions an existing file had; a new one is readable by all.
    struct stat old {};
    const mode_t mode = ::stat(path_.c_str(), &old) == 0 && S_ISREG(old.st_mode) ? (old.st_mode & 07777) : 0644;

    bool ok = ::fchmod(fd, mode) == 0;
    ok = ok && writeAll(fd, record.data(), record.size());
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(tmpPath.c_str(), path_.c_str()) == 0;
    if (!ok) {
        ::unlink(tmpPath.c_str());
        return false;
    }
    syncDirectory(dir_);
    return true;
}

} // namespace torv
