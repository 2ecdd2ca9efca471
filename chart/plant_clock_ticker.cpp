#include "chart/plant_clock_ticker.h"

#include <cmath>

double PlantClockTicker::getTickStep(const QCPRange& range)
{
    return range.size() / (kTicks - 1);
}

int PlantClockTicker::getSubTickCount(double)
{
    return 0;
}

QVector<double> PlantClockTicker::createTickVector(double tickStep, const QCPRange& range)
{
    // Minutes alone repeat or skip once the ticks lie under two minutes apart
    // (a short day, a deep zoom): then the seconds too. A span that ends on
    // another plant day than it began (its last instant, so an empty day's
    // axis to the next midnight stays one day) carries the dates.
    const QString firstDay = trend_.plantClock(std::llround(range.lower), QStringLiteral("yyyyMMdd"), QLocale::c());
    const QString lastDay = trend_.plantClock(std::llround(range.upper) - 1, QStringLiteral("yyyyMMdd"), QLocale::c());
    format_ = torv::drying_log::TimeAxisFormat(std::llround(range.size()), kTicks, firstDay != lastDay);
    QVector<double> ticks(kTicks);
    for (int i = 0; i < kTicks; ++i)
        ticks[i] = range.lower + i * tickStep;
    // Exactly the end: a rounding past it would drop the last tick.
    ticks[kTicks - 1] = range.upper;
    return ticks;
}

QString PlantClockTicker::getTickLabel(double tick, const QLocale&, QChar, int)
{
    // The application's locale, not the plot's fixed C one.
    return trend_.plantClock(std::llround(tick), format_, QLocale());
}
