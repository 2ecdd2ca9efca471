#include "report/report_texts.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace torv::report {

namespace {

std::string twoDigits(long long v) { return (v < 10 ? "0" : "") + std::to_string(v); }

} // namespace

std::string PlantTime(const drying_log::LocalTime& t)
{
    return twoDigits(t.day) + "." + twoDigits(t.month) + "." + std::to_string(t.year) + " " + twoDigits(t.hour) + ":" +
           twoDigits(t.minute) + ":" + twoDigits(t.second);
}

std::string PlantTimeWithOffset(const drying_log::LocalTime& t)
{
    const int offset = std::abs(t.utcOffsetMinutes);
    return PlantTime(t) + " (UTC" + (t.utcOffsetMinutes < 0 ? "-" : "+") + twoDigits(offset / 60) + ":" +
           twoDigits(offset % 60) + ")";
}

std::string Duration(long long seconds)
{
    const long long days = seconds / 86400, hours = seconds / 3600 % 24, minutes = seconds / 60 % 60, s = seconds % 60;
    if (days > 0)
        return std::to_string(days) + " d " + twoDigits(hours) + " h " + twoDigits(minutes) + " min";
    if (hours > 0)
        return std::to_string(hours) + " h " + twoDigits(minutes) + " min";
    if (minutes > 0)
        return std::to_string(minutes) + " min " + twoDigits(s) + " s";
    return std::to_string(s) + " s";
}

std::string Number(const std::optional<double>& v, int decimals)
{
    if (!v)
        return "\u2013";
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, *v);
    std::string s = text;
    if (s == "-0.0" || s == "-0")
        s.erase(0, 1);
    for (char& c : s)
        if (c == '.')
            c = ',';
    return s;
}

} // namespace torv::report
