#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "files/drying_log.h"
#include "plant/alarms.h"
#include "plant/chamber_list.h"
#include "plant/chamber_tile.h"
#include "plant/rounds.h"
#include "station/station.h"

namespace torv::plant {

// The plant at a glance, without a widget toolkit: the chamber list, the
// rounds of measurement scans over it, what each chamber last showed and the
// alarms judged from it. The window's overview and the telemetry service
// drive it one scan at a time.
class Overview {
public:
    explicit Overview(Station& station) : station_(station) {}

    // A new list: chambers that stay keep their values, failures and alarms;
    // removed ones are forgotten.
    void setList(const ChamberList& list);
    const ChamberList& list() const { return list_; }

    // One scan's worth of the plant's work.
    struct Step {
        Result scan;                     // with the module read that followed it, if one did
        bool answered = false;           // every request of the scan was answered
        drying_log::Row row;             // as the drying log takes it: failed unless answered
        std::vector<AlarmEvent> events;  // raised or cleared by this scan
    };
    // The scan of the chamber that is due, if any; `stop` is asked after each
    // transaction and ends the scan early (the chamber is then asked again,
    // and the stopped scan is neither logged nor judged). A chamber that
    // answers and whose memory was never read whole since the station began
    // is read whole (unreported) right after its scan: what the scan does not
    // refresh, the LCD mode that says which thermometers control, comes only
    // from that read.
    std::optional<Step> step(std::uint64_t nowUs, const drying_log::LocalTime& wall,
                             const std::function<bool()>& stop = {});
    // When the next round starts, in the clock's microseconds.
    std::uint64_t dueUs() const { return rounds_.dueUs(); }
    // When step() has a scan to make: at once within a round, else at the next round.
    std::uint64_t nextScanUs() const { return rounds_.inRound() ? 0 : rounds_.dueUs(); }

    ChamberTile tile(int address, const std::string& separator = ",") const;
    const Rounds& rounds() const { return rounds_; }
    AlarmMonitor& alarms() { return alarms_; }
    const AlarmMonitor& alarms() const { return alarms_; }

private:
    struct Seen {
        std::optional<drying_log::Row> lastAnswered;
        bool latestAnswered = false;
    };
    Station& station_;
    ChamberList list_;
    Rounds rounds_;
    AlarmMonitor alarms_;
    std::map<int, Seen> seen_;
};

} // namespace torv::plant
