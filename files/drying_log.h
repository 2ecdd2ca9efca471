#pragma once
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "controller/memory_map.h"

namespace torv {
class JsonWriter;
}

namespace torv::drying_log {

// The drying log: one CSV line per measurement scan or block read of a
// controller, one file per controller and local day under pomiary/.

inline constexpr const char* kDirectory = "pomiary";

// A local wall-clock time with its offset from UTC, whole seconds.
struct LocalTime {
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int utcOffsetMinutes = 0; // east of Greenwich positive
    bool operator==(const LocalTime&) const = default;
};
// Where the time of a line comes from; tests give a fixed or stepped one.
using TimeSource = std::function<LocalTime()>;
// The system's local time now.
LocalTime SystemLocalTime();

// "2026-12-08T05:43:17+01:00".
std::string IsoTime(const LocalTime& t);
// The inverse of IsoTime; nullopt for anything else (a "Z" included) and for
// times no clock shows (31 February, second 60, an offset beyond -12:00..+14:00).
std::optional<LocalTime> ParseIsoTime(std::string_view text);

enum class Status { Ok, Failed };

// One line of the log. Temperatures in tenths of a degree, the difference in
// hundredths (the two-pair mean is a multiple of 0.05); empty where the line
// has no value.
struct Row {
    LocalTime time;
    int address = 0;
    std::optional<int> tempDry, tempWet, tempControl1, tempControl2;
    std::optional<int> difference;
    std::optional<int> autoStep, autoHoursDone, autoHoursTotal, setTemperature, setDifference;
    std::optional<int> heating, humidifying, ventOpen, ventClose;
    Status status = Status::Ok;
    bool operator==(const Row&) const = default;
};

// The line for `address` from its image row. A failed scan keeps only the
// time and address: the row then holds stale bytes. The control sensors are
// empty when LcdMode is 0, as the window shows them inactive.
Row MeasurementRow(int address, const ImageRow& row, Status status, const LocalTime& time);

// The column names, in order, and the header line (without line break).
const std::vector<std::string_view>& Columns();
std::string HeaderLine();
// A row's fields as its CSV line holds them, one a column; empty where it has no value.
std::vector<std::string> RowFields(const Row& row);
// A row as its CSV line, without line break.
std::string FormatRow(const Row& row);
// The RFC 4180 fields of one CSV line: quoted fields may hold commas and ""
// for a quote; nullopt for a quote left open or text after a closing one.
std::optional<std::vector<std::string>> CsvFields(std::string_view line);
// A CSV line (no line break) back to a row; nullopt with `why` set when it is not one.
std::optional<Row> ParseRow(std::string_view line, std::string* why = nullptr);

// What a column's field is in JSON: null where the line has no value, the
// time and status strings, every other column a number as the line writes it.
enum class JsonType { Null, String, Number };
JsonType FieldJsonType(std::string_view column, std::string_view field);
// The row's columns as members of the object `json` has open, each of its FieldJsonType.
void WriteRowJson(JsonWriter& json, const Row& row);

// Lines end in CRLF; readers take LF too.
inline constexpr const char* kLineBreak = "\r\n";

// "komora-005-2026-12-08.csv": the controller's file for the day of `t`.
std::string FileName(int address, const LocalTime& t);

// What a reader made of a log: its rows and the lines it could not take.
struct SkippedLine {
    std::size_t number = 0; // 1-based line number
    std::string text;
    std::string reason;
    bool operator==(const SkippedLine&) const = default;
};
struct Contents {
    std::vector<Row> rows;
    std::vector<SkippedLine> skipped;
};
// Walks the lines of a log file's text: `header` as the first line is passed
// over, a last line without its line break (torn by a crash or a full disk)
// is skipped, and each other line goes to `take`, which returns why it is no
// entry or nothing when it took it. Lines end in CRLF or LF.
void WalkLogLines(std::string_view text, std::string_view header,
                  const std::function<std::optional<std::string>(std::string_view line)>& take,
                  std::vector<SkippedLine>& skipped);
// Parses a log's text. The header line is dropped; a last line without its
// line break was torn by a crash or a full disk and is skipped like any
// line that is not a row.
Contents ParseLog(std::string_view text);
// Reads and parses the file at `path`; nullopt with `error` set (for the
// window) when it cannot be read or is no regular file.
std::optional<Contents> ReadLog(const std::string& path, std::string* error = nullptr);

} // namespace torv::drying_log
