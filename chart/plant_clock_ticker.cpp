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
    // (a short day, a deep zoom): then the seconds too.
    format_ = torv::drying_log::TimeAxisFormat(std::llround(range.size()), kTicks);
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
