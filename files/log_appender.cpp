#include "files/log_appender.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "settings/file_target.h"

namespace torv {

namespace {

// Lines end in CRLF; the logs' readers take LF too.
constexpr std::string_view kLineBreak = "\r\n";

std::string errnoText(int error) { return std::strerror(error); }

// Closes on every way out of append().
struct Fd {
    int fd = -1;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

LogAppender::LogAppender(std::string directory, std::string logName, Reporter reporter)
    : directory_(std::move(directory)), logName_(std::move(logName)), reporter_(std::move(reporter))
{
    if (!reporter_)
        reporter_ = [](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); };
}

std::string LogAppender::makeDirectory() const
{
    const std::string& dir = directory_;
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error)
        return "cannot make " + dir + ": " + error.message();
    // Permissions alone do not tell (root, a read-only mount): a trial file does.
    std::string trial = dir + "/.torv-trial-XXXXXX";
    const int fd = ::mkstemp(trial.data());
    if (fd < 0)
        return "cannot write in " + dir + ": " + errnoText(errno);
    ::close(fd);
    ::unlink(trial.c_str());
    return {};
}

bool LogAppender::problem(const std::string& where, const std::string& cause, const std::string& text)
{
    anyFailed_ = true;
    lastFailed_ = true;
    if (std::string& told = failing_[where]; told != cause) {
        told = cause;
        lastProblem_ = logName_ + ": " + text;
        reporter_(lastProblem_);
    }
    return false;
}

void LogAppender::writtenAgain(const std::string& where)
{
    if (failing_.erase(where) != 0)
        reporter_(logName_ + ": writing again to " + where);
}

bool LogAppender::append(const std::string& fileName, std::string_view header, std::string_view line)
{
    const std::string& dir = directory_;
    const std::string path = dir + "/" + fileName;
    // Lines go only to a regular file: a device, a FIFO or a folder under the
    // file's name (directly or through a link) is neither opened nor written.
    if (const files::Target target = files::SaveTarget(path); target.refusal == files::Refusal::NotRegular)
        return problem(path, "target",
                       path + " " + files::RefusalTextEnglish(target.refusal, target.type, target.error));
    // Read access too: the last byte tells whether the file ends in a torn line.
    const int flags = O_RDWR | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    Fd file{::open(path.c_str(), flags, 0666)};
    if (file.fd < 0 && errno == ENOENT) {
        if (::mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) {
            const int e = errno;
            return problem(dir, "mkdir " + std::to_string(e), "cannot make " + dir + ": " + errnoText(e));
        }
        file.fd = ::open(path.c_str(), flags, 0666);
    }
    if (file.fd < 0) {
        const int e = errno;
        return problem(path, "open " + std::to_string(e), "cannot open " + path + ": " + errnoText(e));
    }

    struct stat st {};
    if (::fstat(file.fd, &st) != 0) {
        const int e = errno;
        return problem(path, "fstat " + std::to_string(e), "cannot examine " + path + ": " + errnoText(e));
    }
    if (!S_ISREG(st.st_mode)) // swapped in after the look above
        return problem(path, "target", path + " is not a regular file");
    std::string data;
    if (st.st_size == 0) {
        data.append(header).append(kLineBreak);
    } else {
        char last = 0;
        if (::pread(file.fd, &last, 1, st.st_size - 1) != 1) {
            const int e = errno;
            return problem(path, "read " + std::to_string(e), "cannot read " + path + ": " + errnoText(e));
        }
        // Keep a line torn by a crash or a full disk on its own.
        if (last != '\n')
            data = kLineBreak;
    }
    data.append(line).append(kLineBreak);

    ssize_t n = -1;
    do
        n = ::write(file.fd, data.data(), data.size());
    while (n < 0 && errno == EINTR);
    if (n < 0) {
        const int e = errno;
        return problem(path, "write " + std::to_string(e), "cannot write " + path + ": " + errnoText(e));
    }
    if (static_cast<std::size_t>(n) != data.size())
        return problem(path, "short write", "only part of a line reached " + path + " (disk full?)");
    if (::fdatasync(file.fd) != 0) {
        const int e = errno;
        return problem(path, "fdatasync " + std::to_string(e), "cannot flush " + path + ": " + errnoText(e));
    }
    if (st.st_size == 0) {
        // A new file's name must survive a power cut as well as its lines.
        const int d = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (d >= 0) {
            ::fsync(d); // some file systems cannot; the lines are safe already
            ::close(d);
        }
    }
    const int fd = file.fd;
    file.fd = -1;
    if (::close(fd) != 0) {
        const int e = errno;
        return problem(path, "close " + std::to_string(e), "cannot close " + path + ": " + errnoText(e));
    }
    lastFailed_ = false;
    writtenAgain(dir);
    writtenAgain(path);
    return true;
}

} // namespace torv
