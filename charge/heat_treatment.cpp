#include "charge/heat_treatment.h"

#include <algorithm>

#include "charge/plant_time.h"

namespace torv::charge {

namespace {

// The lowest of the named probes, tenths; none when a named one has no value.
std::optional<int> coreTenths(const drying_log::Row& row, const plant::CoreProbes& probes)
{
    if (row.status != drying_log::Status::Ok)
        return std::nullopt;
    std::optional<int> lowest;
    for (const auto& [named, value] : {std::pair{probes.control1, row.tempControl1}, {probes.control2, row.tempControl2}}) {
        if (!named)
            continue;
        if (!value)
            return std::nullopt;
        lowest = lowest ? std::min(*lowest, *value) : *value;
    }
    return lowest;
}

} // namespace

HeatVerdict JudgeHeatTreatment(const std::vector<drying_log::Row>& rows, const plant::CoreProbes& probes,
                               const plant::HeatTreatment& limits, long long periodSeconds)
{
    HeatVerdict verdict;
    verdict.judged = probes.control1 || probes.control2;
    if (!verdict.judged)
        return verdict;
    const drying_log::Row* first = nullptr; // of the window now open
    const drying_log::Row* last = nullptr;
    const auto close = [&] {
        if (!first)
            return;
        const long long seconds = UtcSeconds(last->time) - UtcSeconds(first->time);
        if (!verdict.longest || seconds > verdict.longest->seconds)
            verdict.longest = HeatWindow{first->time, last->time, seconds};
        first = last = nullptr;
    };
    for (const drying_log::Row& row : rows) {
        const std::optional<int> core = coreTenths(row, probes);
        if (last && UtcSeconds(row.time) - UtcSeconds(last->time) > 2 * periodSeconds)
            close();
        if (!core || *core < limits.minTenths) {
            close();
            continue;
        }
        if (!first)
            first = &row;
        last = &row;
    }
    close();
    verdict.met = verdict.longest && verdict.longest->seconds >= limits.minutes * 60LL;
    return verdict;
}

} // namespace torv::charge
