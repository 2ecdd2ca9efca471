#pragma once
#include <optional>
#include <vector>

#include "files/drying_log.h"
#include "plant/chamber_list.h"

namespace torv::charge {

// Whether the wood's core was hot enough for long enough: the lowest of the
// named core probes at or above the limit without a break, from the first
// scan at or above it to the last one before a scan below it (or without a
// probe's value), a failed scan or a gap of more than two scan periods.
struct HeatWindow {
    drying_log::LocalTime from, to;
    long long seconds = 0;
    bool operator==(const HeatWindow&) const = default;
};
struct HeatVerdict {
    bool judged = false; // a probe is named; otherwise the temperatures are the air's
    bool met = false;
    std::optional<HeatWindow> longest; // the earliest of the longest when several tie
    bool operator==(const HeatVerdict&) const = default;
};
// `probes` of none named is no judgement.
HeatVerdict JudgeHeatTreatment(const std::vector<drying_log::Row>& rows, const plant::CoreProbes& probes,
                               const plant::HeatTreatment& limits, long long periodSeconds);

} // namespace torv::charge
