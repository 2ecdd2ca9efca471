#include "charge/span_alarms.h"

#include <algorithm>
#include <charconv>
#include <filesystem>

#include "charge/plant_time.h"
#include "charge/sha256.h"
#include "plant/alarm_log.h"
#include "settings/file_target.h"

namespace torv::charge {

namespace {

constexpr std::size_t kMaxAlarmLogBytes = 16u << 20;
constexpr plant::AlarmKind kKinds[] = {plant::AlarmKind::NoCommunication, plant::AlarmKind::TemperatureDeviation,
                                       plant::AlarmKind::SensorFault, plant::AlarmKind::ProgrammeFinished};
constexpr plant::AlarmEventType kTypes[] = {plant::AlarmEventType::Raised, plant::AlarmEventType::Cleared,
                                            plant::AlarmEventType::Acknowledged};

std::optional<plant::AlarmEvent> eventOf(std::string_view line, std::string& why)
{
    const auto fields = drying_log::CsvFields(line);
    if (!fields || fields->size() != 5) {
        why = "not five fields";
        return std::nullopt;
    }
    const auto& f = *fields;
    plant::AlarmEvent e;
    const auto time = drying_log::ParseIsoTime(f[0]);
    const auto [end, ec] = std::from_chars(f[1].data(), f[1].data() + f[1].size(), e.id.address);
    const auto kind = std::find_if(std::begin(kKinds), std::end(kKinds), [&](auto k) { return plant::AlarmKey(k) == f[2]; });
    const auto type = std::find_if(std::begin(kTypes), std::end(kTypes), [&](auto t) { return plant::AlarmEventKey(t) == f[3]; });
    if (!time)
        why = "bad time";
    else if (ec != std::errc() || end != f[1].data() + f[1].size())
        why = "bad address";
    else if (kind == std::end(kKinds))
        why = "unknown kind";
    else if (type == std::end(kTypes))
        why = "unknown event";
    else {
        e.time = *time, e.id.kind = *kind, e.type = *type, e.value = f[4];
        return e;
    }
    return std::nullopt;
}

} // namespace

AlarmLogContents ParseAlarmLog(std::string_view text)
{
    AlarmLogContents c;
    drying_log::WalkLogLines(
        text, plant::AlarmLogHeaderLine(),
        [&c](std::string_view line) -> std::optional<std::string> {
            std::string why;
            if (auto e = eventOf(line, why)) {
                c.events.push_back(std::move(*e));
                return std::nullopt;
            }
            return why;
        },
        c.skipped);
    return c;
}

std::vector<AlarmSpell> SpanAlarms(const std::vector<plant::AlarmEvent>& events, int address, long long fromUtc,
                                   long long toUtc)
{
    std::vector<AlarmSpell> spells;
    std::vector<std::size_t> open; // spells not yet cleared, at most one per kind
    for (const plant::AlarmEvent& e : events) {
        if (e.id.address != address)
            continue;
        const long long t = UtcSeconds(e.time);
        const auto held = std::find_if(open.begin(), open.end(), [&](std::size_t i) { return spells[i].kind == e.id.kind; });
        if (e.type == plant::AlarmEventType::Raised && held == open.end() && t <= toUtc) {
            spells.push_back({e.id.kind, e.time, std::nullopt, e.value, 0});
            if (plant::IsFault(e.id.kind))
                open.push_back(spells.size() - 1);
        } else if (e.type == plant::AlarmEventType::Cleared && held != open.end()) {
            spells[*held].cleared = e.time;
            open.erase(held);
        }
    }
    std::vector<AlarmSpell> inSpan;
    for (AlarmSpell& s : spells) {
        const long long raised = UtcSeconds(s.raised);
        const long long end = s.cleared ? UtcSeconds(*s.cleared) : plant::IsFault(s.kind) ? toUtc : raised;
        if (end < fromUtc)
            continue;
        s.seconds = std::min(end, toUtc) - raised;
        if (s.cleared && UtcSeconds(*s.cleared) > toUtc)
            s.cleared.reset(); // still held at the span's end
        inSpan.push_back(std::move(s));
    }
    return inSpan;
}

SpanAlarmRecord ReadSpanAlarms(const std::string& directory, int address, const drying_log::LocalTime& from,
                               const drying_log::LocalTime& to)
{
    SpanAlarmRecord r;
    const long long first = DayNumber(from.year, from.month, from.day) - 7;
    const long long last = DayNumber(to.year, to.month, to.day) + 1;
    std::vector<std::pair<long long, std::string>> paths;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        drying_log::LocalTime day{};
        // "alarmy-YYYY-MM-DD.csv": the name AlarmLogFileName gives that day.
        if (name.size() != 21 || !name.starts_with("alarmy-"))
            continue;
        const auto number = [&](std::size_t at, std::size_t n, int& v) {
            return std::from_chars(name.data() + at, name.data() + at + n, v).ptr == name.data() + at + n;
        };
        if (!number(7, 4, day.year) || !number(12, 2, day.month) || !number(15, 2, day.day) ||
            plant::AlarmLogFileName(day) != name)
            continue;
        const long long d = DayNumber(day.year, day.month, day.day);
        if (d >= first && d <= last)
            paths.emplace_back(d, it->path().string());
    }
    std::sort(paths.begin(), paths.end());
    std::vector<plant::AlarmEvent> events;
    for (const auto& [day, path] : paths) {
        const files::Contents file = files::ReadRegularFile(path, kMaxAlarmLogBytes);
        if (!file.ok()) {
            r.unreadable.push_back(path + ": " + files::RefusalText(file.refusal, file.type, file.error));
            continue;
        }
        AlarmLogContents c = ParseAlarmLog(file.bytes);
        const bool ours = std::any_of(c.events.begin(), c.events.end(), [&](const auto& e) { return e.id.address == address; });
        if (!ours)
            continue; // nothing of this chamber: not part of its record
        r.files.push_back({path, Sha256Hex(file.bytes), c.events.size()});
        for (auto& s : c.skipped)
            r.skipped.push_back({path, std::move(s)});
        events.insert(events.end(), c.events.begin(), c.events.end());
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const auto& a, const auto& b) { return UtcSeconds(a.time) < UtcSeconds(b.time); });
    r.alarms = SpanAlarms(events, address, UtcSeconds(from), UtcSeconds(to));
    return r;
}

} // namespace torv::charge
