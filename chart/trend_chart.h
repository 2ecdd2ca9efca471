#pragma once
#include <qcustomplot.h>

#include "view/trend_series.h"

class TrendCurve;

// The chart of a drying log's measurements on a plot: its axes, its curves
// with their colours and names, its look. The trend window and a report's
// page draw the same chart from it.
struct TrendChart {
    QCPAxis *timeAxis = nullptr, *temperatureAxis = nullptr, *differenceAxis = nullptr, *percentAxis = nullptr;
    TrendCurve *dry = nullptr, *wet = nullptr, *setTemperature = nullptr, *difference = nullptr;
    TrendCurve *control1 = nullptr, *control2 = nullptr, *humidity = nullptr, *woodMoisture = nullptr;
};

// Builds the chart on `plot`: the control sensors', RH and EMC curves hidden
// and out of the legend until shown, the percent axis hidden, the time axis
// labelled by `trend`'s plant clock (`trend` outlives the plot).
TrendChart MakeTrendChart(QCustomPlot& plot, const torv::drying_log::TrendSeries& trend);
