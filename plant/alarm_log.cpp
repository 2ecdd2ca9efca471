#include "plant/alarm_log.h"

namespace torv::plant {

namespace {

constexpr const char* kLogName = "alarm log";

std::string twoDigits(int v) { return (v < 10 ? "0" : "") + std::to_string(v); }

// RFC 4180: a field with a separator, a quote or a line break goes in quotes, its quotes doubled.
std::string csvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (const char c : text)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

} // namespace

std::string AlarmLogFileName(const drying_log::LocalTime& t)
{
    return "alarmy-" + std::to_string(t.year) + "-" + twoDigits(t.month) + "-" + twoDigits(t.day) + ".csv";
}

std::string AlarmLogHeaderLine() { return "time,address,kind,event,value"; }

std::string AlarmLogLine(const AlarmEvent& e)
{
    return drying_log::IsoTime(e.time) + "," + std::to_string(e.id.address) + "," + std::string(AlarmKey(e.id.kind)) +
           "," + std::string(AlarmEventKey(e.type)) + "," + csvField(e.value);
}

AlarmLog::AlarmLog(std::string baseDir, Reporter reporter)
    : log_(std::move(baseDir) + "/" + drying_log::kDirectory, kLogName, std::move(reporter))
{
}

AlarmLog AlarmLog::InDirectory(std::string directory, Reporter reporter)
{
    return AlarmLog(LogAppender(std::move(directory), kLogName, std::move(reporter)));
}

bool AlarmLog::append(const AlarmEvent& event)
{
    return log_.append(AlarmLogFileName(event.time), AlarmLogHeaderLine(), AlarmLogLine(event));
}

bool AlarmLog::append(const std::vector<AlarmEvent>& events)
{
    bool all = true;
    for (const AlarmEvent& e : events)
        all = append(e) && all;
    return all;
}

} // namespace torv::plant
