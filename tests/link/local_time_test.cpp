// The local calendar and its UTC offset, in a zone with summer time.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "link/local_time.h"

namespace {

struct ZoneCase {
    std::time_t moment;
    int hour;
    long offsetSeconds;
};

TEST(LocalTime, CalendarAndOffsetFollowTheZone)
{
    const char* was = std::getenv("TZ");
    const std::string saved = was ? was : "";
    ::setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    ::tzset();
    const ZoneCase cases[] = {
        {1796718600, 9, 3600},  // 2026-12-08 08:30 UTC: winter, 09:30 local
        {1784621400, 10, 7200}, // 2026-07-21 08:10 UTC: summer, 10:10 local
        {1774746000, 3, 7200},  // 2026-03-29 01:00 UTC: the first summer hour
    };
    for (const ZoneCase& c : cases) {
        const torv::LocalCalendar local = torv::ToLocalCalendar(c.moment);
        EXPECT_EQ(local.tm.tm_hour, c.hour) << c.moment;
        EXPECT_EQ(local.utcOffsetSeconds, c.offsetSeconds) << c.moment;
    }
    if (was)
        ::setenv("TZ", saved.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

} // namespace
