#include "link/local_time.h"

namespace torv {

LocalCalendar ToLocalCalendar(std::time_t moment)
{
    LocalCalendar c;
    localtime_s(&c.tm, &moment);
    // The C runtime's tm has no offset: the local fields read as UTC, less the moment.
    std::tm asUtc = c.tm;
    c.utcOffsetSeconds = static_cast<long>(_mkgmtime(&asUtc) - moment);
    return c;
}

} // namespace torv
