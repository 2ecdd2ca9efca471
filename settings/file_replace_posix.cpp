// Whole-file replacement on POSIX: mkstemp, fsync, rename, and the folder synced.
#include "settings/file_replace.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "settings/file_target.h"

namespace torv::files {

namespace {

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

// The bytes go to a temporary file beside the target, reaches the disk,
// and only then takes the target's name.
Replace replaceWhole(const std::string& target, const std::string& dir, mode_t mode, const std::uint8_t* data,
                     std::size_t size)
{
    std::string tmpl = target + ".XXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0)
        return Replace::DirectoryRefused;
    const std::string tmpPath(name.data());

    bool ok = ::fchmod(fd, mode) == 0;
    ok = ok && writeAll(fd, data, size);
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

// Overwrites an open file from its start and cuts it to the new length.
bool rewriteInPlace(int fd, const std::uint8_t* data, std::size_t size)
{
    return writeAll(fd, data, size) && ::ftruncate(fd, static_cast<off_t>(size)) == 0 && ::fsync(fd) == 0;
}

} // namespace

bool ReplaceFileContents(const std::string& target, const std::uint8_t* data, std::size_t size)
{
    const std::string dir = DirectoryOf(target);

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
    switch (replaceWhole(target, dir, mode, data, size)) {
    case Replace::Done:
        ok = true;
        break;
    case Replace::Failed:
        break;
    case Replace::DirectoryRefused:
        // A directory that takes no new names still lets a writable file be
        // rewritten; without the rename's safety, but the save is not lost.
        ok = existing >= 0 && rewriteInPlace(existing, data, size);
        break;
    }
    if (existing >= 0)
        ::close(existing); // a rewrite was already synced
    return ok;
}

} // namespace torv::files
