#include "trend_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSaveFile>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <qcustomplot.h>

#include "plant/chamber_list.h"
#include "plant/chamber_moisture.h"
#include "save_refusal.h"
#include "serving_clock.h"
#include "charge_report_dialog.h"
#include "chart/trend_chart.h"
#include "chart/trend_curve.h"

namespace dl = torv::drying_log;

namespace {

QString Degrees(int tenths) { return QString::number(tenths / 10.0, 'f', 1); }

// The file-name part before the date, e.g. "komora-005-".
QString FilePrefix(int address)
{
    const std::string name = dl::FileName(address, dl::LocalTime{});
    return QString::fromStdString(name.substr(0, name.size() - std::string("1970-01-01.csv").size()));
}

} // namespace

// The chart's widget: the wheel zooms the time axis about the pointer, a
// drag moves it, the pointer's time shows the values under it.
class TrendPlot final : public QCustomPlot {
public:
    explicit TrendPlot(TrendWindow& window) : window_(window) { setMouseTracking(true); }

protected:
    void wheelEvent(QWheelEvent* event) override
    {
        const QRectF area = axisRect()->rect();
        const double x = std::clamp(event->position().x(), area.left(), area.right());
        const double factor = event->angleDelta().y() > 0 ? 0.8 : 1.25;
        xAxis->scaleRange(factor, xAxis->pixelToCoord(x));
        replot(rpQueuedReplot);
        event->accept();
    }
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton) {
            dragFrom_ = event->position().x();
            dragging_ = true;
            event->accept();
            return;
        }
        QCustomPlot::mousePressEvent(event);
    }
    void mouseMoveEvent(QMouseEvent* event) override
    {
        const double x = event->position().x();
        if (dragging_) {
            xAxis->moveRange(xAxis->pixelToCoord(dragFrom_) - xAxis->pixelToCoord(x));
            dragFrom_ = x;
            replot(rpQueuedReplot);
        }
        window_.valueLabel()->setText(QRectF(axisRect()->rect()).contains(event->position())
                                          ? window_.valuesAt(static_cast<qint64>(xAxis->pixelToCoord(x)))
                                          : QString());
        QCustomPlot::mouseMoveEvent(event);
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton)
            dragging_ = false;
        QCustomPlot::mouseReleaseEvent(event);
    }

private:
    TrendWindow& window_;
    double dragFrom_ = 0;
    bool dragging_ = false;
};

TrendWindow::TrendWindow(QString baseDir, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , baseDir_(std::move(baseDir))
    , plot_(new TrendPlot(*this))
    , humidityBox_(new QCheckBox(QStringLiteral("RH")))
    , woodMoistureBox_(new QCheckBox(QStringLiteral("EMC")))
    , dayBox_(new QComboBox)
    , valueLabel_(new QLabel)
    , pendingTimer_(new QTimer(this))
{
    setWindowTitle(QStringLiteral("Wykres pomiarów"));
    // Reading files and drawing start no bus work: its input is served while bus work runs.
    ServingClock::serveInputOf(this);

    const TrendChart chart = MakeTrendChart(*plot_, trend_);
    timeAxis_ = chart.timeAxis, temperatureAxis_ = chart.temperatureAxis;
    differenceAxis_ = chart.differenceAxis, percentAxis_ = chart.percentAxis;
    dry_ = chart.dry, wet_ = chart.wet, setTemperature_ = chart.setTemperature, difference_ = chart.difference;
    control1_ = chart.control1, control2_ = chart.control2;
    humidity_ = chart.humidity, woodMoisture_ = chart.woodMoisture;

    auto* reset = new QPushButton(QStringLiteral("Cały dzień"));
    reset->setObjectName(QStringLiteral("ResetViewButton"));
    auto* save = new QPushButton(QStringLiteral("Zapisz obraz\u2026"));
    save->setObjectName(QStringLiteral("SavePictureButton"));
    dayBox_->setObjectName(QStringLiteral("DayBox"));
    dayBox_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    valueLabel_->setObjectName(QStringLiteral("ValueLabel"));
    valueLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* bar = new QHBoxLayout;
    bar->addWidget(new QLabel(QStringLiteral("Dzień:")));
    bar->addWidget(dayBox_);
    bar->addWidget(reset);
    bar->addWidget(save);
    auto* report = new QPushButton(QStringLiteral("Raport\u2026"));
    report->setObjectName(QStringLiteral("ReportButton"));
    bar->addWidget(report);
    humidityBox_->setObjectName(QStringLiteral("HumidityBox"));
    woodMoistureBox_->setObjectName(QStringLiteral("WoodMoistureBox"));
    bar->addWidget(humidityBox_);
    bar->addWidget(woodMoistureBox_);
    bar->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(bar);
    layout->addWidget(plot_, 1);
    layout->addWidget(valueLabel_);

    connect(dayBox_, &QComboBox::activated, this, &TrendWindow::dayChosen);
    connect(reset, &QPushButton::clicked, this, &TrendWindow::resetView);
    connect(save, &QPushButton::clicked, this, &TrendWindow::askForPicture);
    connect(report, &QPushButton::clicked, this, [this] {
        if (address_ > 0)
            OpenChargeReport(this, baseDir_, address_);
    });
    for (QCheckBox* box : {humidityBox_, woodMoistureBox_})
        connect(box, &QCheckBox::toggled, this, &TrendWindow::showPercentCurves);
    pendingTimer_->setSingleShot(true);
    connect(pendingTimer_, &QTimer::timeout, this, [this] {
        // A round of a bus wait's event serving has no time for it.
        if (ServingClock::serving())
            pendingTimer_->start(50);
        else
            takePending();
    });
    resize(900, 560);
}

// The plot reads the trend (its time labels) and this window: it goes first.
TrendWindow::~TrendWindow()
{
    delete plot_;
}

QCPGraph* TrendWindow::drySeries() const { return dry_; }
QCPGraph* TrendWindow::wetSeries() const { return wet_; }
QCPGraph* TrendWindow::control1Series() const { return control1_; }
QCPGraph* TrendWindow::control2Series() const { return control2_; }
QCPGraph* TrendWindow::setTemperatureSeries() const { return setTemperature_; }
QCPGraph* TrendWindow::differenceSeries() const { return difference_; }
QCPGraph* TrendWindow::humiditySeries() const { return humidity_; }
QCPGraph* TrendWindow::woodMoistureSeries() const { return woodMoisture_; }

void TrendWindow::showPercentCurves()
{
    attach(humidity_, humidityBox_->isChecked());
    attach(woodMoisture_, woodMoistureBox_->isChecked());
    percentAxis_->setVisible(humidityBox_->isChecked() || woodMoistureBox_->isChecked());
    plot_->replot();
}
QList<QCPGraph*> TrendWindow::stepLines() const { return {stepLines_.begin(), stepLines_.end()}; }

void TrendWindow::attach(TrendCurve* curve, bool used)
{
    if (used == curve->visible())
        return;
    curve->setVisible(used);
    // A curve taken on again comes last in the legend.
    if (used)
        curve->addToLegend();
    else
        curve->removeFromLegend();
}

QString TrendWindow::todaysPath() const
{
    return QDir(baseDir_).filePath(QString::fromLatin1(dl::kDirectory) + QLatin1Char('/')
                                   + QString::fromStdString(dl::FileName(address_, dl::SystemLocalTime())));
}

void TrendWindow::showController(int address)
{
    if (address == address_)
        return;
    address_ = address;
    setWindowTitle(QStringLiteral("Wykres pomiarów \u2013 komora %1").arg(address));
    // A list with problems gives none of its values: the defaults then.
    const torv::plant::ChamberListResult list = torv::plant::ReadChamberListFile(
        QDir(baseDir_).filePath(QString::fromLatin1(torv::plant::kChamberListFileName)).toStdString());
    conditions_ = torv::plant::MoistureConditions(list.list, address);
    fillDays();
    loadFile(todaysPath());
}

// The controller's files, newest first; today's too before its first line.
void TrendWindow::fillDays()
{
    const QString prefix = FilePrefix(address_);
    QDir folder(QDir(baseDir_).filePath(QString::fromLatin1(dl::kDirectory)));
    QStringList names = folder.entryList({prefix + QStringLiteral("[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9].csv")}, QDir::Files, QDir::Name);
    const QString today = QFileInfo(todaysPath()).fileName();
    if (!names.contains(today))
        names.append(today);
    std::sort(names.begin(), names.end(), std::greater<>());
    dayBox_->clear();
    for (const QString& name : names)
        dayBox_->addItem(name.mid(prefix.size(), 10), folder.filePath(name));
}

void TrendWindow::dayChosen(int index)
{
    if (index >= 0)
        loadFile(dayBox_->itemData(index).toString());
}

void TrendWindow::clearCurves()
{
    pending_.clear(); // in the file by now, or of another controller
    for (TrendCurve* line : std::as_const(stepLines_))
        plot_->removeGraph(line);
    stepLines_.clear();
    trend_ = dl::TrendSeries(address_, conditions_);
}

bool TrendWindow::loadFile(const QString& path)
{
    clearCurves();
    shownPath_ = path;
    live_ = QFileInfo(path).fileName() == QFileInfo(todaysPath()).fileName();
    const int index = dayBox_->findData(path);
    if (index >= 0)
        dayBox_->setCurrentIndex(index);

    std::string error;
    std::optional<dl::Contents> contents;
    if (QFileInfo::exists(path))
        contents = dl::ReadLog(path.toStdString(), &error);
    // Handed over at once, each curve's points in one piece.
    draw(contents ? trend_.take(contents->rows) : dl::TrendSeries::Points{}, true);
    fitRanges(true);
    plot_->replot();

    QString note;
    if (!contents && QFileInfo::exists(path))
        note = QStringLiteral("Nie można odczytać pliku: %1").arg(QString::fromStdString(error));
    else if (contents && !contents->skipped.empty())
        note = QStringLiteral("Pominięte wiersze: %1 (wiersz %2: %3)")
                   .arg(contents->skipped.size())
                   .arg(contents->skipped.front().number)
                   .arg(QString::fromStdString(contents->skipped.front().reason));
    else if (trend_.rows().empty())
        note = QStringLiteral("Brak pomiarów tego dnia.");
    valueLabel_->setText(note);
    return contents.has_value();
}

void TrendWindow::addStepLine(qint64 msecs, int step)
{
    QPen pen(QColor(0x90, 0x90, 0x90));
    pen.setStyle(Qt::DotLine);
    pen.setWidth(2);
    auto* line = new TrendCurve(timeAxis_, temperatureAxis_, QStringLiteral("Zmiana kroku"), pen);
    line->setProperty("step", step);
    const double x = static_cast<double>(msecs);
    const QCPRange range = temperatureAxis_->range();
    line->replace({{x, range.lower}, {x, range.upper}});
    // One legend entry stands for all of them.
    if (stepLines_.isEmpty())
        line->addToLegend();
    stepLines_.append(line);
}

void TrendWindow::addMeasurement(const dl::Row& row)
{
    if (row.address != address_ || row.status != dl::Status::Ok)
        return;
    pending_.push_back(row);
    if (!pendingTimer_->isActive())
        pendingTimer_->start(0);
}

void TrendWindow::takePending()
{
    pendingTimer_->stop();
    const std::vector<dl::Row> rows = std::move(pending_);
    pending_.clear();
    for (const dl::Row& row : rows)
        if (!take(row))
            break;
}

bool TrendWindow::take(const dl::Row& row)
{
    if (row.address != address_)
        return true;
    const QString name = QString::fromStdString(dl::FileName(row.address, row.time));
    if (name != QFileInfo(shownPath_).fileName()) {
        // Midnight passed while the live day was shown: the new day's file.
        if (live_) {
            fillDays();
            loadFile(todaysPath());
            return false;
        }
        return true;
    }
    takeRow(row);
    return true;
}

void TrendWindow::draw(const dl::TrendSeries::Points& points, bool replace)
{
    const std::vector<dl::TrendSeries::StepChange>& changes = trend_.stepChanges();
    for (auto i = static_cast<std::size_t>(stepLines_.size()); i < changes.size(); ++i)
        addStepLine(changes[i].msecs, changes[i].step);
    const std::pair<TrendCurve*, const QList<QPointF>*> curves[] = {
        {dry_, &points.dry}, {wet_, &points.wet}, {control1_, &points.control1}, {control2_, &points.control2},
        {setTemperature_, &points.set}, {difference_, &points.difference}, {humidity_, &points.humidity},
        {woodMoisture_, &points.woodMoisture}};
    for (const auto& [series, list] : curves) {
        if (replace)
            series->replace(*list);
        else
            series->append(*list);
    }
    attach(control1_, trend_.control1Used());
    attach(control2_, trend_.control2Used());
}

// One scan more: each series gets its points appended, the rest stays drawn.
void TrendWindow::takeRow(const dl::Row& row)
{
    draw(trend_.take(row), false);
    // The view follows the new point unless the operator zoomed or moved it.
    const std::vector<qint64>& times = trend_.times();
    const bool following = times.size() < 2 || timeAxis_->range().upper >= double(times[times.size() - 2]);
    fitRanges(following);
    plot_->replot();
}

// The ranges the trend gives; the time axis only when `resetTime`.
void TrendWindow::fitRanges(bool resetTime)
{
    const dl::TrendSeries::Range temperature = trend_.temperatureRange();
    const double low = temperature.min, high = temperature.max;
    temperatureAxis_->setRange(low, high);
    const dl::TrendSeries::Range difference = trend_.differenceRange();
    differenceAxis_->setRange(difference.min, difference.max);
    for (TrendCurve* line : std::as_const(stepLines_)) {
        const double x = line->data()->at(0)->key;
        line->replace({{x, low}, {x, high}});
    }
    for (auto [axis, step] : {std::pair{temperatureAxis_, temperature.step}, {differenceAxis_, difference.step}})
        qSharedPointerCast<QCPAxisTickerFixed>(axis->ticker())->setTickStep(step);
    if (!resetTime)
        return;
    const auto [first, last] = trend_.timeSpan(QDate::currentDate());
    timeAxis_->setRange(double(first), double(last));
}

void TrendWindow::resetView()
{
    fitRanges(true);
    plot_->replot();
}

QString TrendWindow::valuesAt(qint64 msecs) const
{
    const dl::Row* nearest = trend_.rowNear(msecs);
    if (!nearest)
        return {};
    const dl::Row& row = *nearest;
    // The time as the line has it, the plant's clock.
    QString text = QTime(row.time.hour, row.time.minute, row.time.second).toString(QStringLiteral("HH:mm:ss"));
    auto add = [&text](const QString& name, const std::optional<int>& tenths) {
        if (tenths)
            text += QStringLiteral("   %1 %2 °C").arg(name, Degrees(*tenths));
    };
    add(QStringLiteral("sucha"), row.tempDry);
    add(QStringLiteral("mokra"), row.tempWet);
    add(QStringLiteral("kontr. 1"), row.tempControl1);
    add(QStringLiteral("kontr. 2"), row.tempControl2);
    if (row.setTemperature)
        text += QStringLiteral("   zadana %1 °C").arg(*row.setTemperature);
    if (row.difference)
        text += QStringLiteral("   różnica %1 °C").arg(QString::number(*row.difference / 100.0, 'f', 2));
    if (row.autoStep)
        text += QStringLiteral("   krok %1").arg(*row.autoStep);
    const torv::quantities::Moisture moisture = trend_.moistureOf(row);
    if (moisture.relativeHumidity)
        text += QStringLiteral("   RH %1 %").arg(std::lround(*moisture.relativeHumidity));
    if (moisture.equilibriumMoisture)
        text += QStringLiteral("   EMC %1 %").arg(Degrees(*torv::plant::PercentTenths(moisture.equilibriumMoisture)));
    return text;
}

bool TrendWindow::savePicture(const QString& path)
{
    const QString target = SaveTargetOrRefuse(this, path);
    if (target.isEmpty())
        return false;
    // Written beside and renamed over, so a failed save leaves an earlier picture whole.
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly) || !grab().save(&file, "PNG") || !file.commit()) {
        ShowNotSaved(this, path, file.errorString());
        return false;
    }
    return true;
}

void TrendWindow::askForPicture()
{
    AskWhereToSave(this, QStringLiteral("Zapisz obraz wykresu"), baseDir_, QStringLiteral("Obraz PNG (*.png)"),
                   QStringLiteral("png"), QFileInfo(shownPath_).completeBaseName() + QStringLiteral(".png"),
                   [this](const QString& path) {
                       if (!savePicture(path))
                           valueLabel_->setText(QStringLiteral("Nie można zapisać obrazu: %1").arg(path));
                   });
}
