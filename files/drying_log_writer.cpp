#include "files/drying_log_writer.h"

namespace torv::drying_log {

namespace {
constexpr const char* kLogName = "drying log";
}

Writer::Writer(std::string baseDir, TimeSource clock, Reporter reporter)
    : Writer(LogAppender(std::move(baseDir) + "/" + kDirectory, kLogName, std::move(reporter)), std::move(clock))
{
}

Writer::Writer(LogAppender log, TimeSource clock) : log_(std::move(log)), clock_(std::move(clock)) {}

Writer Writer::InDirectory(std::string directory, TimeSource clock, Reporter reporter)
{
    return Writer(LogAppender(std::move(directory), kLogName, std::move(reporter)), std::move(clock));
}

bool Writer::record(int address, const ImageRow& row, Status status)
{
    return append(MeasurementRow(address, row, status, clock_()));
}

bool Writer::append(const Row& row)
{
    return log_.append(FileName(row.address, row.time), HeaderLine(), FormatRow(row));
}

} // namespace torv::drying_log
