#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/drying_log.h"
#include "plant/alarm_thresholds.h"

namespace torv::plant {

// The plant's alarms, judged from each chamber's measurement scans.
enum class AlarmKind { NoCommunication, TemperatureDeviation, SensorFault, ProgrammeFinished };

// The overview's name ("Brak komunikacji").
std::string_view AlarmName(AlarmKind kind);
// The alarm log's key ("no-communication"): ASCII, never changed once written.
std::string_view AlarmKey(AlarmKind kind);
// A fault clears when its condition ends; a notice only tells of something
// that happened and stays until acknowledged.
bool IsFault(AlarmKind kind);

// A chamber holds at most one alarm of each kind.
struct AlarmId {
    int address = 0;
    AlarmKind kind = AlarmKind::NoCommunication;
    bool operator==(const AlarmId&) const = default;
};

// An alarm on the overview's list: raised and not yet both cleared and acknowledged.
struct Alarm {
    AlarmId id;
    drying_log::LocalTime raised;
    std::string value; // what raised it: "T suchy 63,5 °C, zadana 70 °C"
    bool acknowledged = false;
    bool cleared = false;
    bool operator==(const Alarm&) const = default;
};

enum class AlarmEventType { Raised, Cleared, Acknowledged };

// One line of the alarm log. The value is what the scan showed when raised or
// cleared (empty when it showed nothing), and the alarm's own when acknowledged.
struct AlarmEvent {
    AlarmEventType type = AlarmEventType::Raised;
    AlarmId id;
    drying_log::LocalTime time;
    std::string value;
    bool operator==(const AlarmEvent&) const = default;
};

// The alarms of chamber `address` on `all` that still hold, in its order:
// a cleared one waiting for its acknowledgement is left out.
std::vector<Alarm> ActiveAlarms(const std::vector<Alarm>& all, int address);

// The event's key in the alarm log and on the broker ("raised"): ASCII, never changed once written.
std::string_view AlarmEventKey(AlarmEventType type);
// The event as the operator reads it: "<chamber>: <the kind's name> (<value>)",
// the value only when there is one; `what` ("alarm cleared"), when given,
// goes before the name: "<chamber>: <what>: <name> (<value>)".
std::string AlarmEventLine(std::string_view chamber, const AlarmEvent& event, std::string_view what = {});

// A chamber's tile: a fault that still holds, a notice not yet acknowledged,
// anything (a cleared fault too) the operator has not acknowledged.
struct ChamberAlarms {
    bool fault = false;
    bool notice = false;
    bool unacknowledged = false;
    bool operator==(const ChamberAlarms&) const = default;
};

// What the rules remember of a chamber between its scans.
struct ChamberMemory {
    int failedScans = 0;                           // in a row
    std::optional<std::uint64_t> deviationSinceUs; // the first scan of this run out of the band
    int wetAboveDryScans = 0;                      // answered scans in a row
    std::optional<int> lastStep;                   // of the last answered scan
};

// The alarms of the chambers on the line. Each scan of a chamber is fed in
// once; what it raised or cleared comes back as events, for the log and the
// overview. Raising is once per occurrence, not once per scan while it holds.
class AlarmMonitor {
public:
    explicit AlarmMonitor(const AlarmThresholds& thresholds = {});

    // New thresholds apply from the next scan; runs and counts carry on.
    void setThresholds(const AlarmThresholds& thresholds) { thresholds_ = thresholds; }
    const AlarmThresholds& thresholds() const { return thresholds_; }

    // One scan of chamber `row.address`: `row` as the drying log has it
    // (MeasurementRow: its status Failed when the chamber did not answer, its
    // time the local wall time), `monotonicUs` the bus clock's time of it.
    std::vector<AlarmEvent> scan(const drying_log::Row& row, std::uint64_t monotonicUs);
    // Acknowledges the chosen alarms at `time`; one event for each not yet
    // acknowledged. A cleared fault or a notice then leaves the list.
    std::vector<AlarmEvent> acknowledge(const std::vector<AlarmId>& which, const drying_log::LocalTime& time);
    // A chamber taken off the line: its alarms and what its rules remembered
    // are dropped without events.
    void forget(int address);

    // The list, oldest raise first.
    const std::vector<Alarm>& alarms() const { return alarms_; }
    ChamberAlarms chamber(int address) const;

private:
    AlarmThresholds thresholds_;
    std::map<int, ChamberMemory> memory_;
    std::vector<Alarm> alarms_;
};

} // namespace torv::plant
