#include "local_time.h"

namespace torv {

LocalClockTime LocalClockTimeOf(std::time_t t)
{
    LocalClockTime local;
    localtime_s(&local.fields, &t);
    // The local fields read as if they were UTC, less the moment itself.
    std::tm asUtc = local.fields;
    local.utcOffsetMinutes = static_cast<int>((_mkgmtime(&asUtc) - t) / 60);
    return local;
}

} // namespace torv
