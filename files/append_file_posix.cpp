#include "files/append_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace torv {

namespace {
int fdOf(std::intptr_t handle) { return static_cast<int>(handle); }
} // namespace

AppendFile::~AppendFile() { close(); }

int AppendFile::open(const std::string& path)
{
    // Read access too: the last byte tells whether the file ends in a torn line.
    const int flags = O_RDWR | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    const int fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0)
        return errno;
    handle_ = fd;
    return 0;
}

bool AppendFile::folderMissing(int error) { return error == ENOENT; }

int AppendFile::makeFolder(const std::string& dir)
{
    return ::mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST ? errno : 0;
}

int AppendFile::examine(bool& regular, std::uint64_t& size)
{
    struct stat st {};
    if (::fstat(fdOf(handle_), &st) != 0)
        return errno;
    regular = S_ISREG(st.st_mode);
    size = static_cast<std::uint64_t>(st.st_size);
    return 0;
}

int AppendFile::byteAt(std::uint64_t offset, char& byte)
{
    const ssize_t n = ::pread(fdOf(handle_), &byte, 1, static_cast<off_t>(offset));
    return n == 1 ? 0 : n < 0 ? errno : EIO;
}

int AppendFile::append(std::string_view data, std::size_t& written)
{
    ssize_t n = -1;
    do
        n = ::write(fdOf(handle_), data.data(), data.size());
    while (n < 0 && errno == EINTR);
    if (n < 0)
        return errno;
    written = static_cast<std::size_t>(n);
    return 0;
}

int AppendFile::flush() { return ::fdatasync(fdOf(handle_)) != 0 ? errno : 0; }

void AppendFile::syncFolder(const std::string& dir)
{
    const int d = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (d >= 0) {
        ::fsync(d); // some file systems cannot; the lines are safe already
        ::close(d);
    }
}

int AppendFile::close()
{
    if (handle_ < 0)
        return 0;
    const int fd = fdOf(handle_);
    handle_ = -1;
    return ::close(fd) != 0 ? errno : 0;
}

int TryFileIn(const std::string& dir)
{
    std::string trial = dir + "/.torv-trial-XXXXXX";
    const int fd = ::mkstemp(trial.data());
    if (fd < 0)
        return errno;
    ::close(fd);
    ::unlink(trial.c_str());
    return 0;
}

} // namespace torv
