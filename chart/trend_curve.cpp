#include "chart/trend_curve.h"

#include <algorithm>

namespace {

bool Earlier(const QCPGraphData& a, const QCPGraphData& b) { return a.key < b.key; }

QVector<QCPGraphData> GraphData(const QList<QPointF>& points)
{
    QVector<QCPGraphData> data;
    data.reserve(points.size());
    for (const QPointF& point : points)
        data.append(QCPGraphData(point.x(), point.y()));
    // A clock set back leaves a log out of order; the plot needs its keys sorted.
    if (!std::is_sorted(data.begin(), data.end(), Earlier))
        std::stable_sort(data.begin(), data.end(), Earlier);
    return data;
}

} // namespace

TrendCurve::TrendCurve(QCPAxis* timeAxis, QCPAxis* valueAxis, const QString& name, const QPen& pen)
    : QCPGraph(timeAxis, valueAxis)
{
    setName(name);
    setPen(pen);
}

void TrendCurve::replace(const QList<QPointF>& points)
{
    data()->set(GraphData(points), true);
}

void TrendCurve::append(const QList<QPointF>& points)
{
    QVector<QCPGraphData> added = GraphData(points);
    if (added.isEmpty())
        return;
    // The container merges points after those of the same moment, but puts
    // them first when none lies after them: then merged here.
    if (!data()->isEmpty() && data()->constBegin()->key >= added.constLast().key) {
        QVector<QCPGraphData> all(data()->constBegin(), data()->constEnd());
        all.append(added);
        std::stable_sort(all.begin(), all.end(), Earlier);
        data()->set(all, true);
        return;
    }
    data()->add(added, true);
}

// The marker the chart has always had: a square filled with the line's colour.
void TrendCurve::drawLegendIcon(QCPPainter* painter, const QRectF& rect) const
{
    const qreal side = std::min(rect.width(), rect.height()) - 1;
    const QRectF square(rect.left(), rect.center().y() - side / 2, side, side);
    painter->setPen(QPen(Qt::black, 1));
    painter->setBrush(pen().color());
    painter->drawRect(square);
}
