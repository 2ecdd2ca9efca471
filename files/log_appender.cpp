#include "files/log_appender.h"

#include <cstdio>
#include <filesystem>

#include "files/append_file.h"
#include "link/system_error_text.h"
#include "settings/file_target.h"

namespace torv {

namespace {

// Lines end in CRLF; the logs' readers take LF too.
constexpr std::string_view kLineBreak = "\r\n";

std::string errnoText(int error) { return SystemErrorText(error); }

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
    if (const int e = TryFileIn(dir); e != 0)
        return "cannot write in " + dir + ": " + errnoText(e);
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
    AppendFile file;
    int e = file.open(path);
    if (AppendFile::folderMissing(e)) {
        if (const int m = AppendFile::makeFolder(dir); m != 0)
            return problem(dir, "mkdir " + std::to_string(m), "cannot make " + dir + ": " + errnoText(m));
        e = file.open(path);
    }
    if (e != 0)
        return problem(path, "open " + std::to_string(e), "cannot open " + path + ": " + errnoText(e));

    bool regular = false;
    std::uint64_t size = 0;
    if (e = file.examine(regular, size); e != 0)
        return problem(path, "fstat " + std::to_string(e), "cannot examine " + path + ": " + errnoText(e));
    if (!regular) // swapped in after the look above
        return problem(path, "target", path + " is not a regular file");
    std::string data;
    if (size == 0) {
        data.append(header).append(kLineBreak);
    } else {
        char last = 0;
        if (e = file.byteAt(size - 1, last); e != 0)
            return problem(path, "read " + std::to_string(e), "cannot read " + path + ": " + errnoText(e));
        // Keep a line torn by a crash or a full disk on its own.
        if (last != '\n')
            data = kLineBreak;
    }
    data.append(line).append(kLineBreak);

    std::size_t written = 0;
    if (e = file.append(data, written); e != 0)
        return problem(path, "write " + std::to_string(e), "cannot write " + path + ": " + errnoText(e));
    if (written != data.size())
        return problem(path, "short write", "only part of a line reached " + path + " (disk full?)");
    if (e = file.flush(); e != 0)
        return problem(path, "fdatasync " + std::to_string(e), "cannot flush " + path + ": " + errnoText(e));
    // A new file's name must survive a power cut as well as its lines.
    if (size == 0)
        AppendFile::syncFolder(dir);
    if (e = file.close(); e != 0)
        return problem(path, "close " + std::to_string(e), "cannot close " + path + ": " + errnoText(e));
    lastFailed_ = false;
    writtenAgain(dir);
    writtenAgain(path);
    return true;
}

} // namespace torv
