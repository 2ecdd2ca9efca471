#include "plant/chamber_tile.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "controller/memory_map.h"
#include "plant/chamber_moisture.h"

namespace torv::plant {

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
long DaysFromCivil(int y, int m, int d)
{
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(long z, int& y, int& m, int& d)
{
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

std::string Two(int v)
{
    char text[8];
    std::snprintf(text, sizeof text, "%02d", v);
    return text;
}

std::string Degrees(const std::optional<int>& tenths, const std::string& separator)
{
    return tenths ? TenthsNumber(*tenths, separator) + " °C" : "–";
}

std::string Hundredths(int hundredths, const std::string& separator)
{
    const int a = std::abs(hundredths);
    return (hundredths < 0 ? "-" : "") + std::to_string(a / 100) + separator + Two(a % 100);
}

} // namespace

std::string TenthsNumber(int tenths, const std::string& separator)
{
    const int a = std::abs(tenths);
    return (tenths < 0 ? "-" : "") + std::to_string(a / 10) + separator + std::to_string(a % 10);
}

drying_log::LocalTime AddHours(const drying_log::LocalTime& time, int hours)
{
    long minutes = DaysFromCivil(time.year, time.month, time.day) * 1440L + time.hour * 60L + time.minute + hours * 60L;
    drying_log::LocalTime t = time;
    const long days = minutes >= 0 ? minutes / 1440 : (minutes - 1439) / 1440;
    minutes -= days * 1440;
    CivilFromDays(days, t.year, t.month, t.day);
    t.hour = static_cast<int>(minutes / 60);
    t.minute = static_cast<int>(minutes % 60);
    return t;
}

ChamberTile TileOf(const std::string& name, int address, const std::optional<drying_log::Row>& lastAnswered,
                   bool latestAnswered, const std::string& separator, const quantities::Conditions& conditions)
{
    ChamberTile tile;
    tile.title = name;
    tile.address = "adres " + std::to_string(address);
    tile.stale = !lastAnswered || !latestAnswered;
    for (std::size_t i = 0; i < tile.actuators.size(); ++i)
        tile.actuators[i] = {std::string(kOutputLamps[i].caption), false};
    if (!lastAnswered) {
        tile.dry = "T suchy –";
        tile.wet = "T mokry –";
        tile.humidity = "RH –";
        tile.woodMoisture = "EMC –";
        tile.lastAnswer = "jeszcze nie odpowiedziała";
        return tile;
    }
    const drying_log::Row& r = *lastAnswered;
    tile.dry = "T suchy " + Degrees(r.tempDry, separator);
    tile.wet = "T mokry " + Degrees(r.tempWet, separator);
    const quantities::Moisture moisture = RowMoisture(r, conditions);
    const std::optional<double>& humidity = moisture.relativeHumidity;
    const std::optional<int> wood = PercentTenths(moisture.equilibriumMoisture);
    // Whole percents: a psychrometer tells the humidity no closer.
    tile.humidity = "RH " + (humidity ? std::to_string(std::lround(*humidity)) + " %" : std::string("–"));
    tile.woodMoisture = "EMC " + (wood ? TenthsNumber(*wood, separator) + " %" : std::string("–"));
    tile.difference = "Różnica " + (r.difference ? Hundredths(*r.difference, separator) + " °C" : std::string("–")) +
                      (r.setDifference ? " (zad. " + std::to_string(*r.setDifference) + " °C)" : std::string());
    if (r.setTemperature)
        tile.setTemperature = "TEMP zadana " + std::to_string(*r.setTemperature) + " °C";
    const int step = r.autoStep.value_or(0);
    if (step < 1 || step > 10) {
        tile.programme = "Praca ręczna";
    } else {
        const int done = r.autoHoursDone.value_or(0), total = r.autoHoursTotal.value_or(0);
        tile.programme = "Krok " + std::to_string(step) + ": " + std::to_string(done) + "/" + std::to_string(total) + " h";
        if (total >= done) {
            // The controller counts whole hours: the end is known to the hour at best.
            const drying_log::LocalTime end = AddHours(r.time, total - done);
            tile.programme += ", koniec ok. " + Two(end.hour) + ":" + Two(end.minute) + " " + Two(end.day) + "." +
                              Two(end.month) + "." + std::to_string(end.year);
        }
    }
    const std::array<std::optional<int>, 4> on{r.humidifying, r.heating, r.ventOpen, r.ventClose};
    for (std::size_t i = 0; i < tile.actuators.size(); ++i)
        tile.actuators[i].on = on[i].value_or(0) != 0;
    const drying_log::LocalTime& t = r.time;
    tile.lastAnswer = std::string(latestAnswered ? "odpowiedź " : "brak odpowiedzi od ") + Two(t.hour) + ":" +
                      Two(t.minute) + ":" + Two(t.second) + " " + Two(t.day) + "." + Two(t.month) + ".";
    return tile;
}

} // namespace torv::plant
