#include "settings/settings_file.h"

#include "settings/file_target.h"
#include "texts/settings_texts.h"

#include <cerrno>
#include <climits>
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

enum class Replace { Done, Failed, DirectoryRefused };

// The record goes to a temporary file beside the target, reaches the disk,
// and only then takes the target's name.
Replace replaceWhole(const std::string& target, const std::string& dir, mode_t mode, const SettingsRecord& record)
{
    std::string tmpl = target + ".XXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0)
        return Replace::DirectoryRefused;
    const std::string tmpPath(name.data());

    bool ok = ::fchmod(fd, mode) == 0;
    ok = ok && writeAll(fd, record.data(), record.size());
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (!ok) {
        ::unlink(tmpPath.c_str());
        return Replace::Failed;
    }
    if (::rename(tmpPath.c_str(), target.c_str()) != 0) {
        // A sticky directory lets us create our own file but not replace
        // another user's.
        const int err = errno;
        ::unlink(tmpPath.c_str());
        return err == EACCES || err == EPERM ? Replace::DirectoryRefused : Replace::Failed;
    }
    syncDirectory(dir);
    return Replace::Done;
}

// Overwrites an open file from its start and cuts it to the record.
bool rewriteInPlace(int fd, const SettingsRecord& record)
{
    return writeAll(fd, record.data(), record.size()) && ::ftruncate(fd, static_cast<off_t>(record.size())) == 0 &&
           ::fsync(fd) == 0;
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
    // Through a link, the file it points to is saved and the link stays.
    const files::Target found = files::SaveTarget(path_);
    if (!found.ok())
        return false;
    const std::string& target = found.path;
    const std::string dir = files::DirectoryOf(target);

    // The rename would replace a write-protected file as readily as any
    // other, so an existing file must first open for writing. Only regular
    // files: opening a device or a FIFO could have effects of its own.
    int existing = -1;
    struct stat old {};
    if (::lstat(target.c_str(), &old) == 0) {
        if (!S_ISREG(old.st_mode))
            return false;
        existing = ::open(target.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (existing < 0)
            return false;
        if (::fstat(existing, &old) != 0 || !S_ISREG(old.st_mode)) {
            ::close(existing);
            return false;
        }
    } else if (errno != ENOENT) {
        return false;
    }
    // Keep the permissions an existing file had; a new one is readable by all.
    const mode_t mode = existing >= 0 ? (old.st_mode & 07777) : 0644;

    bool ok = false;
    switch (replaceWhole(target, dir, mode, record)) {
    case Replace::Done:
        ok = true;
        break;
    case Replace::Failed:
        break;
    case Replace::DirectoryRefused:
        // A directory that takes no new names still lets a writable file be
        // rewritten; without the rename's safety, but the save is not lost.
        ok = existing >= 0 && rewriteInPlace(existing, record);
        break;
    }
    if (existing >= 0)
        ::close(existing); // a rewrite was already synced
    return ok;
}

} // namespace torv
