#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "controller/drying_log.h"

namespace torv::drying_log {

// Appends the log's lines under `<baseDir>/pomiary/`. Each line goes to its
// file with one write and is flushed to the disk (fdatasync) before record()
// returns, so a kill loses at most the line being written. The file is opened
// per line, so a removed folder is made again and a freed disk takes the next
// line. Problems never stop the caller: each is reported once (the same
// cause again stays quiet until a line has been written) and kept for a
// later look.
class Writer {
public:
    using Reporter = std::function<void(const std::string& text)>;

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
    std::string makeDirectory() const;
    // Appends `row` to its controller's file of its day; true when it is on the disk.
    bool append(const Row& row);

    // The last problem reported, empty when none has been yet.
    const std::string& lastProblem() const { return lastProblem_; }
    // True while the last line could not be written.
    bool failing() const { return !failingCause_.empty(); }
    // True once any line could not be written, though later ones were.
    bool anyFailed() const { return anyFailed_; }
    std::string directory() const;

private:
    bool problem(const std::string& cause, const std::string& text);

    std::string directory_;
    TimeSource clock_;
    Reporter reporter_;
    std::string lastProblem_;
    std::string failingCause_;
    bool anyFailed_ = false;
};

} // namespace torv::drying_log
