#pragma once
#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace torv {

// Appends lines to the CSV files of one log folder, a header line first in a
// new file. Each line goes to its file with one write and is flushed to the
// disk (AppendFile::flush) before append() returns, so a kill loses at most the line
// being written. The file is opened per line, so a removed folder is made
// again and a freed disk takes the next line. Problems never stop the caller:
// each file's (or the folder's) is reported once when it starts, and once
// more when that file takes a line again; the lines of other files meanwhile
// say nothing. The last is kept for a later look.
class LogAppender {
public:
    using Reporter = std::function<void(const std::string& text)>;

    // Reports start with `logName` ("drying log: ..."); the reporter defaults to stderr.
    LogAppender(std::string directory, std::string logName, Reporter reporter = {});

    // Makes the folder with its parents and tries a file in it, for a caller
    // that would rather refuse to start than log nothing: the problem, or
    // empty when lines can go there.
    std::string makeDirectory() const;
    // Appends `line` (no line break) to `fileName` in the folder, `header`
    // first when the file is new; true when it is on the disk.
    bool append(const std::string& fileName, std::string_view header, std::string_view line);

    // The last problem reported, empty when none has been yet.
    const std::string& lastProblem() const { return lastProblem_; }
    // True while the last line could not be written.
    bool failing() const { return lastFailed_; }
    // True once any line could not be written, though later ones were.
    bool anyFailed() const { return anyFailed_; }
    const std::string& directory() const { return directory_; }

private:
    // `where` is the file, or the folder when it cannot be made.
    bool problem(const std::string& where, const std::string& cause, const std::string& text);
    void writtenAgain(const std::string& where);

    std::string directory_;
    std::string logName_;
    Reporter reporter_;
    std::string lastProblem_;
    std::map<std::string, std::string> failing_; // where -> the cause last told
    bool lastFailed_ = false;
    bool anyFailed_ = false;
};

} // namespace torv
