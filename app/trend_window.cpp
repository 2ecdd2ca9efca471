#include "trend_window.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QDir>
#include <QFileDialog>
#include <QGraphicsTextItem>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPushButton>
#include <QSaveFile>
#include <QTimer>
#include <QValueAxis>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "save_refusal.h"
#include "serving_clock.h"

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

// The chart's view: the wheel zooms the time axis about the pointer, a drag
// moves it, the pointer's time shows the values under it.
class TrendView final : public QChartView {
public:
    TrendView(QChart* chart, TrendWindow& window) : QChartView(chart), window_(window)
    {
        setMouseTracking(true);
        setRenderHint(QPainter::Antialiasing, false);
    }

protected:
    void wheelEvent(QWheelEvent* event) override
    {
        const QRectF area = chart()->plotArea();
        const qreal x = std::clamp(event->position().x(), area.left(), area.right());
        const qreal factor = event->angleDelta().y() > 0 ? 0.8 : 1.25;
        QRectF zoomed = area;
        zoomed.setLeft(x - (x - area.left()) * factor);
        zoomed.setRight(x + (area.right() - x) * factor);
        chart()->zoomIn(zoomed);
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
        QChartView::mousePressEvent(event);
    }
    void mouseMoveEvent(QMouseEvent* event) override
    {
        const qreal x = event->position().x();
        if (dragging_) {
            chart()->scroll(dragFrom_ - x, 0);
            dragFrom_ = x;
        }
        const QPointF value = chart()->mapToValue(event->position(), window_.drySeries());
        window_.valueLabel()->setText(chart()->plotArea().contains(event->position())
                                          ? window_.valuesAt(static_cast<qint64>(value.x()))
                                          : QString());
        QChartView::mouseMoveEvent(event);
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton)
            dragging_ = false;
        QChartView::mouseReleaseEvent(event);
    }
    void paintEvent(QPaintEvent* event) override
    {
        window_.labelPlantClock();
        QChartView::paintEvent(event);
    }

private:
    TrendWindow& window_;
    qreal dragFrom_ = 0;
    bool dragging_ = false;
};

TrendWindow::TrendWindow(QString baseDir, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , baseDir_(std::move(baseDir))
    , chart_(new QChart)
    , dry_(new QLineSeries(this))
    , wet_(new QLineSeries(this))
    , control1_(new QLineSeries(this))
    , control2_(new QLineSeries(this))
    , setTemperature_(new QLineSeries(this))
    , difference_(new QLineSeries(this))
    , timeAxis_(new QDateTimeAxis)
    , temperatureAxis_(new QValueAxis)
    , differenceAxis_(new QValueAxis)
    , dayBox_(new QComboBox)
    , valueLabel_(new QLabel)
    , pendingTimer_(new QTimer(this))
{
    setWindowTitle(QStringLiteral("Wykres pomiarów"));
    // Reading files and drawing start no bus work: its input is served while bus work runs.
    ServingClock::serveInputOf(this);

    dry_->setName(QStringLiteral("Temp. sucha"));
    wet_->setName(QStringLiteral("Temp. mokra"));
    control1_->setName(QStringLiteral("Temp. kontrolna 1"));
    control2_->setName(QStringLiteral("Temp. kontrolna 2"));
    setTemperature_->setName(QStringLiteral("Temp. zadana"));
    difference_->setName(QStringLiteral("Różnica psychr."));
    dry_->setColor(QColor(0xd0, 0x30, 0x20));
    wet_->setColor(QColor(0x20, 0x60, 0xd0));
    control1_->setColor(QColor(0xe0, 0x90, 0x00));
    control2_->setColor(QColor(0x80, 0x40, 0xb0));
    QPen setPen(QColor(0x40, 0x40, 0x40));
    setPen.setStyle(Qt::DashLine);
    setTemperature_->setPen(setPen);
    difference_->setColor(QColor(0x10, 0x90, 0x40));

    chart_->addAxis(timeAxis_, Qt::AlignBottom);
    chart_->addAxis(temperatureAxis_, Qt::AlignLeft);
    chart_->addAxis(differenceAxis_, Qt::AlignRight);
    timeAxis_->setFormat(QStringLiteral("HH:mm"));
    timeAxis_->setTickCount(9);
    // Minutes alone repeat or skip once the ticks lie under two minutes apart
    // (a short day, a deep zoom): then the seconds too.
    connect(timeAxis_, &QDateTimeAxis::rangeChanged, this, [this](const QDateTime& min, const QDateTime& max) {
        const QString format = dl::TimeAxisFormat(min.msecsTo(max), timeAxis_->tickCount());
        if (timeAxis_->format() != format)
            timeAxis_->setFormat(format);
    });
    temperatureAxis_->setTitleText(QStringLiteral("°C"));
    temperatureAxis_->setLabelFormat(QStringLiteral("%.0f"));
    differenceAxis_->setTitleText(QStringLiteral("Różnica °C"));
    differenceAxis_->setLabelFormat(QStringLiteral("%.1f"));
    for (QValueAxis* axis : {temperatureAxis_, differenceAxis_}) {
        axis->setTickType(QValueAxis::TicksDynamic);
        axis->setTickAnchor(0);
    }
    for (QLineSeries* series : {dry_, wet_, setTemperature_, difference_})
        attach(series, true);
    chart_->legend()->setAlignment(Qt::AlignBottom);
    chart_->setMargins(QMargins(4, 4, 4, 4));

    view_ = new TrendView(chart_, *this);

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
    bar->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(bar);
    layout->addWidget(view_, 1);
    layout->addWidget(valueLabel_);

    connect(dayBox_, &QComboBox::activated, this, &TrendWindow::dayChosen);
    connect(reset, &QPushButton::clicked, this, &TrendWindow::resetView);
    connect(save, &QPushButton::clicked, this, &TrendWindow::askForPicture);
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

void TrendWindow::attach(QLineSeries* series, bool used)
{
    const bool attached = chart_->series().contains(series);
    if (used == attached)
        return;
    if (!used) {
        chart_->removeSeries(series);
        series->setParent(this); // removeSeries hands it back to us
        return;
    }
    chart_->addSeries(series);
    series->attachAxis(timeAxis_);
    series->attachAxis(series == difference_ ? differenceAxis_ : temperatureAxis_);
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
    for (QLineSeries* line : std::as_const(stepLines_)) {
        chart_->removeSeries(line);
        delete line;
    }
    stepLines_.clear();
    trend_ = dl::TrendSeries(address_);
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
    // Handed over at once: a series lays itself out again on each change.
    draw(contents ? trend_.take(contents->rows) : dl::TrendSeries::Points{}, true);
    fitRanges(true);

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
    auto* line = new QLineSeries;
    QPen pen(QColor(0x90, 0x90, 0x90));
    pen.setStyle(Qt::DotLine);
    pen.setWidth(2);
    line->setPen(pen);
    line->setName(QStringLiteral("Zmiana kroku"));
    line->setProperty("step", step);
    const double x = static_cast<double>(msecs);
    line->append({{x, temperatureAxis_->min()}, {x, temperatureAxis_->max()}});
    chart_->addSeries(line);
    line->attachAxis(timeAxis_);
    line->attachAxis(temperatureAxis_);
    // One legend entry stands for all of them.
    if (!stepLines_.isEmpty())
        for (QLegendMarker* marker : chart_->legend()->markers(line))
            marker->setVisible(false);
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
    const std::pair<QLineSeries*, const QList<QPointF>*> curves[] = {
        {dry_, &points.dry}, {wet_, &points.wet}, {control1_, &points.control1}, {control2_, &points.control2},
        {setTemperature_, &points.set}, {difference_, &points.difference}};
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
    const bool following = times.size() < 2 || timeAxis_->max().toMSecsSinceEpoch() >= times[times.size() - 2];
    fitRanges(following);
}

// The ranges the trend gives; the time axis only when `resetTime`.
void TrendWindow::fitRanges(bool resetTime)
{
    const dl::TrendSeries::Range temperature = trend_.temperatureRange();
    const double low = temperature.min, high = temperature.max;
    // Each change of a range lays every curve out again: only real changes.
    if (temperatureAxis_->min() != low || temperatureAxis_->max() != high)
        temperatureAxis_->setRange(low, high);
    const dl::TrendSeries::Range difference = trend_.differenceRange();
    if (differenceAxis_->min() != difference.min || differenceAxis_->max() != difference.max)
        differenceAxis_->setRange(difference.min, difference.max);
    for (QLineSeries* line : std::as_const(stepLines_)) {
        const double x = line->at(0).x();
        if (line->at(0).y() != low || line->at(1).y() != high)
            line->replace(QList<QPointF>{{x, low}, {x, high}});
    }
    temperatureAxis_->setTickInterval(temperature.step);
    differenceAxis_->setTickInterval(difference.step);
    if (!resetTime)
        return;
    const auto [first, last] = trend_.timeSpan(QDate::currentDate());
    timeAxis_->setRange(QDateTime::fromMSecsSinceEpoch(first), QDateTime::fromMSecsSinceEpoch(last));
}

// The toolkit labels the time axis in the viewer's zone, which need not be
// the plant's: before each paint its labels are given the plant's clock at
// their ticks. A label that reads the same is left as the toolkit drew it.
void TrendWindow::labelPlantClock()
{
    if (!chart_->scene())
        return;
    // The axes keep their labels in groups; the time axis's lie under the plot area.
    const QRectF plot = chart_->mapRectToScene(chart_->plotArea());
    QList<QGraphicsTextItem*> labels;
    for (QGraphicsItem* item : chart_->scene()->items()) {
        auto* text = dynamic_cast<QGraphicsTextItem*>(item);
        if (!text || !item->parentItem() || item->parentItem()->type() != QGraphicsItemGroup::Type)
            continue;
        const QPointF at = text->sceneBoundingRect().center();
        const qreal aside = std::max({plot.left() - at.x(), at.x() - plot.right(), 0.0});
        if (at.y() - plot.bottom() > aside)
            labels.append(text);
    }
    if (labels.size() != timeAxis_->tickCount() || labels.size() < 2)
        return;
    std::sort(labels.begin(), labels.end(), [](auto* a, auto* b) { return a->scenePos().x() < b->scenePos().x(); });
    const double first = double(timeAxis_->min().toMSecsSinceEpoch());
    const double last = double(timeAxis_->max().toMSecsSinceEpoch());
    for (qsizetype i = 0; i < labels.size(); ++i) {
        // Where the toolkit puts its ticks.
        const auto at = qint64(std::llround(first + double(i) * (last - first) / double(labels.size() - 1)));
        const QString text = trend_.plantClock(at, timeAxis_->format(), chart_->locale());
        QGraphicsTextItem* label = labels[i];
        if (label->toPlainText() == text)
            continue;
        const qreal middle = label->pos().x() + label->boundingRect().width() / 2;
        label->setTextWidth(-1);
        label->setPlainText(text);
        label->setPos(std::round(middle - label->boundingRect().width() / 2), label->pos().y());
    }
}

void TrendWindow::resetView()
{
    chart_->zoomReset();
    fitRanges(true);
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

// Not modal to the application and not waiting in a loop of its own: bus
// work that serves the windows meanwhile goes on.
void TrendWindow::askForPicture()
{
    auto* dialog = new QFileDialog(this, QStringLiteral("Zapisz obraz wykresu"), QDir(baseDir_).absolutePath(),
                                   QStringLiteral("Obraz PNG (*.png)"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(QStringLiteral("png"));
    dialog->selectFile(QFileInfo(shownPath_).completeBaseName() + QStringLiteral(".png"));
    ServingClock::serveInputOf(dialog);
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString& path) {
        if (!savePicture(path))
            valueLabel_->setText(QStringLiteral("Nie można zapisać obrazu: %1").arg(path));
    });
    dialog->open();
}
