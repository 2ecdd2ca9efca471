// The drying log's chart on generated day files: what it draws from them,
// the axes it sets, and the scans it takes on afterwards.
#include <QChartView>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QDir>
#include <QFile>
#include <QGraphicsTextItem>
#include <QImage>
#include <QLabel>
#include <QLineSeries>
#include <QMessageBox>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QValueAxis>
#include <QWheelEvent>
#include <QtTest>
#include <cmath>
#include <ctime>

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

bool Shows(TrendWindow& window, QLineSeries* series) { return window.chart()->series().contains(series); }

// The labels the axes show once painted, in order along each axis.
struct AxisLabels {
    QStringList time, left, right;
};

AxisLabels Labels(TrendWindow& window)
{
    window.grab();
    const QRectF plot = window.chart()->mapRectToScene(window.chart()->plotArea());
    QList<std::pair<qreal, QString>> time, left, right;
    for (QGraphicsItem* item : window.chart()->scene()->items()) {
        // An axis keeps its labels in a group; its title and the legend's names stand apart.
        const auto* text = dynamic_cast<QGraphicsTextItem*>(item);
        if (!text || !text->isVisible() || !item->parentItem() || item->parentItem()->type() != QGraphicsItemGroup::Type)
            continue;
        const QPointF at = text->sceneBoundingRect().center();
        if (at.y() - plot.bottom() > std::max({plot.left() - at.x(), at.x() - plot.right(), 0.0}))
            time.append({at.x(), text->toPlainText()});
        else
            (at.x() < plot.left() ? left : right).append({-at.y(), text->toPlainText()});
    }
    AxisLabels labels;
    for (auto [from, to] : {std::pair{&time, &labels.time}, {&left, &labels.left}, {&right, &labels.right}}) {
        std::sort(from->begin(), from->end());
        for (const auto& label : std::as_const(*from))
            to->append(label.second);
    }
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
    QVERIFY2(window.drySeries()->count() == day.ok, qPrintable(window.valueLabel()->text()));
    QCOMPARE(window.wetSeries()->count(), day.ok);
    QCOMPARE(window.differenceSeries()->count(), day.ok);
    // Steps: each of the two changes adds the old value at the moment of change.
    QCOMPARE(window.setTemperatureSeries()->count(), day.ok + 2);
    // Line 3000 is the 2998th good one (three failed before it).
    const QLineSeries* set = window.setTemperatureSeries();
    QCOMPARE(set->at(2996), QPointF(double(Msecs(At(today, 2998 * 10))), 50.0));
    QCOMPARE(set->at(2997), QPointF(double(Msecs(At(today, 3000 * 10))), 50.0));
    QCOMPARE(set->at(2998), QPointF(double(Msecs(At(today, 3000 * 10))), 55.0));
    QCOMPARE(window.stepLines().size(), 2);
    QCOMPARE(window.stepLines().at(0)->count(), 2);
    QCOMPARE(window.stepLines().at(0)->at(0).x(), double(Msecs(At(today, 3000 * 10))));
    QCOMPARE(window.stepLines().at(1)->at(0).x(), double(Msecs(At(today, 6000 * 10))));
    QCOMPARE(window.drySeries()->at(0), QPointF(double(Msecs(At(today, 0))), 45.0));

    // Empty control columns: no control curves.
    QVERIFY(!Shows(window, window.control1Series()));
    QVERIFY(!Shows(window, window.control2Series()));
    QVERIFY(Shows(window, window.drySeries()));
    QVERIFY(Shows(window, window.setTemperatureSeries()));

    QCOMPARE(window.timeAxis()->min().toMSecsSinceEpoch(), Msecs(At(today, 0)));
    QCOMPARE(window.timeAxis()->max().toMSecsSinceEpoch(), Msecs(At(today, (kLines - 1) * 10)));
    // Whole degrees with a margin of one around the temperatures, and around the difference.
    const double low = std::floor(day.minTemp / 10.0) - 1;
    const double high = std::ceil(day.maxTemp / 10.0) + 1;
    QCOMPARE(high, 61.0); // the set temperature's 60.0 is the highest
    QCOMPARE(window.temperatureAxis()->min(), low);
    QCOMPARE(window.temperatureAxis()->max(), high);
    QCOMPARE(window.differenceAxis()->min(), std::floor(day.minDifference / 100.0) - 1);
    QCOMPARE(window.differenceAxis()->max(), std::ceil(day.maxDifference / 100.0) + 1);
    QCOMPARE(window.stepLines().at(0)->at(0).y(), low);
    QCOMPARE(window.stepLines().at(0)->at(1).y(), high);

    // The wheel narrows the time axis about the pointer; a reset shows the day again.
    auto* view = window.findChild<QChartView*>();
    QVERIFY(view);
    const QPointF middle = window.chart()->plotArea().center();
    QWheelEvent wheel(middle, view->viewport()->mapToGlobal(middle), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view->viewport(), &wheel);
    const qint64 span = window.timeAxis()->max().toMSecsSinceEpoch() - window.timeAxis()->min().toMSecsSinceEpoch();
    QVERIFY(span < (kLines - 1) * 10'000LL * 9 / 10);
    QVERIFY(window.timeAxis()->min().toMSecsSinceEpoch() > Msecs(At(today, 0)));
    QCOMPARE(window.temperatureAxis()->min(), low); // the time axis alone
    window.resetView();
    QCOMPARE(window.timeAxis()->min().toMSecsSinceEpoch(), Msecs(At(today, 0)));
    QCOMPARE(window.timeAxis()->max().toMSecsSinceEpoch(), Msecs(At(today, (kLines - 1) * 10)));

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
    QCOMPARE(window.drySeries()->count(), day.ok); // kept for the event loop
    QCoreApplication::processEvents();
    QCOMPARE(window.drySeries()->count(), day.ok + 1);
    QCOMPARE(window.wetSeries()->count(), day.ok + 1);
    QCOMPARE(window.setTemperatureSeries()->count(), day.ok + 3);
    QCOMPARE(window.drySeries()->at(day.ok), QPointF(double(Msecs(scan.time)), 61.2));
    QCOMPARE(window.timeAxis()->max().toMSecsSinceEpoch(), Msecs(scan.time));
    QCOMPARE(window.temperatureAxis()->max(), 63.0);
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
    QCOMPARE(window.drySeries()->count(), day.ok + 1);

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
    QCOMPARE(window.drySeries()->count(), live.ok);
    QVERIFY(!Shows(window, window.control1Series()));

    // The days of the controller, newest first.
    QCOMPARE(window.dayBox()->count(), 2);
    QCOMPARE(window.dayBox()->itemText(1), QStringLiteral("2026-11-20"));
    emit window.dayBox()->activated(1);
    QCOMPARE(window.shownFile(), oldPath);
    QVERIFY(Shows(window, window.control1Series()));
    QVERIFY(Shows(window, window.control2Series()));
    QCOMPARE(window.control1Series()->count(), old.ok);
    QCOMPARE(window.control2Series()->count(), old.ok);
    QCOMPARE(window.drySeries()->count(), old.ok);
    QCOMPARE(window.stepLines().size(), 0);
    QCOMPARE(window.timeAxis()->min().toMSecsSinceEpoch(), Msecs(earlier));
    QCOMPARE(window.temperatureAxis()->min(), std::floor(old.minTemp / 10.0) - 1);
    QCOMPARE(window.temperatureAxis()->max(), std::ceil(old.maxTemp / 10.0) + 1);

    // A scan of today does not land on an earlier day.
    dl::Row scan = live.rows.back();
    scan.time = At(today, 100 * 10);
    window.addMeasurement(scan);
    QCoreApplication::processEvents();
    QCOMPARE(window.drySeries()->count(), old.ok);

    // Back to today: the controls' curves go with their empty columns.
    emit window.dayBox()->activated(0);
    QVERIFY(!Shows(window, window.control1Series()));
    QCOMPARE(window.drySeries()->count(), live.ok);
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
            QRectF narrow = window.chart()->plotArea();
            narrow.setWidth(narrow.width() * std::min(1.0, 30.0 / lines));
            window.chart()->zoomIn(narrow);
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
    QCOMPARE(window.drySeries()->count(), day.ok);
    QVERIFY2(window.valueLabel()->text().startsWith(QStringLiteral("Pominięte wiersze: 3 (wiersz 8642")),
             qPrintable(window.valueLabel()->text()));
    QCOMPARE(window.drySeries()->at(0).x(), double(Msecs(date)));
    const QStringList time = Labels(window).time;
    QCOMPARE(time.join(u' '), QStringLiteral("00:00 02:59 05:59 08:59 11:59 13:59 16:59 19:59 22:59"));
    QVERIFY(window.valuesAt(Msecs(At(date, 12))).startsWith(QStringLiteral("00:00:10")));
    QVERIFY(window.valuesAt(Msecs(At(date, kLines * 5))).startsWith(QStringLiteral("11:00:00")));
}

QTEST_MAIN(TrendWindowTest)
#include "trend_window_test.moc"
