#pragma once
#include <optional>
#include <string>
#include <vector>

#include "charge/chamber_record.h"
#include "charge/heat_treatment.h"
#include "charge/record_analysis.h"
#include "charge/span_alarms.h"
#include "plant/chamber_list.h"

namespace torv::charge {

// Everything a charge report says about one chamber's run, worked out from
// its files: nothing of it is drawn or worded here.
struct Charge {
    int address = 0;
    std::string chamberName;
    std::string plantName, plantAddress; // as the chamber list gives them; empty when it does not
    drying_log::LocalTime from, to;
    bool lastRun = false; // found in the log, not given
    bool running = false; // the last run had not ended by the last scan
    Record record;        // the scans of the span, the files read and the lines skipped
    std::optional<long long> scanPeriodSeconds;
    std::vector<Gap> gaps;
    std::vector<StepSummary> steps;
    SpanAlarmRecord alarms;
    plant::CoreProbes probes{false, false};
    plant::HeatTreatment heatLimits;
    HeatVerdict heat;
    quantities::Conditions conditions; // the chamber's psychrometer, for RH and EMC
};

struct ChargeRequest {
    std::string directory; // where the drying log's and the alarm log's day files are
    int address = 0;
    std::optional<drying_log::LocalTime> from, to; // both or neither: without them the last run
};

// The charge, or nullopt with `error` (Polish, for the operator) when there
// is no run in the log or the span holds no scan. A chamber not on `list`
// names no core probe: its record is no proof of a heat treatment.
std::optional<Charge> MakeCharge(const ChargeRequest& request, const plant::ChamberList& list, std::string& error);

} // namespace torv::charge
