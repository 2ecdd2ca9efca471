#include "settings/file_target.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace torv::files {

namespace {

constexpr int kMaxLinkHops = 40; // as the kernel's own limit

const char* typeNamePl(mode_t type)
{
    switch (type) {
    case S_IFCHR:
    case S_IFBLK: return "urządzenie";
    case S_IFIFO: return "potok (FIFO)";
    case S_IFDIR: return "katalog";
    case S_IFSOCK: return "gniazdo";
    default: return "nie zwykły plik";
    }
}

const char* typeNameEn(mode_t type)
{
    switch (type) {
    case S_IFCHR:
    case S_IFBLK: return "a device";
    case S_IFIFO: return "a FIFO";
    case S_IFDIR: return "a directory";
    case S_IFSOCK: return "a socket";
    default: return "something else";
    }
}

} // namespace

std::string DirectoryOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

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
            t.type = st.st_mode & S_IFMT;
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
    c.type = st.st_mode & S_IFMT;
    if (!S_ISREG(st.st_mode))
        return refuse(Refusal::NotRegular, 0);

    // Without waiting, and never becoming a controlling terminal.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return refuse(Refusal::Unreadable, errno);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int e = errno;
        ::close(fd);
        c.type = st.st_mode & S_IFMT;
        return S_ISREG(st.st_mode) ? refuse(Refusal::Unreadable, e) : refuse(Refusal::NotRegular, 0);
    }
    return fd;
}

Contents ReadRegularFile(const std::string& path, std::size_t maxBytes)
{
    Contents c;
    const auto refuse = [&c](Refusal r, int error) {
        c.refusal = r;
        c.error = error;
        c.bytes.clear();
        return c;
    };
    const int fd = OpenRegularFile(path, c);
    if (fd < 0)
        return c;
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return refuse(Refusal::Unreadable, errno);
    c.size = static_cast<unsigned long long>(st.st_size);
    if (c.size > maxBytes)
        return refuse(Refusal::TooLarge, 0);

    Contents rest = ReadDescriptor(fd, maxBytes);
    rest.type = c.type;
    rest.size = std::max<unsigned long long>(c.size, rest.size);
    return rest;
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

Contents ReadDescriptor(int fd, std::size_t maxBytes)
{
    Contents c;
    // One byte past the limit tells a file that is too large (or grew).
    char buffer[8192];
    for (;;) {
        const ssize_t r = ::read(fd, buffer, sizeof buffer);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            c.refusal = Refusal::Unreadable;
            c.error = errno;
            c.bytes.clear();
            return c;
        }
        if (r == 0)
            break;
        c.bytes.append(buffer, static_cast<std::size_t>(r));
        c.size = c.bytes.size();
        if (c.bytes.size() > maxBytes) {
            c.refusal = Refusal::TooLarge;
            c.bytes.clear();
            return c;
        }
    }
    return c;
}

std::string RefusalText(Refusal refusal, mode_t type, int error)
{
    switch (refusal) {
    case Refusal::None: return {};
    case Refusal::NotRegular: return std::string("to nie jest zwykły plik, lecz ") + typeNamePl(type);
    case Refusal::Unresolvable: return std::string("nie można ustalić pliku docelowego: ") + std::strerror(error);
    case Refusal::Unreadable: return std::string("nie można otworzyć pliku: ") + std::strerror(error);
    case Refusal::TooLarge: return "plik jest za duży";
    }
    return {};
}

std::string RefusalTextEnglish(Refusal refusal, mode_t type, int error)
{
    switch (refusal) {
    case Refusal::None: return {};
    case Refusal::NotRegular: return std::string("is ") + typeNameEn(type) + ", not a regular file";
    case Refusal::Unresolvable: return std::string("cannot be followed to a file: ") + std::strerror(error);
    case Refusal::Unreadable: return std::string("cannot be read: ") + std::strerror(error);
    case Refusal::TooLarge: return "is too large";
    }
    return {};
}

} // namespace torv::files
