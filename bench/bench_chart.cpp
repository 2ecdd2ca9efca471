// The drying log's chart with real amounts: a day at one scan per 10 s is
// 8 640 lines. Times the opening of such a day (read, parse, hand to the
// series, paint), one scan appended and painted, and reads the peak resident
// set (VmHWM) after a week of days opened one after another.
//
// Usage: bench_chart [--runs N]   (default 10; QT_QPA_PLATFORM as set, else offscreen)
#include <QApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>
#include <qcustomplot.h>

#include "app/trend_window.h"
#include "files/drying_log.h"
#include "launch.h"

namespace dl = torv::drying_log;

namespace {

constexpr int kAddress = 1;
constexpr int kLines = 8640;

dl::Row Scan(dl::LocalTime date, int i)
{
    dl::Row row;
    date.hour = i * 10 / 3600;
    date.minute = i * 10 / 60 % 60;
    date.second = i * 10 % 60;
    row.time = date;
    row.address = kAddress;
    const int step = 1 + i / 1500;
    row.tempDry = 400 + i / 40 + (i * 7) % 11;
    row.tempWet = *row.tempDry - 30 - i % 13;
    row.tempControl1 = *row.tempDry - 5 - i % 7;
    row.difference = 5 * (60 + (i * 3) % 40);
    row.autoStep = step;
    row.autoHoursDone = i / 360;
    row.autoHoursTotal = 24;
    row.setTemperature = 40 + step * 4;
    row.setDifference = 3;
    row.heating = i % 2;
    row.humidifying = i % 3 == 0;
    row.ventOpen = 0;
    row.ventClose = 1;
    return row;
}

QString WriteDay(const QString& folder, const dl::LocalTime& date)
{
    std::string text = dl::HeaderLine() + dl::kLineBreak;
    for (int i = 0; i < kLines; ++i)
        text += dl::FormatRow(Scan(date, i)) + dl::kLineBreak;
    const QString path = QDir(folder).filePath(QString::fromStdString(dl::FileName(kAddress, date)));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(text.data(), static_cast<qint64>(text.size()));
    return path;
}

// Everything the operator sees: the series handed over, the chart laid out and painted.
void PaintNow(TrendWindow& window)
{
    QCoreApplication::processEvents();
    window.findChild<QCustomPlot*>()->repaint();
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    int runs = 10;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QTemporaryDir base;
    const QString folder = QDir(base.path()).filePath(QString::fromLatin1(dl::kDirectory));
    QDir().mkpath(folder);
    const dl::LocalTime today = dl::SystemLocalTime();
    std::vector<QString> week;
    for (int d = 6; d >= 0; --d) {
        const QDate date = QDate(today.year, today.month, today.day).addDays(-d);
        dl::LocalTime t = today;
        t.year = date.year();
        t.month = date.month();
        t.day = date.day();
        week.push_back(WriteDay(folder, t));
        if (week.back().isEmpty()) {
            std::fprintf(stderr, "cannot write the day files\n");
            return 1;
        }
    }
    const long hwmStart = torv::bench::StatusKb(0, "VmHWM");

    TrendWindow window(base.path());
    window.show();
    window.showController(kAddress); // today's day, a first paint
    PaintNow(window);
    const long hwmShown = torv::bench::StatusKb(0, "VmHWM");

    // The week one day after another, each painted; the peak after it.
    for (const QString& path : week) {
        window.loadFile(path);
        PaintNow(window);
    }
    const long hwmWeek = torv::bench::StatusKb(0, "VmHWM");
    if (window.drySeries()->dataCount() != kLines) {
        std::fprintf(stderr, "the day shows %lld points instead of %d\n",
                     static_cast<long long>(window.drySeries()->dataCount()), kLines);
        return 1;
    }

    std::vector<double> open;
    QElapsedTimer timer;
    for (int r = 0; r < runs; ++r) {
        window.loadFile(week[static_cast<std::size_t>(r) % week.size()]);
        PaintNow(window);
        timer.start();
        window.loadFile(week.back());
        PaintNow(window);
        open.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }

    // Scans after the day's last line, as the session hands them over.
    std::vector<double> append, handOver, update;
    for (int r = 0; r < std::max(runs, 50); ++r) {
        dl::Row row = Scan(today, kLines - 1);
        row.time.second = 55;
        row.time.minute = 59;
        row.time.hour = 23;
        row.tempDry = *row.tempDry + r % 5;
        timer.start();
        window.addMeasurement(row);
        handOver.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        window.takePending();
        update.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        PaintNow(window);
        append.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    if (window.drySeries()->dataCount() != kLines + std::max(runs, 50)) {
        std::fprintf(stderr, "the appended scans are not all on the chart\n");
        return 1;
    }

    const auto mb = [](long kb) { return static_cast<double>(kb) / 1024.0; };
    std::printf("platform %s, %d lines a day\n", qPrintable(QGuiApplication::platformName()), kLines);
    std::printf("| open and paint a day (median of %d) | %.1f ms (%.1f … %.1f) |\n", runs, Median(open),
                *std::min_element(open.begin(), open.end()), *std::max_element(open.begin(), open.end()));
    std::printf("| append one scan and paint (median of %zu) | %.2f ms (%.2f … %.2f) |\n", append.size(),
                Median(append), *std::min_element(append.begin(), append.end()),
                *std::max_element(append.begin(), append.end()));
    const auto line = [](const char* what, const std::vector<double>& v) {
        std::printf("| %s (median of %zu) | %.3f ms (%.3f … %.3f) |\n", what, v.size(), Median(v),
                    *std::min_element(v.begin(), v.end()), *std::max_element(v.begin(), v.end()));
    };
    line("append one scan: handed over on the bus's time", handOver);
    line("append one scan: handed over and taken on the curves", update);
    std::printf("| VmHWM before the window | %.1f MB |\n", mb(hwmStart));
    std::printf("| VmHWM with today's day shown | %.1f MB |\n", mb(hwmShown));
    std::printf("| VmHWM after a week of days opened in turn | %.1f MB |\n", mb(hwmWeek));
    return 0;
}
