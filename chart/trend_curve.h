#pragma once
#include <QList>
#include <QPointF>
#include <qcustomplot.h>

// One curve of the chart: a line through its points in time order, shown in
// the legend by a small square of its colour.
class TrendCurve final : public QCPGraph {
public:
    TrendCurve(QCPAxis* timeAxis, QCPAxis* valueAxis, const QString& name, const QPen& pen);

    // The points as the curve's whole data, or after it. Points of one
    // moment keep their order: a step's old value comes before its new one.
    void replace(const QList<QPointF>& points);
    void append(const QList<QPointF>& points);

protected:
    void drawLegendIcon(QCPPainter* painter, const QRectF& rect) const override;
};
