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

drying_log::LocalTime ClockTime(long long utcSeconds, int offsetMinutes)
{
    const long long local = utcSeconds + offsetMinutes * 60LL;
    long long days = local / 86400, seconds = local % 86400;
    if (seconds < 0)
        seconds += 86400, --days;
    // DayNumber's inverse, in whole eras of 400 years.
    const long long z = days + 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long dayOfEra = z - era * 146097;
    const long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long mp = (5 * dayOfYear + 2) / 153;
    const int day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const int year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
    return {year, month, day, static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
            static_cast<int>(seconds % 60), offsetMinutes};
}

} // namespace torv::charge
