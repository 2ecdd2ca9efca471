// The drying log's chart on generated day files: what it draws from them,
// the axes it sets, and the scans it takes on afterwards.
#include <QComboBox>
#include <QDateTimeEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QWheelEvent>
#include <QtTest>
#include <cmath>
#include <ctime>
#include <qcustomplot.h>

#include "app/charge_report_dialog.h"
#include "chart/trend_curve.h"
#include "app/trend_window.h"
#include "files/drying_log.h"

namespace dl = torv::drying_log;

namespace {

constexpr int kAddress = 5;
constexpr int kLines = 8640; // a day at one scan per 10 s

qint64 Msecs(const dl::LocalTime& t)
{
    return QDateTime(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second),
                     QTimeZone(t.utcOffsetMinutes * 60))
        .toMSecsSinceEpoch();
}

dl::LocalTime At(dl::LocalTime day, int secondOfDay)
{
    day.hour = secondOfDay / 3600;
    day.minute = secondOfDay / 60 % 60;
    day.second = secondOfDay % 60;
    return day;
}

// A generated day: a scan every 10 s; the set temperature 50, 55 from line
// 3000, 60 from line 6000 and the programme's step with it; every
// 1000th line a failed scan; control sensors only when asked for.
struct Day {
    std::vector<dl::Row> rows;
    int ok = 0;
    int minTemp = 1 << 30, maxTemp = -(1 << 30); // every curve of the left axis
    int minDifference = 1 << 30, maxDifference = -(1 << 30);
};

Day MakeDay(const dl::LocalTime& date, int lines, bool control)
{
    Day day;
    for (int i = 0; i < lines; ++i) {
        dl::Row row;
        row.time = At(date, i * 10);
        row.address = kAddress;
        if (i % 1000 == 999) {
            row.status = dl::Status::Failed;
            day.rows.push_back(row);
            continue;
        }
        const int step = i < 3000 ? 1 : i < 6000 ? 2 : 3;
        row.tempDry = 450 + (i * 7) % 130;
        row.tempWet = *row.tempDry - 40 - i % 20;
        if (control) {
            row.tempControl1 = 400 + i % 90;
            row.tempControl2 = 410 + i % 70;
        }
        row.difference = 250 + 5 * ((i * 13) % 80); // a multiple of 0.05
        row.autoStep = step;
        row.autoHoursDone = i / 360;
        row.autoHoursTotal = 24;
        row.setTemperature = 45 + step * 5; // whole degrees
        row.setDifference = 3;
        row.heating = i % 2;
        row.humidifying = 0;
        row.ventOpen = 0;
        row.ventClose = 1;
        for (const auto& t : {row.tempDry, row.tempWet, row.tempControl1, row.tempControl2})
            if (t) {
                day.minTemp = std::min(day.minTemp, *t);
                day.maxTemp = std::max(day.maxTemp, *t);
            }
        day.minTemp = std::min(day.minTemp, *row.setTemperature * 10);
        day.maxTemp = std::max(day.maxTemp, *row.setTemperature * 10);
        day.minDifference = std::min(day.minDifference, *row.difference);
        day.maxDifference = std::max(day.maxDifference, *row.difference);
        ++day.ok;
        day.rows.push_back(row);
    }
    return day;
}

QString WriteDay(const QString& base, const Day& day)
{
    QDir(base).mkpath(QString::fromLatin1(dl::kDirectory));
    const QString path = QDir(base).filePath(QString::fromLatin1(dl::kDirectory) + QLatin1Char('/')
                                             + QString::fromStdString(dl::FileName(kAddress, day.rows.front().time)));
    std::string text = dl::HeaderLine() + dl::kLineBreak;
    for (const dl::Row& row : day.rows)
        text += dl::FormatRow(row) + dl::kLineBreak;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(text.data(), static_cast<qint64>(text.size()));
    return path;
}

// Drawn and named in the legend.
bool Shows(TrendWindow& window, QCPGraph* series)
{
    return series->visible() && window.plot()->legend->hasItemWithPlottable(series);
}

QPointF Point(const QCPGraph* series, int index)
{
    const auto point = series->data()->at(index);
    return {point->key, point->value};
}

QStringList LegendNames(TrendWindow& window)
{
    QStringList names;
    for (int i = 0; i < window.plot()->legend->itemCount(); ++i)
        names.append(static_cast<QCPPlottableLegendItem*>(window.plot()->legend->item(i))->plottable()->name());
    return names;
}

qint64 Lower(const QCPAxis* axis) { return static_cast<qint64>(axis->range().lower); }
qint64 Upper(const QCPAxis* axis) { return static_cast<qint64>(axis->range().upper); }

// The labels the axes show once painted, in order along each axis.
struct AxisLabels {
    QStringList time, left, right;
};

AxisLabels Labels(TrendWindow& window)
{
    window.grab();
    AxisLabels labels;
    for (auto [axis, to] : {std::pair{window.timeAxis(), &labels.time}, {window.temperatureAxis(), &labels.left},
                            {window.differenceAxis(), &labels.right}})
        if (axis->visible() && axis->tickLabels())
            *to = axis->tickVectorLabels();
    return labels;
}

} // namespace

class TrendWindowTest : public QObject {
    Q_OBJECT
private slots:
    void showsTodaysFileAndTakesScans();
    void showsControlSensorsOfAnEarlierDay();
    void labelsStayReadable_data();
    void labelsStayReadable();
    void drawsThePlantsClockInAnyZone();
    void curveKeepsTheOrderOfAMoment_data();
    void curveKeepsTheOrderOfAMoment();
    void showsHumidityAndWoodMoistureWhenAsked();
    void makesTheChargeReportOfTheShownChamber();
};

void TrendWindowTest::showsTodaysFileAndTakesScans()
{
    QTemporaryDir base;
    QVERIFY(base.isValid());
    const dl::LocalTime today = dl::SystemLocalTime();
    const Day day = MakeDay(today, kLines, false);
    const QString path = WriteDay(base.path(), day);
    QVERIFY(!path.isEmpty());

    TrendWindow window(base.path());
    window.showController(kAddress);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.shownFile(), path);

    // Failed scans hold no values: no points.
    QCOMPARE(day.ok, kLines - 8);
    QVERIFY2(window.drySeries()->dataCount() == day.ok, qPrintable(window.valueLabel()->text()));
    QCOMPARE(window.wetSeries()->dataCount(), day.ok);
    QCOMPARE(window.differenceSeries()->dataCount(), day.ok);
    // Steps: each of the two changes adds the old value at the moment of change.
    QCOMPARE(window.setTemperatureSeries()->dataCount(), day.ok + 2);
    // Line 3000 is the 2998th good one (three failed before it).
    const QCPGraph* set = window.setTemperatureSeries();
    QCOMPARE(Point(set, 2996), QPointF(double(Msecs(At(today, 2998 * 10))), 50.0));
    QCOMPARE(Point(set, 2997), QPointF(double(Msecs(At(today, 3000 * 10))), 50.0));
    QCOMPARE(Point(set, 2998), QPointF(double(Msecs(At(today, 3000 * 10))), 55.0));
    QCOMPARE(window.stepLines().size(), 2);
    QCOMPARE(window.stepLines().at(0)->dataCount(), 2);
    QCOMPARE(Point(window.stepLines().at(0), 0).x(), double(Msecs(At(today, 3000 * 10))));
    QCOMPARE(Point(window.stepLines().at(1), 0).x(), double(Msecs(At(today, 6000 * 10))));
    QCOMPARE(Point(window.drySeries(), 0), QPointF(double(Msecs(At(today, 0))), 45.0));

    // Empty control columns: no control curves.
    QVERIFY(!Shows(window, window.control1Series()));
    QVERIFY(!Shows(window, window.control2Series()));
    QVERIFY(Shows(window, window.drySeries()));
    QVERIFY(Shows(window, window.setTemperatureSeries()));

    QCOMPARE(Lower(window.timeAxis()), Msecs(At(today, 0)));
    QCOMPARE(Upper(window.timeAxis()), Msecs(At(today, (kLines - 1) * 10)));
    // Whole degrees with a margin of one around the temperatures, and around the difference.
    const double low = std::floor(day.minTemp / 10.0) - 1;
    const double high = std::ceil(day.maxTemp / 10.0) + 1;
    QCOMPARE(high, 61.0); // the set temperature's 60.0 is the highest
    QCOMPARE(window.temperatureAxis()->range().lower, low);
    QCOMPARE(window.temperatureAxis()->range().upper, high);
    QCOMPARE(window.differenceAxis()->range().lower, std::floor(day.minDifference / 100.0) - 1);
    QCOMPARE(window.differenceAxis()->range().upper, std::ceil(day.maxDifference / 100.0) + 1);
    QCOMPARE(Point(window.stepLines().at(0), 0).y(), low);
    QCOMPARE(Point(window.stepLines().at(0), 1).y(), high);
    // Value ticks at whole multiples of the axis's step; nine time ticks from end to end.
    const AxisLabels shown = Labels(window);
    QCOMPARE(shown.left.join(u' '), QStringLiteral("38 40 42 44 46 48 50 52 54 56 58 60"));
    QCOMPARE(shown.right.join(u' '), QStringLiteral("1.0 2.0 3.0 4.0 5.0 6.0 7.0 8.0"));
    QCOMPARE(shown.time.size(), 9);
    QCOMPARE(shown.time.constFirst(), QStringLiteral("00:00"));

    // The wheel narrows the time axis about the pointer; a reset shows the day again.
    auto* view = window.findChild<QCustomPlot*>();
    QVERIFY(view);
    const QPointF middle = QRectF(view->axisRect()->rect()).center();
    QWheelEvent wheel(middle, view->mapToGlobal(middle), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view, &wheel);
    const qint64 span = Upper(window.timeAxis()) - Lower(window.timeAxis());
    QVERIFY(span < (kLines - 1) * 10'000LL * 9 / 10);
    QVERIFY(Lower(window.timeAxis()) > Msecs(At(today, 0)));
    QCOMPARE(window.temperatureAxis()->range().lower, low); // the time axis alone
    window.resetView();
    QCOMPARE(Lower(window.timeAxis()), Msecs(At(today, 0)));
    QCOMPARE(Upper(window.timeAxis()), Msecs(At(today, (kLines - 1) * 10)));

    // A drag with the left button moves the time axis with the pointer, until released.
    const QRectF area = view->axisRect()->rect();
    const QCPRange before = window.timeAxis()->range();
    auto mouse = [view](QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons buttons) {
        QMouseEvent event(type, at, view->mapToGlobal(at), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(view, &event);
    };
    const QPointF left = middle - QPointF(100, 0);
    mouse(QEvent::MouseButtonPress, middle, Qt::LeftButton, Qt::LeftButton);
    mouse(QEvent::MouseMove, left, Qt::NoButton, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, left, Qt::LeftButton, Qt::NoButton);
    mouse(QEvent::MouseMove, middle, Qt::NoButton, Qt::NoButton);
    const double moved = window.timeAxis()->range().lower - before.lower;
    QVERIFY2(std::abs(moved - 100 * before.size() / area.width()) < 1, qPrintable(QString::number(moved)));
    QCOMPARE(window.timeAxis()->range().size(), before.size());
    window.resetView();

    // The pointer over the plot names the line at its time; off the plot, nothing.
    const double x = window.timeAxis()->coordToPixel(double(Msecs(At(today, 1234 * 10))));
    mouse(QEvent::MouseMove, {x, middle.y()}, Qt::NoButton, Qt::NoButton);
    QVERIFY2(window.valueLabel()->text().startsWith(QStringLiteral("03:25:40   sucha")),
             qPrintable(window.valueLabel()->text()));
    mouse(QEvent::MouseMove, {x, area.bottom() + 10}, Qt::NoButton, Qt::NoButton);
    QCOMPARE(window.valueLabel()->text(), QString());

    // The values under the pointer are those of the nearest line.
    const QString values = window.valuesAt(Msecs(At(today, 12)));
    QVERIFY2(values.startsWith(QStringLiteral("00:00:10")), qPrintable(values));
    QVERIFY2(values.contains(QStringLiteral("sucha 45.7 °C")), qPrintable(values));

    // One scan: one point more on each curve it has a value for.
    dl::Row scan = day.rows.back();
    scan.time = At(today, kLines * 10 - 5);
    scan.tempDry = 612;
    scan.status = dl::Status::Ok;
    window.addMeasurement(scan);
    QCOMPARE(window.drySeries()->dataCount(), day.ok); // kept for the event loop
    QCoreApplication::processEvents();
    QCOMPARE(window.drySeries()->dataCount(), day.ok + 1);
    QCOMPARE(window.wetSeries()->dataCount(), day.ok + 1);
    QCOMPARE(window.setTemperatureSeries()->dataCount(), day.ok + 3);
    QCOMPARE(Point(window.drySeries(), day.ok), QPointF(double(Msecs(scan.time)), 61.2));
    QCOMPARE(Upper(window.timeAxis()), Msecs(scan.time));
    QCOMPARE(window.temperatureAxis()->range().upper, 63.0);
    QCOMPARE(Labels(window).left.constLast(), QStringLiteral("62")); // drawn again
    QCOMPARE(window.stepLines().size(), 2);
    QVERIFY(!Shows(window, window.control1Series()));

    // A failed scan, another controller's: nothing.
    dl::Row failed;
    failed.time = scan.time;
    failed.address = kAddress;
    failed.status = dl::Status::Failed;
    window.addMeasurement(failed);
    dl::Row other = scan;
    other.address = kAddress + 1;
    window.addMeasurement(other);
    QCoreApplication::processEvents();
    QCOMPARE(window.drySeries()->dataCount(), day.ok + 1);

    // A scan of the next step: the set temperature steps at its moment, a
    // dotted line more over the whole left axis; one legend entry for them all.
    dl::Row next = scan;
    next.time = At(today, kLines * 10 - 2);
    next.setTemperature = 65;
    next.autoStep = 4;
    window.addMeasurement(next);
    QCoreApplication::processEvents();
    QCOMPARE(window.setTemperatureSeries()->dataCount(), day.ok + 5);
    QCOMPARE(Point(set, day.ok + 3), QPointF(double(Msecs(next.time)), 60.0));
    QCOMPARE(Point(set, day.ok + 4), QPointF(double(Msecs(next.time)), 65.0));
    QCOMPARE(window.temperatureAxis()->range().upper, 66.0);
    QCOMPARE(window.stepLines().size(), 3);
    QCOMPARE(Point(window.stepLines().at(2), 0), QPointF(double(Msecs(next.time)), low));
    QCOMPARE(Point(window.stepLines().at(0), 1).y(), 66.0);
    QCOMPARE(LegendNames(window), QStringList({QStringLiteral("Temp. sucha"), QStringLiteral("Temp. mokra"),
                                               QStringLiteral("Temp. zadana"), QStringLiteral("Różnica psychr."),
                                               QStringLiteral("Zmiana kroku")}));

    // The picture is the window as shown.
    const QString picture = QDir(base.path()).filePath(QStringLiteral("wykres.png"));
    QVERIFY(window.savePicture(picture));
    const QImage image(picture);
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), window.size() * window.devicePixelRatio());

    // A directory in the picture's place stays one; a box says why.
    const QString dir = QDir(base.path()).filePath(QStringLiteral("katalog.png"));
    QVERIFY(QDir().mkdir(dir));
    QVERIFY(!window.savePicture(dir));
    QVERIFY(QFileInfo(dir).isDir());
    const auto* box = window.findChild<QMessageBox*>(QStringLiteral("NotSavedBox"));
    QVERIFY(box);
    QCOMPARE(box->text(), QStringLiteral("Nie zapisano pliku katalog.png:\nto nie jest zwykły plik, lecz katalog"));
}

void TrendWindowTest::showsControlSensorsOfAnEarlierDay()
{
    QTemporaryDir base;
    QVERIFY(base.isValid());
    const dl::LocalTime today = dl::SystemLocalTime();
    const Day live = MakeDay(today, 100, false);
    QVERIFY(!WriteDay(base.path(), live).isEmpty());
    dl::LocalTime earlier{2026, 11, 20, 0, 0, 0, 60};
    const Day old = MakeDay(earlier, 500, true);
    const QString oldPath = WriteDay(base.path(), old);
    QVERIFY(!oldPath.isEmpty());

    TrendWindow window(base.path());
    window.showController(kAddress);
    QCOMPARE(window.drySeries()->dataCount(), live.ok);
    QVERIFY(!Shows(window, window.control1Series()));

    // The days of the controller, newest first.
    QCOMPARE(window.dayBox()->count(), 2);
    QCOMPARE(window.dayBox()->itemText(1), QStringLiteral("2026-11-20"));
    emit window.dayBox()->activated(1);
    QCOMPARE(window.shownFile(), oldPath);
    QVERIFY(Shows(window, window.control1Series()));
    QVERIFY(Shows(window, window.control2Series()));
    QCOMPARE(LegendNames(window).join(u','), QStringLiteral("Temp. sucha,Temp. mokra,Temp. zadana,Różnica psychr.,"
                                                            "Temp. kontrolna 1,Temp. kontrolna 2"));
    QCOMPARE(window.control1Series()->dataCount(), old.ok);
    QCOMPARE(window.control2Series()->dataCount(), old.ok);
    QCOMPARE(window.drySeries()->dataCount(), old.ok);
    QCOMPARE(window.stepLines().size(), 0);
    QCOMPARE(Lower(window.timeAxis()), Msecs(earlier));
    QCOMPARE(window.temperatureAxis()->range().lower, std::floor(old.minTemp / 10.0) - 1);
    QCOMPARE(window.temperatureAxis()->range().upper, std::ceil(old.maxTemp / 10.0) + 1);

    // A scan of today does not land on an earlier day.
    dl::Row scan = live.rows.back();
    scan.time = At(today, 100 * 10);
    window.addMeasurement(scan);
    QCoreApplication::processEvents();
    QCOMPARE(window.drySeries()->dataCount(), old.ok);

    // Back to today: the controls' curves go with their empty columns.
    emit window.dayBox()->activated(0);
    QVERIFY(!Shows(window, window.control1Series()));
    QVERIFY(!window.control2Series()->visible());
    QCOMPARE(LegendNames(window).join(u','), QStringLiteral("Temp. sucha,Temp. mokra,Temp. zadana,Różnica psychr."));
    QCOMPARE(window.drySeries()->dataCount(), live.ok);
}

void TrendWindowTest::labelsStayReadable_data()
{
    QTest::addColumn<int>("lines"); // 10 s apart
    // Temperatures in tenths and differences in hundredths, taken in turn line by line.
    QTest::addColumn<QList<int>>("dry");
    QTest::addColumn<QList<int>>("wet");
    QTest::addColumn<QList<int>>("difference");
    QTest::newRow("a day") << kLines << QList{450, 580} << QList{400, 520} << QList{250, 650};
    QTest::newRow("a minute") << 7 << QList{450, 580} << QList{400, 520} << QList{250, 650};
    QTest::newRow("wet sensor at -50.0") << 360 << QList{600} << QList{400, -500} << QList{2000, 11000};
    QTest::newRow("sensor word 0xFFFF") << 360 << QList{600, 65035} << QList{-500} << QList{-650000, 655350};
    QTest::newRow("largest a line holds") << 360 << QList{9999999, -9999999} << QList{-9999999}
                                          << QList{99999999, -99999999};
}

// However wide the values or short the day, no axis label turns into "..."
// and no two time labels read the same, zoomed in too.
void TrendWindowTest::labelsStayReadable()
{
    QFETCH(int, lines);
    QFETCH(QList<int>, dry);
    QFETCH(QList<int>, wet);
    QFETCH(QList<int>, difference);
    QTemporaryDir base;
    Day day = MakeDay(dl::LocalTime{2026, 11, 20, 0, 0, 0, 60}, lines, false);
    for (std::size_t i = 0; i < day.rows.size(); ++i) {
        dl::Row& row = day.rows[i];
        if (row.status == dl::Status::Ok) {
            row.tempDry = dry[qsizetype(i) % dry.size()];
            row.tempWet = wet[qsizetype(i) % wet.size()];
            row.difference = difference[qsizetype(i) % difference.size()];
        }
    }
    TrendWindow window(base.path());
    window.showController(kAddress);
    QVERIFY(window.loadFile(WriteDay(base.path(), day)));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    for (const bool zoomed : {false, true}) {
        if (zoomed) { // into five minutes, as far as the day reaches
            const QCPRange whole = window.timeAxis()->range();
            window.timeAxis()->setRange(whole.lower, whole.lower + whole.size() * std::min(1.0, 30.0 / lines));
            window.plot()->replot();
        }
        const AxisLabels labels = Labels(window);
        for (const QStringList& axis : {labels.time, labels.left, labels.right}) {
            QVERIFY2(axis.size() >= 3, qPrintable(axis.join(u' ')));
            QVERIFY2(!axis.join(u' ').contains(QStringLiteral("...")), qPrintable(axis.join(u' ')));
            QCOMPARE(QSet<QString>(axis.begin(), axis.end()).size(), axis.size());
        }
    }
}

// The time axis reads as the plant's clock did, whatever the viewer's zone;
// lines with times no clock shows are counted and left out.
void TrendWindowTest::drawsThePlantsClockInAnyZone()
{
    const QByteArray zone = qgetenv("TZ");
    auto restore = qScopeGuard([&] {
        zone.isNull() ? qunsetenv("TZ") : qputenv("TZ", zone);
        tzset();
    });
    qputenv("TZ", "<-03>3");
    tzset();
    QTemporaryDir base;
    const dl::LocalTime date{2026, 11, 20, 0, 0, 0, 9 * 60};
    Day day = MakeDay(date, kLines, false);
    // At noon the plant's clock goes back an hour, as at the end of summer time.
    for (std::size_t i = kLines / 2; i < day.rows.size(); ++i) {
        day.rows[i].time = At(date, int(i) * 10 - 3600);
        day.rows[i].time.utcOffsetMinutes = 8 * 60;
    }
    const QString path = WriteDay(base.path(), day);
    QFile file(path);
    QVERIFY(file.open(QIODevice::Append));
    for (const char* time : {"2026-11-31T12:00:00+09:00", "2026-11-20T12:00:60+09:00", "2026-11-20T12:00:00+15:00"})
        file.write(QByteArray(time) + ",5,25.0,20.0,,,5.0,2,3,8,60,8,1,0,0,1,ok\r\n");
    file.close();

    TrendWindow window(base.path());
    window.showController(kAddress);
    QVERIFY(window.loadFile(path));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.drySeries()->dataCount(), day.ok);
    QVERIFY2(window.valueLabel()->text().startsWith(QStringLiteral("Pominięte wiersze: 3 (wiersz 8642")),
             qPrintable(window.valueLabel()->text()));
    QCOMPARE(Point(window.drySeries(), 0).x(), double(Msecs(date)));
    const QStringList time = Labels(window).time;
    QCOMPARE(time.join(u' '), QStringLiteral("00:00 02:59 05:59 08:59 11:59 13:59 16:59 19:59 22:59"));
    QVERIFY(window.valuesAt(Msecs(At(date, 12))).startsWith(QStringLiteral("00:00:10")));
    QVERIFY(window.valuesAt(Msecs(At(date, kLines * 5))).startsWith(QStringLiteral("11:00:00")));
}

void TrendWindowTest::curveKeepsTheOrderOfAMoment_data()
{
    // Points as (ms, °C): a curve's data, points appended, the curve then.
    QTest::addColumn<QList<QPointF>>("first");
    QTest::addColumn<QList<QPointF>>("then");
    QTest::addColumn<QList<QPointF>>("drawn");
    QTest::newRow("a step after the last moment")
        << QList<QPointF>{{1, 50}, {2, 50}} << QList<QPointF>{{3, 50}, {3, 55}}
        << QList<QPointF>{{1, 50}, {2, 50}, {3, 50}, {3, 55}};
    QTest::newRow("a step at the last moment") << QList<QPointF>{{1, 50}, {2, 50}} << QList<QPointF>{{2, 55}}
                                               << QList<QPointF>{{1, 50}, {2, 50}, {2, 55}};
    QTest::newRow("one moment only") << QList<QPointF>{{2, 50}} << QList<QPointF>{{2, 55}}
                                     << QList<QPointF>{{2, 50}, {2, 55}};
    QTest::newRow("a clock set back") << QList<QPointF>{{1, 50}, {5, 50}} << QList<QPointF>{{3, 52}}
                                      << QList<QPointF>{{1, 50}, {3, 52}, {5, 50}};
    QTest::newRow("a file out of order") << QList<QPointF>{{5, 50}, {1, 48}, {5, 55}} << QList<QPointF>{}
                                         << QList<QPointF>{{1, 48}, {5, 50}, {5, 55}};
}

// Points of one moment stay in the order the log has them: a step of the set
// temperature is drawn up or down, never back and forth.
void TrendWindowTest::curveKeepsTheOrderOfAMoment()
{
    QFETCH(QList<QPointF>, first);
    QFETCH(QList<QPointF>, then);
    QFETCH(QList<QPointF>, drawn);
    QCustomPlot plot;
    auto* curve = new TrendCurve(plot.xAxis, plot.yAxis, QStringLiteral("Temp. zadana"), QPen());
    curve->replace(first);
    curve->append(then);
    QList<QPointF> points;
    for (int i = 0; i < curve->dataCount(); ++i)
        points.append(Point(curve, i));
    QCOMPARE(points, drawn);
}

QTEST_MAIN(TrendWindowTest)
// RH and EMC of each line, with the chamber's psychrometer from the chamber
// list beside the log: drawn on a percent axis only while their boxes are
// ticked, named under the pointer always where a line has them.
void TrendWindowTest::showsHumidityAndWoodMoistureWhenAsked()
{
    QTemporaryDir base;
    QVERIFY(base.isValid());
    QFile list(QDir(base.path()).filePath("komory.json"));
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write(R"({"format": "torv-lcd-chambers", "version": 1, "chambers": [{"address": 5, "psychrometer": "unventilated"}]})");
    list.close();
    const dl::LocalTime today = dl::SystemLocalTime();
    Day day = MakeDay(today, 4, false);
    const std::pair<int, int> bulbs[] = {{600, 500}, {700, 588}, {600, 610}}; // the last: wet above dry
    for (std::size_t i = 0; i < 3; ++i)
        std::tie(day.rows[i].tempDry, day.rows[i].tempWet) = bulbs[i];
    QVERIFY(!WriteDay(base.path(), day).isEmpty());

    TrendWindow window(base.path());
    window.showController(kAddress);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QStringList legend = LegendNames(window);
    QVERIFY(!Shows(window, window.humiditySeries()) && !Shows(window, window.woodMoistureSeries()));
    QVERIFY(!window.percentAxis()->visible());
    // A point for each line with a value (the unventilated wet bulb's: 57.9 %, not 58.6 %).
    QCOMPARE(window.humiditySeries()->dataCount(), 3);
    QVERIFY2(std::abs(Point(window.humiditySeries(), 0).y() - 57.86) < 0.01,
             qPrintable(QString::number(Point(window.humiditySeries(), 0).y())));
    QCOMPARE(Point(window.humiditySeries(), 2).x(), double(Msecs(At(today, 30))));
    QCOMPARE(window.woodMoistureSeries()->dataCount(), 3);

    window.humidityBox()->setChecked(true);
    QVERIFY(Shows(window, window.humiditySeries()) && !Shows(window, window.woodMoistureSeries()));
    QVERIFY(window.percentAxis()->visible());
    QCOMPARE((std::pair{window.percentAxis()->range().lower, window.percentAxis()->range().upper}), (std::pair{0.0, 100.0}));
    window.woodMoistureBox()->setChecked(true);
    QCOMPARE(LegendNames(window), (legend + QStringList{"RH", "EMC"}));
    window.humidityBox()->setChecked(false);
    window.woodMoistureBox()->setChecked(false);
    QCOMPARE(LegendNames(window), legend);
    QVERIFY(!window.percentAxis()->visible());

    const QString first = window.valuesAt(Msecs(At(today, 0)));
    QVERIFY2(first.endsWith(QStringLiteral("   RH 58 %   EMC 8.8 %")), qPrintable(first));
    const QString wetAbove = window.valuesAt(Msecs(At(today, 20)));
    QVERIFY2(wetAbove.startsWith(QStringLiteral("00:00:20")) && !wetAbove.contains(QStringLiteral("RH")),
             qPrintable(wetAbove));
}

#include "trend_window_test.moc"

// "Raport…" asks for the shown chamber's report: the last run by default,
// the operator's notes, the PDF saved; a span without scans is refused with a box.
void TrendWindowTest::makesTheChargeReportOfTheShownChamber()
{
    QTemporaryDir base;
    QVERIFY(base.isValid());
    const Day day = MakeDay({2026, 12, 8, 0, 0, 0, 60}, 2000, true);
    QVERIFY(!WriteDay(base.path(), day).isEmpty());
    TrendWindow window(base.path());
    window.showController(kAddress);
    auto* button = window.findChild<QPushButton*>(QStringLiteral("ReportButton"));
    QVERIFY(button);
    QCOMPARE(button->text(), QStringLiteral("Raport\u2026"));
    button->click();
    auto* dialog = window.findChild<ChargeReportDialog*>();
    QVERIFY(dialog);
    const torv::charge::ChargeRequest asked = dialog->request();
    QCOMPARE(asked.address, kAddress);
    QCOMPARE(QString::fromStdString(asked.directory), QDir(base.path()).filePath(QStringLiteral("pomiary")));
    QVERIFY(!asked.from && !asked.to);
    QVERIFY(!dialog->fromEdit()->isEnabled());
    dialog->notesEdit()->setPlainText(QStringLiteral("Partia 7\nSosna 50 mm"));
    QCOMPARE(dialog->notes(), std::string("Partia 7\nSosna 50 mm"));

    const QString pdf = QDir(base.path()).filePath(QStringLiteral("raport.pdf"));
    QVERIFY(dialog->saveTo(pdf));
    QFile saved(pdf);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.read(5), QByteArray("%PDF-"));

    dialog->spanButton()->setChecked(true);
    QVERIFY(dialog->fromEdit()->isEnabled() && dialog->toEdit()->isEnabled());
    dialog->fromEdit()->setDateTime(QDateTime(QDate(2020, 1, 1), QTime(0, 0)));
    dialog->toEdit()->setDateTime(QDateTime(QDate(2020, 1, 1), QTime(1, 0)));
    QVERIFY(dialog->request().from && dialog->request().to);
    const QString empty = QDir(base.path()).filePath(QStringLiteral("pusty.pdf"));
    QVERIFY(!dialog->saveTo(empty));
    QVERIFY(!QFileInfo::exists(empty));
    const auto* box = dialog->findChild<QMessageBox*>(QStringLiteral("ReportProblemBox"));
    QVERIFY(box);
    QVERIFY2(box->text().contains(QStringLiteral("brak pomiarów komory 5")), qPrintable(box->text()));
}
