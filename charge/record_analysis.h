#pragma once
#include <cstddef>
#include <optional>
#include <vector>

#include "files/drying_log.h"
#include "quantities/moisture.h"

namespace torv::charge {

// What a run's record says, from its rows in time order. Only answered scans
// are the record: a failed one holds no measurement.

// The scan period in seconds: the median of the intervals between answered
// scans, so that gaps and a few late scans do not move it; nullopt with fewer
// than two answered scans.
std::optional<long long> ScanPeriodSeconds(const std::vector<drying_log::Row>& rows);

// A stretch with no answered scan for more than three scan periods.
struct Gap {
    drying_log::LocalTime from, to; // the answered scans either side
    long long seconds = 0;
    bool operator==(const Gap&) const = default;
};
std::vector<Gap> Gaps(const std::vector<drying_log::Row>& rows, long long periodSeconds);

// Minimum, mean and maximum of the values a quantity had; empty without one.
struct Statistic {
    std::optional<double> min, mean, max;
    bool operator==(const Statistic&) const = default;
};

// One stretch of the programme in one step, as the log saw it: the step's
// settings from its first scan, when it began, how long the run was in it
// (to the next step's first scan, or the end's), and its statistics over every answered scan.
struct StepSummary {
    int step = 0;
    drying_log::LocalTime began;
    long long seconds = 0;
    std::optional<int> hoursTotal, setTemperature, setDifference; // as the log holds them: h, °C, °C
    std::size_t scans = 0;
    Statistic dry, wet, relativeHumidity, equilibriumMoisture; // °C, °C, %, %
    bool operator==(const StepSummary&) const = default;
};
// Each stretch of consecutive scans in one step 1..10, in order; RH and EMC
// as `conditions` give them for each scan.
std::vector<StepSummary> StepSummaries(const std::vector<drying_log::Row>& rows,
                                       const quantities::Conditions& conditions);

} // namespace torv::charge
