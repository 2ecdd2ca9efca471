#include "charge/chamber_record.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <system_error>

#include "charge/plant_time.h"
#include "charge/sha256.h"
#include "settings/file_target.h"

namespace torv::charge {

namespace {

// As the drying log's reader allows: a day at one line a second is under 10 MB.
constexpr std::size_t kMaxLogBytes = 64u << 20;

std::optional<int> number(std::string_view text)
{
    int v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return v;
}

// The day of "komora-005-2026-12-08.csv" when it is that chamber's file.
std::optional<long long> dayOfName(std::string_view name, std::string_view prefix)
{
    // "YYYY-MM-DD.csv" after the prefix.
    if (!name.starts_with(prefix) || name.size() != prefix.size() + 14 || !name.ends_with(".csv"))
        return std::nullopt;
    const std::string_view date = name.substr(prefix.size(), 10);
    if (date[4] != '-' || date[7] != '-')
        return std::nullopt;
    const auto y = number(date.substr(0, 4)), m = number(date.substr(5, 2)), d = number(date.substr(8, 2));
    if (!y || !m || !d || *m < 1 || *m > 12 || *d < 1 || *d > 31)
        return std::nullopt;
    return DayNumber(*y, *m, *d);
}

bool earlier(const drying_log::Row& a, const drying_log::Row& b) { return UtcSeconds(a.time) < UtcSeconds(b.time); }

} // namespace

std::vector<DayFile> ChamberDayFiles(const std::string& directory, int address)
{
    // The prefix as the writer names the file, whatever day it is.
    const std::string sample = drying_log::FileName(address, {});
    const std::string prefix = sample.substr(0, sample.size() - 14);
    std::vector<DayFile> files;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (const auto day = dayOfName(name, prefix))
            files.push_back({it->path().string(), *day});
    }
    std::sort(files.begin(), files.end(), [](const DayFile& a, const DayFile& b) { return a.day < b.day; });
    return files;
}

FileContents ReadDayFile(const DayFile& day, int address)
{
    FileContents c;
    c.file.path = day.path;
    const files::Contents file = files::ReadRegularFile(day.path, kMaxLogBytes);
    if (!file.ok()) {
        c.unreadable = day.path + ": " + files::RefusalText(file.refusal, file.type, file.error);
        return c;
    }
    c.file.sha256 = Sha256Hex(file.bytes);
    drying_log::Contents log = drying_log::ParseLog(file.bytes);
    for (drying_log::SkippedLine& s : log.skipped)
        c.skipped.push_back({day.path, std::move(s)});
    // Each row's line number, as ParseLog counts them: the lines it did not
    // skip, after the header when the file starts with one.
    std::size_t line = file.bytes.starts_with(drying_log::HeaderLine()) ? 1 : 0;
    std::size_t nextSkipped = 0;
    const std::size_t skippedByParser = c.skipped.size();
    for (drying_log::Row& row : log.rows) {
        ++line;
        while (nextSkipped < skippedByParser && c.skipped[nextSkipped].line.number == line)
            ++line, ++nextSkipped;
        if (row.address == address)
            c.rows.push_back(std::move(row));
        else
            c.skipped.push_back(
                {day.path, {line, drying_log::FormatRow(row), "a row of controller " + std::to_string(row.address)}});
    }
    std::stable_sort(c.skipped.begin(), c.skipped.end(),
                     [](const SkippedLine& a, const SkippedLine& b) { return a.line.number < b.line.number; });
    c.file.rows = c.rows.size();
    std::stable_sort(c.rows.begin(), c.rows.end(), earlier);
    return c;
}

Record SpanOf(const std::vector<FileContents>& files, long long fromUtc, long long toUtc)
{
    Record r;
    for (const FileContents& f : files) {
        if (f.unreadable) {
            r.unreadable.push_back(*f.unreadable);
            continue;
        }
        const auto in = [&](const drying_log::Row& row) {
            const long long t = UtcSeconds(row.time);
            return t >= fromUtc && t <= toUtc;
        };
        const std::size_t before = r.rows.size();
        std::copy_if(f.rows.begin(), f.rows.end(), std::back_inserter(r.rows), in);
        if (r.rows.size() == before)
            continue;
        r.files.push_back(f.file);
        r.skipped.insert(r.skipped.end(), f.skipped.begin(), f.skipped.end());
    }
    // Day files follow each other; only a change of offset around midnight mixes them.
    if (!std::is_sorted(r.rows.begin(), r.rows.end(), earlier))
        std::stable_sort(r.rows.begin(), r.rows.end(), earlier);
    return r;
}

Record ReadSpan(const std::string& directory, int address, const drying_log::LocalTime& from,
                const drying_log::LocalTime& to)
{
    const long long first = DayNumber(from.year, from.month, from.day) - 1;
    const long long last = DayNumber(to.year, to.month, to.day) + 1;
    std::vector<FileContents> read;
    for (const DayFile& f : ChamberDayFiles(directory, address))
        if (f.day >= first && f.day <= last)
            read.push_back(ReadDayFile(f, address));
    return SpanOf(read, UtcSeconds(from), UtcSeconds(to));
}

} // namespace torv::charge
