#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "charge/chamber_record.h"
#include "files/drying_log.h"

namespace torv::charge {

// A programme run as the drying log saw it: from the scan where the step
// went from 0 to 1..10 to the scan where it went back to 0, or to the last
// scan while it still runs. Failed scans (no step) and the gaps of a logger
// restarted or a new day's file neither start nor end one.

// Where the last run lies in rows in time order (indices of its first and last row).
struct RunRows {
    std::size_t first = 0;
    std::size_t last = 0;
    bool running = false;   // no scan with step 0 after it yet
    bool startSeen = false; // a scan with step 0 comes before `first`
    bool operator==(const RunRows&) const = default;
};
// nullopt when no row has a step of 1..10.
std::optional<RunRows> LastRun(const std::vector<drying_log::Row>& rows);

// The chamber's last run in its day files in `directory`, read from the
// newest back until its start is found (or the files end), and the record
// of it; nullopt when no file holds a run.
struct FoundRun {
    drying_log::LocalTime from, to;
    bool running = false;
    Record record;
};
std::optional<FoundRun> FindLastRun(const std::string& directory, int address);

} // namespace torv::charge
