#pragma once
#include <string>
#include <vector>

#include "files/log_appender.h"
#include "plant/alarms.h"

namespace torv::plant {

// The alarm log: one CSV line per alarm event (raised, cleared, acknowledged),
// one file per local day beside the drying log's files.

// "alarmy-2026-12-08.csv": the file for the day of `t`.
std::string AlarmLogFileName(const drying_log::LocalTime& t);
// "time,address,kind,event,value".
std::string AlarmLogHeaderLine();
// An event as its line, without line break: the time as IsoTime, the kind by
// its key, the value quoted when it holds a comma, a quote or a line break.
std::string AlarmLogLine(const AlarmEvent& event);

// Appends events under `<baseDir>/pomiary/` with the drying log's durability
// and file checks: each line on the disk before append() returns, problems
// reported once and never thrown (see LogAppender).
class AlarmLog {
public:
    using Reporter = LogAppender::Reporter;

    // The reporter defaults to stderr.
    explicit AlarmLog(std::string baseDir, Reporter reporter = {});
    // A log whose files go straight into `directory`, not into a pomiary/ folder below it.
    static AlarmLog InDirectory(std::string directory, Reporter reporter = {});

    // True when the event's line is on the disk.
    bool append(const AlarmEvent& event);
    // Every event is tried; true when all are on the disk.
    bool append(const std::vector<AlarmEvent>& events);

    std::string makeDirectory() const { return log_.makeDirectory(); }
    const std::string& lastProblem() const { return log_.lastProblem(); }
    bool failing() const { return log_.failing(); }
    bool anyFailed() const { return log_.anyFailed(); }
    const std::string& directory() const { return log_.directory(); }

private:
    explicit AlarmLog(LogAppender log) : log_(std::move(log)) {}

    LogAppender log_;
};

} // namespace torv::plant
