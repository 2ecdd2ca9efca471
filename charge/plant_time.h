#pragma once
#include "files/drying_log.h"

namespace torv::charge {

// Seconds since 1970-01-01 00:00 UTC of a time on the plant's clock: times
// written under different offsets (a change to summer time, a logger moved
// between machines) order and subtract correctly.
long long UtcSeconds(const drying_log::LocalTime& t);

// The instant `utcSeconds` as a clock `offsetMinutes` east of Greenwich shows it.
drying_log::LocalTime ClockTime(long long utcSeconds, int offsetMinutes);

// The day number since 1970-01-01 of a calendar date, for comparing day files.
long long DayNumber(int year, int month, int day);

} // namespace torv::charge
