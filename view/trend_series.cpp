#include "view/trend_series.h"

#include <QDateTime>
#include <QTimeZone>
#include <algorithm>
#include <cmath>

namespace torv::drying_log {

namespace {

qint64 Msecs(const LocalTime& t)
{
    const QDateTime time(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second),
                         QTimeZone(t.utcOffsetMinutes * 60));
    return time.toMSecsSinceEpoch();
}

// At most this many steps between ticks on a value axis: each label then
// keeps the height of its text, which the toolkit otherwise elides to "...".
constexpr double kMostSteps = 15;

// `least` for the spans a drying log normally has; for wider ones (a broken
// sensor reads -50.0 or 6503.5) the next of 1, 2, 5 x 10^n that leaves at
// most kMostSteps steps.
double TickStep(double span, double least)
{
    double step = least;
    while (span / step > kMostSteps) {
        const double mantissa = step / std::pow(10.0, std::floor(std::log10(step)));
        step *= mantissa < 1.5 || mantissa > 4 ? 2.0 : 2.5;
    }
    return step;
}

// Whole units around [low, high] with a margin of one; `empty` when nothing is in it.
std::pair<double, double> Around(double low, double high, std::pair<double, double> empty)
{
    if (low > high)
        return empty;
    return {std::floor(low) - 1, std::ceil(high) + 1};
}

} // namespace

TrendSeries::Points TrendSeries::take(const std::vector<Row>& rows)
{
    Points points;
    const auto n = static_cast<qsizetype>(rows.size());
    for (QList<QPointF>* list : {&points.dry, &points.wet, &points.control1, &points.control2, &points.set,
                                 &points.difference, &points.humidity, &points.woodMoisture})
        list->reserve(n);
    rows_.reserve(rows_.size() + rows.size());
    times_.reserve(times_.size() + rows.size());
    for (const Row& row : rows)
        collect(row, points);
    return points;
}

TrendSeries::Points TrendSeries::take(const Row& row)
{
    Points points;
    collect(row, points);
    return points;
}

quantities::Moisture TrendSeries::moistureOf(const Row& row) const
{
    if (row.status != Status::Ok)
        return {};
    const auto celsius = [](const std::optional<int>& tenths) {
        return tenths ? std::optional<double>(*tenths / 10.0) : std::nullopt;
    };
    return quantities::MoistureOf(celsius(row.tempDry), celsius(row.tempWet), conditions_);
}

void TrendSeries::widen(double value)
{
    low_ = std::min(low_, value);
    high_ = std::max(high_, value);
}

void TrendSeries::collect(const Row& row, Points& into)
{
    if (row.status != Status::Ok || row.address != address_)
        return;
    const qint64 t = Msecs(row.time);
    const double x = static_cast<double>(t);
    rows_.push_back(row);
    times_.push_back(t);
    auto add = [&](QList<QPointF>& curve, double value) {
        curve.append({x, value});
        widen(value);
    };
    if (row.tempDry)
        add(into.dry, *row.tempDry / 10.0);
    if (row.tempWet)
        add(into.wet, *row.tempWet / 10.0);
    if (row.tempControl1) {
        add(into.control1, *row.tempControl1 / 10.0);
        control1Used_ = true;
    }
    if (row.tempControl2) {
        add(into.control2, *row.tempControl2 / 10.0);
        control2Used_ = true;
    }
    if (row.difference) {
        const double difference = *row.difference / 100.0;
        into.difference.append({x, difference});
        dLow_ = std::min(dLow_, difference);
        dHigh_ = std::max(dHigh_, difference);
    }
    // On their own axis, 0..100 %: they widen no temperature range.
    const quantities::Moisture moisture = moistureOf(row);
    if (moisture.relativeHumidity)
        into.humidity.append({x, *moisture.relativeHumidity});
    if (moisture.equilibriumMoisture)
        into.woodMoisture.append({x, *moisture.equilibriumMoisture});
    // Whole degrees, as the controller holds it; a step: the old value up
    // to this moment, the new one from it.
    if (row.setTemperature) {
        if (lastSet_ && *lastSet_ != *row.setTemperature)
            into.set.append({x, double(*lastSet_)});
        add(into.set, double(*row.setTemperature));
        lastSet_ = row.setTemperature;
    }
    if (row.autoStep) {
        if (lastStep_ >= 0 && *row.autoStep != lastStep_)
            stepChanges_.push_back({t, *row.autoStep});
        lastStep_ = *row.autoStep;
    }
}

TrendSeries::Range TrendSeries::temperatureRange() const
{
    const auto [low, high] = Around(low_, high_, {0, 100});
    // Ticks at round values: the range follows the data, not the ticks.
    const double span = high - low;
    return {low, high, TickStep(span, span <= 12 ? 1 : span <= 30 ? 2 : span <= 60 ? 5 : 10)};
}

TrendSeries::Range TrendSeries::differenceRange() const
{
    const auto [low, high] = Around(dLow_, dHigh_, {0, 10});
    const double span = high - low;
    return {low, high, TickStep(span, span <= 6 ? 0.5 : span <= 12 ? 1 : 2)};
}

std::pair<qint64, qint64> TrendSeries::timeSpan(const QDate& today) const
{
    if (times_.empty()) {
        const qint64 midnight = QDateTime(today, QTime(0, 0)).toMSecsSinceEpoch();
        return {midnight, midnight + 24 * 3600 * 1000LL};
    }
    return {times_.front(), std::max(times_.back(), times_.front() + 60 * 1000LL)};
}

QString TrendSeries::plantClock(qint64 msecs, const QString& format, const QLocale& locale) const
{
    QDateTime at = QDateTime::fromMSecsSinceEpoch(msecs);
    if (!times_.empty()) {
        const auto after = std::upper_bound(times_.begin(), times_.end(), msecs);
        const Row& row = rows_[after == times_.begin() ? 0 : std::size_t(after - times_.begin()) - 1];
        at = QDateTime::fromMSecsSinceEpoch(msecs, QTimeZone(row.time.utcOffsetMinutes * 60));
    }
    return locale.toString(at, format);
}

const Row* TrendSeries::rowNear(qint64 msecs) const
{
    if (times_.empty())
        return nullptr;
    auto it = std::lower_bound(times_.begin(), times_.end(), msecs);
    if (it == times_.end() || (it != times_.begin() && msecs - *(it - 1) < *it - msecs))
        --it;
    return &rows_[static_cast<std::size_t>(it - times_.begin())];
}

QString TimeAxisFormat(qint64 spanMsecs, int tickCount, bool spansDays)
{
    const QString time = spanMsecs < (tickCount - 1) * 120'000LL ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm");
    return spansDays ? time + QStringLiteral("\ndd.MM") : time;
}

} // namespace torv::drying_log
