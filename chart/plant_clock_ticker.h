#pragma once
#include <qcustomplot.h>

#include "view/trend_series.h"

// The time axis's ticks: a fixed count spread evenly from one end of the
// axis to the other, labelled with the plant's clock as the log has it (its
// zone may differ from the viewer's and change within a day). Keys are
// milliseconds since the epoch.
class PlantClockTicker final : public QCPAxisTicker {
public:
    static constexpr int kTicks = 9;

    // `trend` outlives the ticker.
    explicit PlantClockTicker(const torv::drying_log::TrendSeries& trend) : trend_(trend) {}

protected:
    double getTickStep(const QCPRange& range) override;
    int getSubTickCount(double tickStep) override;
    QVector<double> createTickVector(double tickStep, const QCPRange& range) override;
    QString getTickLabel(double tick, const QLocale& locale, QChar formatChar, int precision) override;

private:
    const torv::drying_log::TrendSeries& trend_;
    QString format_ = QStringLiteral("HH:mm");
};
