#include "link/local_time.h"

namespace torv {

LocalCalendar ToLocalCalendar(std::time_t moment)
{
    LocalCalendar c;
    ::localtime_r(&moment, &c.tm);
    c.utcOffsetSeconds = c.tm.tm_gmtoff;
    return c;
}

} // namespace torv
