#include "plant/overview.h"

#include "plant/chamber_moisture.h"

namespace torv::plant {

void Overview::setList(const ChamberList& list)
{
    for (const Chamber& old : list_.chambers)
        if (!FindChamber(list, old.address)) {
            alarms_.forget(old.address);
            seen_.erase(old.address);
        }
    list_ = list;
    std::vector<std::uint8_t> order;
    for (const Chamber& c : list_.chambers)
        order.push_back(static_cast<std::uint8_t>(c.address));
    rounds_.setChambers(order);
    rounds_.setPeriodSeconds(list_.roundSeconds);
    alarms_.setThresholds(list_.alarms);
}

std::optional<Overview::Step> Overview::step(std::uint64_t nowUs, const drying_log::LocalTime& wall,
                                              const std::function<bool()>& stop)
{
    std::optional<Result> scan = ScanDue(rounds_, station_, nowUs, stop);
    if (!scan || scan->stopped)
        return std::nullopt;
    Step s;
    s.scan = std::move(*scan);
    // A scan that lost one of its reads holds another's bytes, or none, where it lost it.
    s.answered = s.scan.allAnswered();
    const auto address = static_cast<std::uint8_t>(s.scan.address);
    if (s.answered && !station_.wholeRead(address) && !(stop && stop())) {
        const Result whole = station_.readModule(address, false);
        s.scan.exchanges.insert(s.scan.exchanges.end(), whole.exchanges.begin(), whole.exchanges.end());
        s.scan.row = whole.row;
    }
    s.row = drying_log::MeasurementRow(s.scan.address, s.scan.row,
                                       s.answered ? drying_log::Status::Ok : drying_log::Status::Failed, wall);
    Seen& seen = seen_[s.scan.address];
    seen.latestAnswered = s.answered;
    if (s.answered)
        seen.lastAnswered = s.row;
    s.events = alarms_.scan(s.row, nowUs);
    return s;
}

ChamberTile Overview::tile(int address, const std::string& separator) const
{
    const auto it = seen_.find(address);
    const Seen seen = it == seen_.end() ? Seen{} : it->second;
    return TileOf(ChamberName(list_, address), address, seen.lastAnswered, seen.latestAnswered, separator,
                  MoistureConditions(list_, address));
}

} // namespace torv::plant
