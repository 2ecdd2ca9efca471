#include "charge/charge.h"

#include <algorithm>

#include "charge/last_run.h"
#include "charge/plant_time.h"
#include "plant/chamber_moisture.h"

namespace torv::charge {

std::optional<Charge> MakeCharge(const ChargeRequest& request, const plant::ChamberList& list, std::string& error)
{
    Charge c;
    c.address = request.address;
    c.chamberName = plant::ChamberName(list, request.address);
    c.plantName = list.plantName, c.plantAddress = list.plantAddress;
    if (request.from && request.to) {
        c.from = *request.from, c.to = *request.to;
        if (UtcSeconds(c.to) < UtcSeconds(c.from)) {
            error = "koniec okresu przed jego początkiem";
            return std::nullopt;
        }
        c.record = ReadSpan(request.directory, request.address, c.from, c.to);
    } else {
        std::optional<FoundRun> run = FindLastRun(request.directory, request.address);
        if (!run) {
            error = "brak przebiegu programu komory " + std::to_string(request.address) + " w dzienniku";
            return std::nullopt;
        }
        c.lastRun = true;
        c.from = run->from, c.to = run->to, c.running = run->running;
        c.record = std::move(run->record);
    }
    const bool anyAnswered = std::any_of(c.record.rows.begin(), c.record.rows.end(),
                                         [](const drying_log::Row& r) { return r.status == drying_log::Status::Ok; });
    if (!anyAnswered) {
        error = "brak pomiarów komory " + std::to_string(request.address) + " w podanym okresie";
        return std::nullopt;
    }
    // A span given in any zone is shown on the plant's clock: its first and last scans' offsets.
    c.from = ClockTime(UtcSeconds(c.from), c.record.rows.front().time.utcOffsetMinutes);
    c.to = ClockTime(UtcSeconds(c.to), c.record.rows.back().time.utcOffsetMinutes);
    c.scanPeriodSeconds = ScanPeriodSeconds(c.record.rows);
    // One scan gives no period: nothing can be a gap, and no window can last.
    const long long period = c.scanPeriodSeconds.value_or(0);
    if (c.scanPeriodSeconds)
        c.gaps = Gaps(c.record.rows, period);
    c.conditions = plant::MoistureConditions(list, request.address);
    c.steps = StepSummaries(c.record.rows, c.conditions);
    c.alarms = ReadSpanAlarms(request.directory, request.address, c.from, c.to);
    if (const plant::Chamber* chamber = plant::FindChamber(list, request.address))
        c.probes = chamber->coreProbes;
    c.heatLimits = list.heatTreatment;
    c.heat = JudgeHeatTreatment(c.record.rows, c.probes, c.heatLimits, period);
    return c;
}

} // namespace torv::charge
