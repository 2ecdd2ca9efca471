#pragma once
#include <QDate>
#include <QList>
#include <QLocale>
#include <QPointF>
#include <QString>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "files/drying_log.h"
#include "quantities/moisture.h"

namespace torv::drying_log {

// A day of one controller's log as the chart's curves: their points, the
// programme's step changes, the ranges of the axes and the plant's clock.
// Times are milliseconds since the epoch, values degrees (RH and EMC
// percent). It knows nothing of drawing, so the chart's rules can be checked
// without a window.
class TrendSeries {
public:
    // One list per curve. The set temperature is drawn as steps: at a change
    // the old value and the new one share the moment.
    struct Points {
        QList<QPointF> dry, wet, control1, control2, set, difference;
        QList<QPointF> humidity, woodMoisture; // only where the line gives a value
    };
    // A value axis: whole units around the values with a margin of one, a
    // tick every `step`.
    struct Range {
        double min = 0, max = 0, step = 0;
        bool operator==(const Range&) const = default;
    };
    struct StepChange {
        qint64 msecs = 0;
        int step = 0; // the step begun
        bool operator==(const StepChange&) const = default;
    };

    // RH and EMC are computed from T suchy and T mokry under `conditions`,
    // the chamber's psychrometer, as the overview computes them.
    explicit TrendSeries(int address = -1, const quantities::Conditions& conditions = {})
        : address_(address), conditions_(conditions)
    {
    }
    int address() const { return address_; }
    // RH and EMC of one line; none for a failed one.
    quantities::Moisture moistureOf(const Row& row) const;

    // Takes the lines of this controller that hold values (status ok),
    // after those taken so far; returns the points they add.
    Points take(const std::vector<Row>& rows);
    Points take(const Row& row);

    // The control sensors' curves are drawn only once a line has them.
    bool control1Used() const { return control1Used_; }
    bool control2Used() const { return control2Used_; }
    // Each move of the programme to another step, in order.
    const std::vector<StepChange>& stepChanges() const { return stepChanges_; }
    // The lines taken, and the moment of each.
    const std::vector<Row>& rows() const { return rows_; }
    const std::vector<qint64>& times() const { return times_; }

    // The left axis: every temperature curve with the set temperature.
    Range temperatureRange() const;
    Range differenceRange() const;
    // The first and last moment, a minute at least; `today` in the viewer's
    // zone before any line.
    std::pair<qint64, qint64> timeSpan(const QDate& today) const;

    // `msecs` on the plant's clock as the log has it: with the offset of the
    // line at or before that moment (the first line's before it); the
    // viewer's zone before any line.
    QString plantClock(qint64 msecs, const QString& format, const QLocale& locale) const;
    // The line nearest `msecs`, the later of two as near; nullptr before any.
    const Row* rowNear(qint64 msecs) const;

private:
    void collect(const Row& row, Points& into);
    void widen(double value);

    int address_;
    quantities::Conditions conditions_;
    std::vector<Row> rows_;
    std::vector<qint64> times_;
    std::vector<StepChange> stepChanges_;
    bool control1Used_ = false, control2Used_ = false;
    int lastStep_ = -1;
    std::optional<int> lastSet_;
    double low_ = std::numeric_limits<double>::max(), high_ = std::numeric_limits<double>::lowest();
    double dLow_ = std::numeric_limits<double>::max(), dHigh_ = std::numeric_limits<double>::lowest();
};

// The time axis's label format: the seconds too once `tickCount` ticks over
// `spanMsecs` lie under two minutes apart, where minutes alone repeat or skip;
// the day under the time once the span reaches into another day (a report
// over a run of several days), where times alone would repeat.
QString TimeAxisFormat(qint64 spanMsecs, int tickCount, bool spansDays = false);

} // namespace torv::drying_log
