#include "plant/alarms.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <iterator>
#include <utility>

#include "plant/chamber_tile.h"

namespace torv::plant {

namespace {

using drying_log::Row;

struct Scan {
    const Row& row;
    std::uint64_t us;
};

// What a rule makes of one scan: the alarm's condition holds, has ended, or
// the scan tells nothing either way. The value says what the scan showed.
struct Verdict {
    enum Action { Nothing, Raise, Clear } action = Nothing;
    std::string value;
};
using Judge = Verdict (*)(ChamberMemory&, const Scan&, const AlarmThresholds&);

// "1 odczyt", "3 odczyty", "5 odczytów", "22 odczyty".
std::string scansText(int n)
{
    const int tens = n % 100, units = n % 10;
    const char* noun = n == 1                                            ? "odczyt"
                       : units >= 2 && units <= 4 && (tens < 12 || tens > 14) ? "odczyty"
                                                                         : "odczytów";
    return std::to_string(n) + " " + noun;
}

// An answered scan with the readings the rules look at; anything else is no evidence.
bool measured(const Row& r)
{
    return r.status == drying_log::Status::Ok && r.tempDry && r.tempWet && r.autoStep && r.setTemperature;
}

bool programmeRuns(int step) { return step >= 1 && step <= 10; }

// A counter of scans in a row that stops at its threshold, so it never overflows.
void countTo(int& counter, int threshold)
{
    if (counter < threshold)
        ++counter;
}

Verdict noCommunication(ChamberMemory& m, const Scan& s, const AlarmThresholds& t)
{
    if (s.row.status == drying_log::Status::Ok) {
        m.failedScans = 0;
        return {Verdict::Clear, {}};
    }
    countTo(m.failedScans, t.noCommunicationScans);
    if (m.failedScans >= t.noCommunicationScans)
        return {Verdict::Raise, scansText(m.failedScans) + " bez odpowiedzi"};
    return {};
}

// Only an answered scan moves the run: a silent chamber neither ends it nor proves it goes on.
Verdict temperatureDeviation(ChamberMemory& m, const Scan& s, const AlarmThresholds& t)
{
    const Row& r = s.row;
    if (!measured(r))
        return {};
    const int set = *r.setTemperature * 10;
    std::string value =
        "T suchy " + TenthsNumber(*r.tempDry) + " °C, zadana " + std::to_string(*r.setTemperature) + " °C";
    if (!programmeRuns(*r.autoStep) || std::abs(*r.tempDry - set) <= t.deviationTenths) {
        m.deviationSinceUs.reset();
        return {Verdict::Clear, std::move(value)};
    }
    if (!m.deviationSinceUs)
        m.deviationSinceUs = s.us;
    const std::uint64_t limitUs = std::uint64_t(t.deviationMinutes) * 60'000'000u;
    if (s.us > *m.deviationSinceUs && s.us - *m.deviationSinceUs > limitUs)
        return {Verdict::Raise, std::move(value)};
    return {};
}

Verdict sensorFault(ChamberMemory& m, const Scan& s, const AlarmThresholds& t)
{
    const Row& r = s.row;
    if (!measured(r))
        return {};
    const int dry = *r.tempDry, wet = *r.tempWet;
    const auto outside = [&t](int v) { return v < t.sensorLowTenths || v > t.sensorHighTenths; };
    const bool outOfRange = outside(dry) || outside(wet);
    const bool wetAbove = wet - dry > t.wetAboveDryTenths;
    if (wetAbove)
        countTo(m.wetAboveDryScans, t.wetAboveDryScans);
    else
        m.wetAboveDryScans = 0;
    std::string value = "T suchy " + TenthsNumber(dry) + " °C, T mokry " + TenthsNumber(wet) + " °C";
    if (outOfRange || m.wetAboveDryScans >= t.wetAboveDryScans)
        return {Verdict::Raise, std::move(value)};
    if (!wetAbove)
        return {Verdict::Clear, std::move(value)};
    return {};
}

// A notice has no condition to clear: the operator's acknowledgement ends it.
Verdict programmeFinished(ChamberMemory& m, const Scan& s, const AlarmThresholds&)
{
    const Row& r = s.row;
    if (!measured(r))
        return {};
    const std::optional<int> last = std::exchange(m.lastStep, *r.autoStep);
    if (last && programmeRuns(*last) && *r.autoStep == 0)
        return {Verdict::Raise, "ostatni krok " + std::to_string(*last)};
    return {};
}

struct Rule {
    AlarmKind kind;
    std::string_view name; // the overview's
    std::string_view key;  // the log's
    bool fault;
    Judge judge;
};

// In the order a scan's events come out.
constexpr std::array<Rule, 4> kRules{{
    {AlarmKind::NoCommunication, "Brak komunikacji", "no-communication", true, noCommunication},
    {AlarmKind::TemperatureDeviation, "Odchyłka temperatury", "temperature-deviation", true, temperatureDeviation},
    {AlarmKind::SensorFault, "Awaria czujnika", "sensor-fault", true, sensorFault},
    {AlarmKind::ProgrammeFinished, "Koniec programu", "programme-finished", false, programmeFinished},
}};

const Rule& ruleOf(AlarmKind kind)
{
    for (const Rule& rule : kRules)
        if (rule.kind == kind)
            return rule;
    std::abort(); // every kind has its row
}

} // namespace

std::string_view AlarmName(AlarmKind kind) { return ruleOf(kind).name; }
std::string_view AlarmKey(AlarmKind kind) { return ruleOf(kind).key; }
bool IsFault(AlarmKind kind) { return ruleOf(kind).fault; }

std::vector<Alarm> ActiveAlarms(const std::vector<Alarm>& all, int address)
{
    std::vector<Alarm> active;
    std::copy_if(all.begin(), all.end(), std::back_inserter(active),
                 [address](const Alarm& a) { return a.id.address == address && !a.cleared; });
    return active;
}

std::string_view AlarmEventKey(AlarmEventType type)
{
    switch (type) {
    case AlarmEventType::Raised: return "raised";
    case AlarmEventType::Cleared: return "cleared";
    case AlarmEventType::Acknowledged: return "acknowledged";
    }
    return "?";
}

std::string AlarmEventLine(std::string_view chamber, const AlarmEvent& event, std::string_view what)
{
    std::string line(chamber);
    line += ": ";
    if (!what.empty())
        line.append(what).append(": ");
    line += AlarmName(event.id.kind);
    if (!event.value.empty())
        line += " (" + event.value + ")";
    return line;
}

AlarmMonitor::AlarmMonitor(const AlarmThresholds& thresholds) : thresholds_(thresholds) {}

std::vector<AlarmEvent> AlarmMonitor::scan(const Row& row, std::uint64_t monotonicUs)
{
    ChamberMemory& memory = memory_[row.address];
    std::vector<AlarmEvent> events;
    for (const Rule& rule : kRules) {
        Verdict verdict = rule.judge(memory, {row, monotonicUs}, thresholds_);
        const AlarmId id{row.address, rule.kind};
        const auto listed = std::find_if(alarms_.begin(), alarms_.end(), [&id](const Alarm& a) { return a.id == id; });
        const bool holding = listed != alarms_.end() && !listed->cleared;
        if (verdict.action == Verdict::Raise && !(holding && rule.fault)) {
            // A fault that comes back, or another finished programme, is a
            // new occurrence: it takes the place of the earlier one.
            if (listed != alarms_.end())
                alarms_.erase(listed);
            alarms_.push_back({id, row.time, verdict.value});
            events.push_back({AlarmEventType::Raised, id, row.time, std::move(verdict.value)});
        } else if (verdict.action == Verdict::Clear && holding && rule.fault) {
            if (listed->acknowledged)
                alarms_.erase(listed);
            else
                listed->cleared = true;
            events.push_back({AlarmEventType::Cleared, id, row.time, std::move(verdict.value)});
        }
    }
    return events;
}

std::vector<AlarmEvent> AlarmMonitor::acknowledge(const std::vector<AlarmId>& which, const drying_log::LocalTime& time)
{
    std::vector<AlarmEvent> events;
    for (const AlarmId& id : which) {
        const auto listed = std::find_if(alarms_.begin(), alarms_.end(), [&id](const Alarm& a) { return a.id == id; });
        if (listed == alarms_.end() || listed->acknowledged)
            continue;
        events.push_back({AlarmEventType::Acknowledged, id, time, listed->value});
        if (listed->cleared || !IsFault(id.kind))
            alarms_.erase(listed);
        else
            listed->acknowledged = true;
    }
    return events;
}

void AlarmMonitor::forget(int address)
{
    memory_.erase(address);
    std::erase_if(alarms_, [address](const Alarm& a) { return a.id.address == address; });
}

ChamberAlarms AlarmMonitor::chamber(int address) const
{
    ChamberAlarms c;
    for (const Alarm& a : alarms_) {
        if (a.id.address != address)
            continue;
        c.fault = c.fault || (IsFault(a.id.kind) && !a.cleared);
        c.notice = c.notice || !IsFault(a.id.kind);
        c.unacknowledged = c.unacknowledged || !a.acknowledged;
    }
    return c;
}

} // namespace torv::plant
