#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "files/drying_log.h"
#include "files/log_appender.h"

namespace torv::drying_log {

// Appends the log's lines under `<baseDir>/pomiary/`, each on the disk before
// record() returns; problems are reported once and never stop the caller (see
// LogAppender).
class Writer {
public:
    using Reporter = LogAppender::Reporter;

    // The reporter defaults to stderr.
    Writer(std::string baseDir, TimeSource clock, Reporter reporter = {});
    // A writer whose files go straight into `directory` (made when missing),
    // not into a pomiary/ folder below it.
    static Writer InDirectory(std::string directory, TimeSource clock, Reporter reporter = {});

    // The line for `address` from its image row, stamped with the clock;
    // true when it is on the disk.
    bool record(int address, const ImageRow& row, Status status);
    // Makes the folder with its parents and tries a file in it, for a caller
    // that would rather refuse to start than log nothing: the problem, or
    // empty when lines can go there.
    std::string makeDirectory() const { return log_.makeDirectory(); }
    // Appends `row` to its controller's file of its day; true when it is on the disk.
    bool append(const Row& row);

    // The last problem reported, empty when none has been yet.
    const std::string& lastProblem() const { return log_.lastProblem(); }
    // True while the last line could not be written.
    bool failing() const { return log_.failing(); }
    // True once any line could not be written, though later ones were.
    bool anyFailed() const { return log_.anyFailed(); }
    std::string directory() const { return log_.directory(); }

private:
    Writer(LogAppender log, TimeSource clock);

    LogAppender log_;
    TimeSource clock_;
};

} // namespace torv::drying_log
