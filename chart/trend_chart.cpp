#include "chart/trend_chart.h"

#include "chart/plant_clock_ticker.h"
#include "chart/trend_curve.h"

namespace {

// The look the chart had: light grid, grey axes with ticks outside, titles
// in bold, the legend in a row under the plot, nothing smoothed.
void ChartStyle(QCustomPlot& plot)
{
    plot.setNotAntialiasedElements(QCP::aeAll);
    plot.yAxis2->setVisible(true);
    QFont title = plot.font();
    title.setBold(true);
    const QColor text(0x40, 0x40, 0x44);
    const QPen line(QColor(0xd6, 0xd6, 0xd6));
    for (QCPAxis* axis : {plot.xAxis, plot.yAxis, plot.yAxis2}) {
        axis->setBasePen(line);
        axis->setTickPen(line);
        axis->setTickLength(0, 5);
        axis->setSubTicks(false);
        axis->setTickLabelColor(text);
        axis->setLabelColor(text);
        axis->setLabelFont(title);
        axis->grid()->setVisible(true);
        axis->grid()->setPen(QPen(QColor(0xe2, 0xe2, 0xe2)));
        axis->grid()->setZeroLinePen(Qt::NoPen);
    }

    // The legend centred in a row of its own under the plot.
    QCPLegend* legend = plot.legend;
    legend->setVisible(true);
    plot.axisRect()->insetLayout()->take(legend);
    auto* row = new QCPLayoutGrid;
    plot.plotLayout()->addElement(1, 0, row);
    row->setMargins(QMargins(0, 0, 0, 6));
    plot.plotLayout()->setRowStretchFactor(1, 0.001);
    row->addElement(0, 0, new QCPLayoutElement(&plot));
    row->addElement(0, 1, legend);
    row->addElement(0, 2, new QCPLayoutElement(&plot));
    row->setColumnStretchFactors({1, 0.001, 1});
    legend->setFillOrder(QCPLayoutGrid::foColumnsFirst);
    legend->setWrap(0);
    legend->setBorderPen(Qt::NoPen);
    legend->setBrush(Qt::NoBrush);
    legend->setTextColor(text);
    legend->setIconBorderPen(Qt::NoPen);
    legend->setIconSize(QFontMetrics(plot.font()).height() / 2 + 1, QFontMetrics(plot.font()).height());
    legend->setIconTextPadding(4);
}

} // namespace

TrendChart MakeTrendChart(QCustomPlot& plot, const torv::drying_log::TrendSeries& trend)
{
    TrendChart c;
    QCPAxis* const timeAxis = plot.xAxis;
    QCPAxis* const temperatureAxis = plot.yAxis;
    QCPAxis* const differenceAxis = plot.yAxis2;
    QCPAxis* const percentAxis = plot.axisRect()->addAxis(QCPAxis::atRight);
    c.timeAxis = timeAxis, c.temperatureAxis = temperatureAxis;
    c.differenceAxis = differenceAxis, c.percentAxis = percentAxis;
    // Drawn in the order the legend names them; the control sensors join it once used.
    plot.setAutoAddPlottableToLegend(false);
    const auto curve = [&timeAxis](QCPAxis* axis, const char* name, QPen pen) {
        return new TrendCurve(timeAxis, axis, QString::fromUtf8(name), pen);
    };
    QPen setPen(QColor(0x40, 0x40, 0x40));
    setPen.setStyle(Qt::DashLine);
    c.dry = curve(temperatureAxis, "Temp. sucha", QPen(QColor(0xd0, 0x30, 0x20)));
    c.wet = curve(temperatureAxis, "Temp. mokra", QPen(QColor(0x20, 0x60, 0xd0)));
    c.setTemperature = curve(temperatureAxis, "Temp. zadana", setPen);
    c.difference = curve(differenceAxis, "Różnica psychr.", QPen(QColor(0x10, 0x90, 0x40)));
    c.control1 = curve(temperatureAxis, "Temp. kontrolna 1", QPen(QColor(0xe0, 0x90, 0x00)));
    c.control2 = curve(temperatureAxis, "Temp. kontrolna 2", QPen(QColor(0x80, 0x40, 0xb0)));
    c.humidity = curve(percentAxis, "RH", QPen(QColor(0x00, 0x90, 0xb0)));
    c.woodMoisture = curve(percentAxis, "EMC", QPen(QColor(0x8a, 0x5a, 0x2a)));
    for (TrendCurve* series : {c.control1, c.control2, c.humidity, c.woodMoisture})
        series->setVisible(false);
    for (TrendCurve* series : {c.dry, c.wet, c.setTemperature, c.difference})
        series->addToLegend();
    ChartStyle(plot);

    timeAxis->setTicker(QSharedPointer<PlantClockTicker>::create(trend));
    temperatureAxis->setLabel(QStringLiteral("°C"));
    temperatureAxis->setNumberPrecision(0);
    differenceAxis->setLabel(QStringLiteral("Różnica °C"));
    differenceAxis->setNumberPrecision(1);
    // Percent of a whole: the same scale whatever the day held.
    percentAxis->setLabel(QStringLiteral("RH, EMC %"));
    percentAxis->setRange(0, 100);
    percentAxis->setVisible(false);
    percentAxis->grid()->setVisible(false);
    percentAxis->setBasePen(plot.yAxis2->basePen());
    percentAxis->setTickPen(plot.yAxis2->tickPen());
    percentAxis->setTickLength(0, 5);
    percentAxis->setSubTicks(false);
    percentAxis->setTickLabelColor(plot.yAxis2->tickLabelColor());
    percentAxis->setLabelColor(plot.yAxis2->labelColor());
    percentAxis->setLabelFont(plot.yAxis2->labelFont());
    for (QCPAxis* axis : {temperatureAxis, differenceAxis}) {
        // Ticks at whole multiples of the step the trend gives, counted from 0.
        auto ticker = QSharedPointer<QCPAxisTickerFixed>::create();
        ticker->setScaleStrategy(QCPAxisTickerFixed::ssNone);
        axis->setTicker(ticker);
        axis->setNumberFormat(QStringLiteral("f"));
    }

    return c;
}
