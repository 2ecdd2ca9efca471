#pragma once
#include <QList>
#include <QString>
#include <QWidget>
#include <vector>

#include "files/drying_log.h"
#include "view/trend_series.h"

class QCPAxis;
class QCPGraph;
class QCheckBox;
class QComboBox;
class QCustomPlot;
class QLabel;
class QTimer;
class TrendCurve;

// The drying log of one controller as curves over time: the temperatures and
// the set temperature on the left axis, the difference on the right, RH and
// EMC when asked for on a percent axis beside it, the programme's step
// changes as vertical lines. It reads the log files and the
// scans' results handed to it, never the bus, so it stays usable while bus
// work runs.
class TrendWindow : public QWidget {
    Q_OBJECT
public:
    // `baseDir` holds the log's pomiary/ folder.
    explicit TrendWindow(QString baseDir, QWidget* parent = nullptr);
    ~TrendWindow() override;

    // Shows today's log of `address`; nothing when that controller is shown already.
    void showController(int address);
    // Shows the log at `path` (a file of the shown controller).
    bool loadFile(const QString& path);
    // A scan just written to the log: a point more when it belongs to the
    // file shown; when the live day is shown and a new day began, that day.
    // Only kept here: the chart takes it from the event loop once no bus
    // work waits, as laying out the curves again takes milliseconds.
    void addMeasurement(const torv::drying_log::Row& row);
    // Takes the scans kept so far now.
    void takePending();
    // The whole of the file shown, on both axes.
    void resetView();
    bool savePicture(const QString& path);

    int address() const { return address_; }
    QString shownFile() const { return shownPath_; }

    QCustomPlot* plot() const { return plot_; }
    // A curve not used is hidden and out of the legend.
    QCPGraph* drySeries() const;
    QCPGraph* wetSeries() const;
    QCPGraph* control1Series() const;
    QCPGraph* control2Series() const;
    QCPGraph* setTemperatureSeries() const;
    QCPGraph* differenceSeries() const;
    // Shown while their boxes are ticked (not at first), on percentAxis().
    QCPGraph* humiditySeries() const;
    QCPGraph* woodMoistureSeries() const;
    QCheckBox* humidityBox() const { return humidityBox_; }
    QCheckBox* woodMoistureBox() const { return woodMoistureBox_; }
    // One two-point vertical line per step change.
    QList<QCPGraph*> stepLines() const;
    // Milliseconds since the epoch.
    QCPAxis* timeAxis() const { return timeAxis_; }
    QCPAxis* temperatureAxis() const { return temperatureAxis_; }
    QCPAxis* differenceAxis() const { return differenceAxis_; }
    QCPAxis* percentAxis() const { return percentAxis_; }
    QComboBox* dayBox() const { return dayBox_; }
    QLabel* valueLabel() const { return valueLabel_; }

    // The values at the time `msecs` (the nearest line), for the hover label.
    QString valuesAt(qint64 msecs) const;

private slots:
    void dayChosen(int index);
    void askForPicture();

private:
    void fillDays();
    void clearCurves();
    // Draws what the trend took: its new step changes as lines, `points`
    // onto the curves (`replace` or appended).
    void draw(const torv::drying_log::TrendSeries::Points& points, bool replace);
    // False when it reloaded the file instead: the rest is in it.
    bool take(const torv::drying_log::Row& row);
    void takeRow(const torv::drying_log::Row& row);
    void attach(TrendCurve* curve, bool used);
    void addStepLine(qint64 msecs, int step);
    // The percent axis and its curves as their boxes say.
    void showPercentCurves();
    void fitRanges(bool resetTime);
    QString todaysPath() const;

    QString baseDir_;
    int address_ = -1;
    QString shownPath_;
    bool live_ = false; // today's file is shown and follows the scans

    QCustomPlot* plot_;
    QCPAxis *timeAxis_, *temperatureAxis_, *differenceAxis_, *percentAxis_;
    TrendCurve *dry_, *wet_, *control1_, *control2_, *setTemperature_, *difference_, *humidity_, *woodMoisture_;
    QCheckBox *humidityBox_, *woodMoistureBox_;
    // The shown chamber's psychrometer, from the chamber list beside the log.
    torv::quantities::Conditions conditions_;
    QList<TrendCurve*> stepLines_;
    QComboBox* dayBox_;
    QLabel* valueLabel_;
    QTimer* pendingTimer_;
    std::vector<torv::drying_log::Row> pending_;

    // What is shown, for the ranges and the hover label.
    torv::drying_log::TrendSeries trend_;
};
