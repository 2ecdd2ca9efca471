// The file checks on POSIX: lstat, links followed one at a time, descriptors.
#include "settings/file_target.h"

#include <cerrno>
#include <climits>
#include <cstring> // strlen
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace torv::files {

namespace {

constexpr int kMaxLinkHops = 40; // as the kernel's own limit

FileKind kindOf(mode_t mode)
{
    switch (mode & S_IFMT) {
    case S_IFREG: return FileKind::Regular;
    case S_IFCHR:
    case S_IFBLK: return FileKind::Device;
    case S_IFIFO: return FileKind::Fifo;
    case S_IFDIR: return FileKind::Directory;
    case S_IFSOCK: return FileKind::Socket;
    default: return FileKind::Other;
    }
}

} // namespace

Target SaveTarget(const std::string& path)
{
    Target t;
    std::string name = path;
    for (int hops = 0; hops < kMaxLinkHops; ++hops) {
        struct stat st {};
        if (::lstat(name.c_str(), &st) != 0) {
            t.path = name;
            if (errno != ENOENT) {
                t.refusal = Refusal::Unresolvable;
                t.error = errno;
            }
            return t;
        }
        if (!S_ISLNK(st.st_mode)) {
            t.path = name;
            t.exists = true;
            t.type = kindOf(st.st_mode);
            if (!S_ISREG(st.st_mode))
                t.refusal = Refusal::NotRegular;
            return t;
        }
        char link[PATH_MAX];
        const ssize_t n = ::readlink(name.c_str(), link, sizeof link);
        if (n <= 0 || static_cast<std::size_t>(n) >= sizeof link) {
            t.path = name;
            t.refusal = Refusal::Unresolvable;
            t.error = n < 0 ? errno : ENAMETOOLONG;
            return t;
        }
        const std::string next(link, static_cast<std::size_t>(n));
        name = next.front() == '/' ? next : DirectoryOf(name) + "/" + next;
    }
    t.path = name;
    t.refusal = Refusal::Unresolvable;
    t.error = ELOOP;
    return t;
}

int OpenRegularFile(const std::string& path, Contents& c)
{
    const auto refuse = [&c](Refusal r, int error) {
        c.refusal = r;
        c.error = error;
        return -1;
    };
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return refuse(Refusal::Unreadable, errno);
    c.type = kindOf(st.st_mode);
    if (!S_ISREG(st.st_mode))
        return refuse(Refusal::NotRegular, 0);

    // Without waiting, and never becoming a controlling terminal.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return refuse(Refusal::Unreadable, errno);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int e = errno;
        ::close(fd);
        c.type = kindOf(st.st_mode);
        return S_ISREG(st.st_mode) ? refuse(Refusal::Unreadable, e) : refuse(Refusal::NotRegular, 0);
    }
    c.size = static_cast<unsigned long long>(st.st_size);
    return fd;
}

int InheritedDescriptor(const std::string& path)
{
    if (path == "/dev/stdin")
        return 0;
    for (const char* prefix : {"/dev/fd/", "/proc/self/fd/"}) {
        const std::size_t n = std::strlen(prefix);
        if (path.size() <= n || path.size() > n + 4 || path.compare(0, n, prefix) != 0)
            continue;
        int fd = 0;
        for (std::size_t i = n; i < path.size(); ++i) {
            if (path[i] < '0' || path[i] > '9')
                return -1;
            fd = fd * 10 + (path[i] - '0');
        }
        return ::fcntl(fd, F_GETFD) == -1 ? -1 : fd;
    }
    return -1;
}

int ReadFromDescriptor(int fd, char* buffer, std::size_t n, std::size_t& got)
{
    got = 0;
    for (;;) {
        const ssize_t r = ::read(fd, buffer, n);
        if (r >= 0) {
            got = static_cast<std::size_t>(r);
            return 0;
        }
        if (errno != EINTR)
            return errno;
    }
}

void CloseDescriptor(int fd) { ::close(fd); }

} // namespace torv::files
