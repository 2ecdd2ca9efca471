#pragma once
#include <ctime>

namespace torv {

// A moment as the local calendar shows it, with the local offset from UTC then
// (seconds east of Greenwich): what the drying log's times and the bus
// monitor's clock are written in. One file per system.
struct LocalCalendar {
    std::tm tm{};
    long utcOffsetSeconds = 0;
};
LocalCalendar ToLocalCalendar(std::time_t moment);

} // namespace torv
