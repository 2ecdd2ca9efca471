#include "charge/last_run.h"

#include <algorithm>
#include <limits>

#include "charge/plant_time.h"

namespace torv::charge {

namespace {

bool inProgramme(int step) { return step >= 1 && step <= 10; }

} // namespace

std::optional<RunRows> LastRun(const std::vector<drying_log::Row>& rows)
{
    // From the newest back: the zero scans after the run, then the run, then the zero before it.
    std::optional<std::size_t> zeroAfter, last, first;
    std::size_t i = rows.size();
    while (i-- > 0) {
        const std::optional<int>& step = rows[i].autoStep;
        if (!step)
            continue;
        if (!last) {
            if (inProgramme(*step))
                last = first = i;
            else
                zeroAfter = i;
            continue;
        }
        if (!inProgramme(*step))
            return RunRows{*first, zeroAfter.value_or(*last), !zeroAfter, true};
        first = i;
    }
    if (!last)
        return std::nullopt;
    return RunRows{*first, zeroAfter.value_or(*last), !zeroAfter, false};
}

std::optional<FoundRun> FindLastRun(const std::string& directory, int address)
{
    const std::vector<DayFile> days = ChamberDayFiles(directory, address);
    std::vector<FileContents> read; // oldest first
    const auto all = [&read] {
        return SpanOf(read, std::numeric_limits<long long>::min(), std::numeric_limits<long long>::max());
    };
    std::optional<RunRows> run;
    Record record;
    for (auto day = days.rbegin(); day != days.rend(); ++day) {
        read.insert(read.begin(), ReadDayFile(*day, address));
        // Once the run's end is known, only an older file with a step-0 scan can hold its start.
        const auto& rows = read.front().rows;
        const bool zero = std::any_of(rows.begin(), rows.end(), [](const drying_log::Row& r) { return r.autoStep == 0; });
        if (run && !zero)
            continue;
        record = all();
        run = LastRun(record.rows);
        if (run && run->startSeen)
            break;
    }
    if (run && !run->startSeen) {
        record = all(); // the files ran out: the run starts at the oldest file's first scan in it
        run = LastRun(record.rows);
    }
    if (!run)
        return std::nullopt;
    const drying_log::LocalTime from = record.rows[run->first].time, to = record.rows[run->last].time;
    return FoundRun{from, to, run->running, SpanOf(read, UtcSeconds(from), UtcSeconds(to))};
}

} // namespace torv::charge
