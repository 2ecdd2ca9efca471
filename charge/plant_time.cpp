#include "charge/plant_time.h"

namespace torv::charge {

long long DayNumber(int year, int month, int day)
{
    // The proleptic Gregorian calendar in whole eras of 400 years.
    const long long y = year - (month <= 2 ? 1 : 0);
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yearOfEra = y - era * 400;
    const long long dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

long long UtcSeconds(const drying_log::LocalTime& t)
{
    return DayNumber(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second -
           t.utcOffsetMinutes * 60LL;
}

} // namespace torv::charge
