#include "charge/record_analysis.h"

#include <algorithm>

#include "charge/plant_time.h"
#include "plant/chamber_moisture.h"

namespace torv::charge {

namespace {

bool answered(const drying_log::Row& row) { return row.status == drying_log::Status::Ok; }

class Accumulator {
public:
    void add(const std::optional<double>& v)
    {
        if (!v)
            return;
        min_ = n_ ? std::min(min_, *v) : *v;
        max_ = n_ ? std::max(max_, *v) : *v;
        sum_ += *v;
        ++n_;
    }
    void addTenths(const std::optional<int>& v)
    {
        if (v)
            add(*v / 10.0);
    }
    Statistic result() const
    {
        if (n_ == 0)
            return {};
        return {min_, sum_ / static_cast<double>(n_), max_};
    }

private:
    double min_ = 0, max_ = 0, sum_ = 0;
    std::size_t n_ = 0;
};

} // namespace

std::optional<long long> ScanPeriodSeconds(const std::vector<drying_log::Row>& rows)
{
    std::vector<long long> intervals;
    std::optional<long long> previous;
    for (const drying_log::Row& row : rows) {
        if (!answered(row))
            continue;
        const long long t = UtcSeconds(row.time);
        if (previous)
            intervals.push_back(t - *previous);
        previous = t;
    }
    if (intervals.empty())
        return std::nullopt;
    auto middle = intervals.begin() + static_cast<std::ptrdiff_t>(intervals.size() / 2);
    std::nth_element(intervals.begin(), middle, intervals.end());
    return *middle;
}

std::vector<Gap> Gaps(const std::vector<drying_log::Row>& rows, long long periodSeconds)
{
    std::vector<Gap> gaps;
    const drying_log::Row* previous = nullptr;
    for (const drying_log::Row& row : rows) {
        if (!answered(row))
            continue;
        if (previous) {
            const long long seconds = UtcSeconds(row.time) - UtcSeconds(previous->time);
            if (seconds > 3 * periodSeconds)
                gaps.push_back({previous->time, row.time, seconds});
        }
        previous = &row;
    }
    return gaps;
}

std::vector<StepSummary> StepSummaries(const std::vector<drying_log::Row>& rows,
                                       const quantities::Conditions& conditions)
{
    std::vector<StepSummary> steps;
    Accumulator dry, wet, rh, emc;
    const auto close = [&](const drying_log::Row& next) {
        StepSummary& s = steps.back();
        s.seconds = UtcSeconds(next.time) - UtcSeconds(s.began);
        s.dry = dry.result(), s.wet = wet.result();
        s.relativeHumidity = rh.result(), s.equilibriumMoisture = emc.result();
        dry = wet = rh = emc = Accumulator{};
    };
    const drying_log::Row* lastInStep = nullptr;
    for (const drying_log::Row& row : rows) {
        if (!answered(row) || !row.autoStep)
            continue;
        const int step = *row.autoStep;
        const bool open = lastInStep != nullptr;
        if (open && step != steps.back().step) {
            close(row);
            lastInStep = nullptr;
        }
        if (step < 1 || step > 10)
            continue;
        if (!lastInStep)
            steps.push_back({step, row.time, 0, row.autoHoursTotal, row.setTemperature, row.setDifference, 0, {}, {}, {}, {}});
        lastInStep = &row;
        StepSummary& s = steps.back();
        ++s.scans;
        dry.addTenths(row.tempDry);
        wet.addTenths(row.tempWet);
        const quantities::Moisture m = plant::RowMoisture(row, conditions);
        rh.add(m.relativeHumidity);
        emc.add(m.equilibriumMoisture);
    }
    if (lastInStep)
        close(*lastInStep); // still in it at the record's end
    return steps;
}

} // namespace torv::charge
