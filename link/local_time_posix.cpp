#include "local_time.h"

namespace torv {

LocalClockTime LocalClockTimeOf(std::time_t t)
{
    LocalClockTime local;
    ::localtime_r(&t, &local.fields);
    local.utcOffsetMinutes = static_cast<int>(local.fields.tm_gmtoff / 60);
    return local;
}

} // namespace torv
