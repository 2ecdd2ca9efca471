#pragma once
#include <ctime>

namespace torv {

// A moment on the local clock, and how far that clock is from UTC then.
struct LocalClockTime {
    std::tm fields{};
    int utcOffsetMinutes = 0; // east of UTC positive
};

// localtime_r and tm_gmtoff on POSIX, localtime_s and the offset worked out
// on Windows (whose struct tm has no offset).
LocalClockTime LocalClockTimeOf(std::time_t t);

} // namespace torv
