#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "files/drying_log.h"

namespace torv::charge {

// One chamber's drying log as a report reads it: its day files, the rows of
// a span in time order, and what could not be taken, each with its file.

// A file of the chamber, dated by its name ("komora-005-2026-12-08.csv").
struct DayFile {
    std::string path;
    long long day = 0; // DayNumber of the date in its name
};
// The chamber's day files in `directory`, oldest first; none when it cannot be listed.
std::vector<DayFile> ChamberDayFiles(const std::string& directory, int address);

// A file the record was read from, with what lets it be checked later.
struct ReadFile {
    std::string path;
    std::string sha256;
    std::size_t rows = 0; // lines taken, in the span or not
    bool operator==(const ReadFile&) const = default;
};
// A line the reader could not take, with its file.
struct SkippedLine {
    std::string path;
    drying_log::SkippedLine line;
    bool operator==(const SkippedLine&) const = default;
};

struct Record {
    std::vector<drying_log::Row> rows; // in time order; failed scans too
    std::vector<ReadFile> files;
    std::vector<SkippedLine> skipped;
    std::vector<std::string> unreadable; // "<path>: <why>", files that could not be read at all
};

// One day file as read: its rows of `address` sorted by time, what it
// skipped (rows of another address among them), or why it could not be read.
struct FileContents {
    ReadFile file;
    std::vector<drying_log::Row> rows;
    std::vector<SkippedLine> skipped;
    std::optional<std::string> unreadable;
};
FileContents ReadDayFile(const DayFile& file, int address);

// The part of the files read from `fromUtc` to `toUtc` (UtcSeconds, both
// included): its rows in time order, and the files (with their skipped
// lines) that gave any of them; every file that could not be read is named.
Record SpanOf(const std::vector<FileContents>& files, long long fromUtc, long long toUtc);

// The chamber's record of a span: the day files that can hold its rows (a
// day either side, for an offset away from the reader's), read and cut to it.
Record ReadSpan(const std::string& directory, int address, const drying_log::LocalTime& from,
                const drying_log::LocalTime& to);

} // namespace torv::charge
