#include "report/charge_pdf.h"

#include <QBuffer>
#include <QPdfWriter>
#include <QPicture>
#include <cerrno>
#include <cstring>
#include <qcustomplot.h>

#include "chart/trend_chart.h"
#include "chart/trend_curve.h"
#include "charge/decimate.h"
#include "charge/plant_time.h"
#include "plant/alarms.h"
#include "report/page_flow.h"
#include "report/report_texts.h"
#include "settings/file_replace.h"
#include "settings/file_target.h"

namespace torv::report {

namespace {

namespace dl = drying_log;

QString Q(const std::string& s) { return QString::fromStdString(s); }

// The most skipped lines the last page lists one by one; their count is always there.
constexpr std::size_t kListedSkippedLines = 200;
// The chart's own size before it is scaled onto the page, in its pixels.
constexpr int kChartWidth = 1000, kChartHeight = 540;

QList<QPointF> Decimated(const QList<QPointF>& points, double x0, double x1, int columns)
{
    std::vector<charge::Point> in;
    in.reserve(points.size());
    for (const QPointF& p : points)
        in.emplace_back(p.x(), p.y());
    QList<QPointF> out;
    for (const auto& [x, y] : charge::MinMaxPerColumn(in, x0, x1, columns))
        out.append(QPointF(x, y));
    return out;
}

// The window's chart of the span, its curves cut to `columns` columns, into `rect`.
void DrawChart(QPainter& painter, const QRect& rect, const charge::Charge& c)
{
    dl::TrendSeries trend(c.address, c.conditions);
    const dl::TrendSeries::Points points = trend.take(c.record.rows);
    QCustomPlot plot;
    plot.resize(kChartWidth, kChartHeight);
    const TrendChart chart = MakeTrendChart(plot, trend);
    const double x0 = charge::UtcSeconds(c.from) * 1000.0, x1 = std::max(charge::UtcSeconds(c.to) * 1000.0, x0 + 60000);
    const int columns = rect.width();
    const std::pair<TrendCurve*, const QList<QPointF>*> curves[] = {
        {chart.dry, &points.dry},           {chart.wet, &points.wet},
        {chart.control1, &points.control1}, {chart.control2, &points.control2},
        {chart.setTemperature, &points.set}, {chart.humidity, &points.humidity},
        {chart.woodMoisture, &points.woodMoisture}};
    for (const auto& [curve, list] : curves)
        curve->replace(Decimated(*list, x0, x1, columns));
    // The report's chart: the temperatures, the set one, RH and EMC; the difference is in the step table.
    chart.difference->setVisible(false);
    chart.difference->removeFromLegend();
    chart.differenceAxis->setVisible(false);
    for (auto [curve, used] : {std::pair{chart.control1, trend.control1Used()}, {chart.control2, trend.control2Used()},
                               {chart.humidity, true}, {chart.woodMoisture, true}})
        if (used) {
            curve->setVisible(true);
            curve->addToLegend();
        }
    chart.percentAxis->setVisible(true);
    const dl::TrendSeries::Range temperature = trend.temperatureRange();
    chart.temperatureAxis->setRange(temperature.min, temperature.max);
    qSharedPointerCast<QCPAxisTickerFixed>(chart.temperatureAxis->ticker())->setTickStep(temperature.step);
    chart.timeAxis->setRange(x0, x1);

    QPicture picture;
    {
        QCPPainter qcp(&picture);
        plot.toPainter(&qcp, kChartWidth, kChartHeight);
    }
    // The picture plays back scaled from its own resolution to the page's; the rest is the rectangle's.
    const double playback = double(painter.device()->logicalDpiX()) / picture.logicalDpiX();
    painter.save();
    painter.translate(rect.topLeft());
    painter.scale(rect.width() / (kChartWidth * playback), rect.height() / (kChartHeight * playback));
    painter.drawPicture(0, 0, picture);
    painter.restore();
}

QString ProbesText(const plant::CoreProbes& p)
{
    if (p.control1 && p.control2)
        return QStringLiteral("Temp. kontrolna 1 i Temp. kontrolna 2 (najniższa z nich)");
    return p.control1 ? QStringLiteral("Temp. kontrolna 1") : QStringLiteral("Temp. kontrolna 2");
}

void HeatTreatment(PageFlow& page, const charge::Charge& c)
{
    const QString limit = Q(Number(c.heatLimits.minTenths / 10.0)) + QStringLiteral(" °C przez ") +
                          QString::number(c.heatLimits.minutes) + QStringLiteral(" min");
    if (!c.heat.judged) {
        page.text(QStringLiteral("Obróbka termiczna ISPM 15: brak sond rdzenia"), true);
        page.text(QStringLiteral("Żaden termometr tej komory nie jest ustawiony jako sonda rdzenia drewna "
                                 "(\"coreProbes\" w komory.json): temperatury w tym raporcie to temperatury powietrza "
                                 "i zapis nie jest dowodem obróbki termicznej."));
        return;
    }
    page.text(c.heat.met ? QStringLiteral("Obróbka termiczna ISPM 15: spełniono")
                         : QStringLiteral("Obróbka termiczna ISPM 15: nie spełniono"),
              true);
    QString window = QStringLiteral("Wymóg: ") + limit + QStringLiteral(" bez przerwy; sondy rdzenia: ") + ProbesText(c.probes) +
                     QStringLiteral(".\n");
    if (c.heat.longest)
        window += (c.heat.met ? QStringLiteral("Okno: od ") : QStringLiteral("Najdłuższe okno: od ")) +
                  Q(PlantTime(c.heat.longest->from)) + QStringLiteral(" do ") + Q(PlantTime(c.heat.longest->to)) +
                  QStringLiteral(" (") + Q(Duration(c.heat.longest->seconds)) + QStringLiteral(").");
    else
        window += QStringLiteral("Sondy rdzenia ani razu nie osiągnęły progu.");
    page.text(window);
}

QString StatCell(const charge::Statistic& s, int decimals)
{
    return Q(Number(s.min, decimals)) + QStringLiteral(" / ") + Q(Number(s.mean, decimals)) + QStringLiteral(" / ") +
           Q(Number(s.max, decimals));
}

QString AlarmValue(const charge::AlarmSpell& a) { return Q(a.value); }

} // namespace

QByteArray ChargePdf(const charge::Charge& c, const ReportText& text)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        pdf.setResolution(300);
        pdf.setTitle(QStringLiteral("Raport suszenia – ") + Q(c.chamberName));
        pdf.setCreator(QStringLiteral("Tester TORV-LCD ") + Q(text.version));
        QPainter painter(&pdf);
        PageFlow page(pdf, painter);

        page.title(QStringLiteral("Raport suszenia"));
        if (!c.plantName.empty() || !c.plantAddress.empty())
            page.text(QStringLiteral("Zakład: ") + Q(c.plantName) +
                          (c.plantName.empty() || c.plantAddress.empty() ? QString() : QStringLiteral(", ")) +
                          Q(c.plantAddress),
                      true);
        page.text(QStringLiteral("Komora: ") + Q(c.chamberName) + QStringLiteral(" (adres ") + QString::number(c.address) +
                  QStringLiteral(")"), true);
        const long long seconds = charge::UtcSeconds(c.to) - charge::UtcSeconds(c.from);
        page.text(QStringLiteral("Początek: ") + Q(PlantTimeWithOffset(c.from)) + QStringLiteral("\nKoniec: ") +
                  Q(PlantTimeWithOffset(c.to)) +
                  (c.running ? QStringLiteral(" (program trwa: ostatni pomiar)") : QString()) +
                  QStringLiteral("\nCzas trwania: ") + Q(Duration(seconds)) + QStringLiteral("\nOkres: ") +
                  (c.lastRun ? QStringLiteral("ostatni przebieg programu w dzienniku") : QStringLiteral("podany przez operatora")) +
                  QStringLiteral("\nCzasy według zegara zakładu, jak zapisał je dziennik."));
        page.space(1.5);
        HeatTreatment(page, c);

        page.heading(QStringLiteral("Wykres"));
        DrawChart(painter, page.block(page.pixels(95)), c);

        page.heading(QStringLiteral("Program (jak zapisał go dziennik)"));
        std::vector<QStringList> programme, stats;
        for (const charge::StepSummary& s : c.steps) {
            const auto whole = [](const std::optional<int>& v) { return v ? QString::number(*v) : QStringLiteral("\u2013"); };
            programme.push_back({QString::number(s.step), Q(PlantTime(s.began)), whole(s.hoursTotal),
                                 whole(s.setTemperature), whole(s.setDifference)});
            stats.push_back({QString::number(s.step), Q(Duration(s.seconds)), QString::number(s.scans),
                             StatCell(s.dry, 1), StatCell(s.wet, 1), StatCell(s.relativeHumidity, 0),
                             StatCell(s.equilibriumMoisture, 1)});
        }
        page.table({QStringLiteral("Krok"), QStringLiteral("Początek kroku"), QStringLiteral("Czas [h]"),
                    QStringLiteral("Temp. zadana [°C]"), QStringLiteral("Różnica zadana [°C]")},
                   programme, {0.1, 0.3, 0.15, 0.2, 0.25}, {true, false, true, true, true});

        page.heading(QStringLiteral("Kroki: czas i wartości (min / śr. / maks.)"));
        page.table({QStringLiteral("Krok"), QStringLiteral("Czas w kroku"), QStringLiteral("Pomiary"),
                    QStringLiteral("T suchy [°C]"), QStringLiteral("T mokry [°C]"), QStringLiteral("RH [%]"),
                    QStringLiteral("EMC [%]")},
                   stats, {0.06, 0.17, 0.09, 0.19, 0.19, 0.13, 0.17}, std::vector<bool>(7, true));

        page.heading(QStringLiteral("Alarmy"));
        if (c.alarms.alarms.empty())
            page.text(QStringLiteral("Brak alarmów w tym okresie."));
        else {
            std::vector<QStringList> rows;
            for (const charge::AlarmSpell& a : c.alarms.alarms)
                rows.push_back({QString::fromUtf8(plant::AlarmName(a.kind).data(), qsizetype(plant::AlarmName(a.kind).size())),
                                Q(PlantTime(a.raised)),
                                a.cleared ? Q(PlantTime(*a.cleared))
                                          : plant::IsFault(a.kind) ? QStringLiteral("trwał do końca okresu") : QStringLiteral("–"),
                                Q(Duration(a.seconds)), AlarmValue(a)});
            page.table({QStringLiteral("Alarm"), QStringLiteral("Wystąpił"), QStringLiteral("Ustąpił"),
                        QStringLiteral("Trwał"), QStringLiteral("Wartość")},
                       rows, {0.2, 0.2, 0.2, 0.13, 0.27});
        }

        page.heading(QStringLiteral("Przerwy w zapisie"));
        page.text(c.scanPeriodSeconds
                      ? QStringLiteral("Okres pomiarów: ") + Q(Duration(*c.scanPeriodSeconds)) +
                            QStringLiteral(" (mediana odstępów); przerwa to brak pomiaru dłużej niż trzy okresy.")
                      : QStringLiteral("Jeden pomiar: okresu pomiarów nie da się ustalić."));
        if (c.gaps.empty())
            page.text(QStringLiteral("Brak przerw."));
        else {
            std::vector<QStringList> rows;
            for (const charge::Gap& g : c.gaps)
                rows.push_back({Q(PlantTime(g.from)), Q(PlantTime(g.to)), Q(Duration(g.seconds))});
            page.table({QStringLiteral("Ostatni pomiar przed"), QStringLiteral("Pierwszy pomiar po"), QStringLiteral("Długość")},
                       rows, {0.35, 0.35, 0.3});
        }

        page.heading(QStringLiteral("Uwagi operatora"));
        page.text(text.notes.empty() ? QStringLiteral("Brak.") : Q(text.notes));

        page.heading(QStringLiteral("Pliki"));
        page.text(QStringLiteral("Program: Tester TORV-LCD ") + Q(text.version));
        std::vector<QStringList> files;
        for (const charge::ReadFile& f : c.record.files)
            files.push_back({Q(f.path), Q(f.sha256)});
        for (const charge::ReadFile& f : c.alarms.files)
            files.push_back({Q(f.path), Q(f.sha256)});
        page.table({QStringLiteral("Plik"), QStringLiteral("SHA-256")}, files, {0.42, 0.58});
        for (const std::string& u : c.record.unreadable)
            page.text(QStringLiteral("Nieczytelny plik: ") + Q(u));
        for (const std::string& u : c.alarms.unreadable)
            page.text(QStringLiteral("Nieczytelny plik: ") + Q(u));

        // The lines not taken, never silently: their count, and each one by its place.
        page.newPage();
        page.heading(QStringLiteral("Pominięte wiersze"));
        std::vector<const charge::SkippedLine*> skipped;
        for (const auto* list : {&c.record.skipped, &c.alarms.skipped})
            for (const charge::SkippedLine& s : *list)
                skipped.push_back(&s);
        page.text(QStringLiteral("Wierszy plików, których nie dało się odczytać: ") + QString::number(skipped.size()) +
                  QStringLiteral("."));
        std::vector<QStringList> rows;
        for (std::size_t i = 0; i < skipped.size() && i < kListedSkippedLines; ++i)
            rows.push_back({Q(skipped[i]->path) + QLatin1Char(':') + QString::number(skipped[i]->line.number),
                            Q(skipped[i]->line.reason), Q(skipped[i]->line.text).left(80)});
        if (!rows.empty())
            page.table({QStringLiteral("Plik:wiersz"), QStringLiteral("Powód"), QStringLiteral("Treść")}, rows,
                       {0.35, 0.25, 0.4});
        if (skipped.size() > kListedSkippedLines)
            page.text(QStringLiteral("… i ") + QString::number(skipped.size() - kListedSkippedLines) +
                      QStringLiteral(" dalszych."));
    }
    return bytes;
}

bool SaveReport(const std::string& path, const QByteArray& pdf, std::string& error)
{
    const files::Target target = files::SaveTarget(path);
    if (!target.ok()) {
        error = path + ": " + files::RefusalText(target.refusal, target.type, target.error);
        return false;
    }
    if (!files::ReplaceFileContents(target.path, reinterpret_cast<const std::uint8_t*>(pdf.constData()),
                                    static_cast<std::size_t>(pdf.size()))) {
        error = path + ": nie udało się zapisać (" + std::strerror(errno) + ")";
        return false;
    }
    return true;
}

} // namespace torv::report
