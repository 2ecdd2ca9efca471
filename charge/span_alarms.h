#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "charge/chamber_record.h"
#include "plant/alarms.h"

namespace torv::charge {

// The alarm log read back for a report: each alarm of a chamber from its
// raising to its clearing, and how long it lasted.

struct AlarmLogContents {
    std::vector<plant::AlarmEvent> events;
    std::vector<drying_log::SkippedLine> skipped;
};
// An alarm log file's text (as AlarmLog writes it) back to its events; the
// header dropped, any other line that is not an event skipped with its reason.
AlarmLogContents ParseAlarmLog(std::string_view text);

// One alarm of the span: raised, and cleared (a notice never is), with how
// long it held: to its clearing, or to the span's end when it still held then.
struct AlarmSpell {
    plant::AlarmKind kind = plant::AlarmKind::NoCommunication;
    drying_log::LocalTime raised;
    std::optional<drying_log::LocalTime> cleared;
    std::string value;
    long long seconds = 0;
    bool operator==(const AlarmSpell&) const = default;
};
// The alarms of chamber `address` that held at any time from `fromUtc` to
// `toUtc`, in the order they were raised; `events` in time order.
std::vector<AlarmSpell> SpanAlarms(const std::vector<plant::AlarmEvent>& events, int address, long long fromUtc,
                                   long long toUtc);

struct SpanAlarmRecord {
    std::vector<AlarmSpell> alarms;
    std::vector<ReadFile> files;
    std::vector<SkippedLine> skipped;
    std::vector<std::string> unreadable;
};
// The alarm log's day files in `directory` from a week before the span (an
// alarm raised earlier may still hold in it) to a day after, read and judged.
SpanAlarmRecord ReadSpanAlarms(const std::string& directory, int address, const drying_log::LocalTime& from,
                               const drying_log::LocalTime& to);

} // namespace torv::charge
