// The charge report as torv-cli writes it: what its pages say (pdftotext),
// what its first page shows (pdftoppm), and what it refuses with status 2.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "charge/sha256.h"
#include "files/drying_log.h"
#include "plant/alarm_log.h"
#include "support/child_process.h"

using namespace torv;
using drying_log::LocalTime;
using drying_log::Row;

namespace {

std::string Slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// 2026-12-08 22:00:00 +01:00 plus `minutes`; the hour runs over midnight.
LocalTime At(int minutes)
{
    const int total = 22 * 60 + minutes;
    return {2026, 12, 8 + total / 1440, total % 1440 / 60, total % 60, 0, 60};
}

// A scan of chamber 3 each minute; the core probe at `core` tenths.
Row Scan(int minute, int step, int core)
{
    Row r;
    r.time = At(minute);
    r.address = 3;
    r.tempDry = 650, r.tempWet = 550, r.tempControl1 = core, r.tempControl2 = 300;
    r.difference = 1000;
    r.autoStep = step, r.autoHoursDone = 0, r.autoHoursTotal = 4, r.setTemperature = 70, r.setDifference = 10;
    r.heating = 1, r.humidifying = r.ventOpen = r.ventClose = 0;
    return r;
}

class Plant {
public:
    // A run from 22:01 to 00:10 the next day with the core at `hotMinutes`
    // minutes of 57.0 °C, a gap of 10 minutes at 22:50, a broken line in each
    // day's file, and an alarm.
    explicit Plant(int hotMinutes, const std::string& chambers)
    {
        std::filesystem::create_directory(logDir());
        std::map<std::string, std::string> files;
        for (int m = 0; m <= 130; ++m) {
            if (m > 50 && m < 60)
                continue; // the logger was down
            const Row row = Scan(m, m == 0 || m == 130 ? 0 : m < 40 ? 1 : 2, m >= 10 && m < 10 + hotMinutes ? 570 : 400);
            std::string& text = files[logDir() + "/" + drying_log::FileName(3, row.time)];
            if (text.empty())
                text = drying_log::HeaderLine() + "\r\nthis is no row\r\n";
            text += drying_log::FormatRow(row) + "\r\n";
        }
        for (const auto& [path, text] : files)
            std::ofstream(path, std::ios::binary) << text;
        paths_ = {};
        for (const auto& [path, text] : files)
            paths_.push_back(path);
        plant::AlarmLog alarms = plant::AlarmLog::InDirectory(logDir(), [](const std::string&) {});
        alarms.append({plant::AlarmEventType::Raised, {3, plant::AlarmKind::TemperatureDeviation}, At(20), "T suchy 63,5 °C"});
        alarms.append({plant::AlarmEventType::Cleared, {3, plant::AlarmKind::TemperatureDeviation}, At(35), ""});
        std::ofstream(dir_.path() + "/komory.json") << chambers;
    }
    std::string logDir() const { return dir_.path() + "/pomiary"; }
    std::string path(const std::string& name) const { return dir_.path() + "/" + name; }
    const std::vector<std::string>& logFiles() const { return paths_; }

    // torv-cli report 3 with `arguments`, from the plant's folder; its exit status and stderr.
    int report(const std::string& arguments, std::string* errors = nullptr) const
    {
        const std::string command = "cd '" + dir_.path() + "' && '" TORV_CLI "' report 3 " + arguments + " 2>errors.txt";
        const int status = std::system(command.c_str());
        if (errors)
            *errors = Slurp(path("errors.txt"));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string text(const std::string& pdf) const
    {
        const std::string out = path("text.txt");
        EXPECT_EQ(std::system(("'" PDFTOTEXT "' '" + path(pdf) + "' '" + out + "'").c_str()), 0);
        return Slurp(out);
    }

private:
    torv::testing::TempDir dir_;
    std::vector<std::string> paths_;
};

const char* const kProbed = R"({"format": "torv-lcd-chambers", "version": 1,
  "plant": {"name": "Tartak Dąbrowa", "address": "ul. Leśna 7, 26-600 Radom"},
  "chambers": [{"address": 3, "name": "Suszarnia 3 – dąb", "coreProbes": ["TempControl1"]}]})";

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The chart's time labels that carry a day ("09.12" alone, not a full date).
int DayLabels(const std::string& text)
{
    static const std::regex day(R"(\b\d\d\.\d\d\b(?!\.))");
    return static_cast<int>(std::distance(std::sregex_iterator(text.begin(), text.end(), day), std::sregex_iterator()));
}

} // namespace

TEST(ReportPdf, TheLastRunIsReportedWithItsVerdictRecordAndFiles)
{
    const Plant plant(40, kProbed);
    std::string errors;
    ASSERT_EQ(plant.report("--dir pomiary --note 'Partia 12/2026' --note 'Dąb 32 mm' --out r.pdf", &errors), 0) << errors;
    const std::string text = plant.text("r.pdf");
    for (const std::string part : {
             "Raport suszenia", "Zakład: Tartak Dąbrowa, ul. Leśna 7, 26-600 Radom",
             "Komora: Suszarnia 3 – dąb (adres 3)",
             "Początek: 08.12.2026 22:01:00 (UTC+01:00)", "Koniec: 09.12.2026 00:10:00 (UTC+01:00)",
             "Czas trwania: 2 h 09 min", "ostatni przebieg programu",
             "Obróbka termiczna ISPM 15: spełniono",
             "Okno: od 08.12.2026 22:10:00 do 08.12.2026 22:49:00 (39 min 00 s)",
             "08.12.2026 22:50:00", "08.12.2026 23:00:00", "10 min 00 s", // the gap
             "Odchyłka temperatury", "15 min 00 s", "T suchy 63,5 °C",     // the alarm and how long
             "Partia 12/2026", "Dąb 32 mm", "Tester TORV-LCD 1.",
             "Wierszy plików, których nie dało się odczytać: 2", "this is no row"}) {
        EXPECT_TRUE(Has(text, part)) << part << "\n" << text;
    }
    // Each file read, with the digest of its bytes.
    ASSERT_EQ(plant.logFiles().size(), 2u);
    for (const std::string& file : plant.logFiles())
        EXPECT_TRUE(Has(text, charge::Sha256Hex(Slurp(file)))) << file;
    EXPECT_FALSE(Has(text, "nie spełniono"));
    // The run goes past midnight: the chart's times say which day.
    EXPECT_GE(DayLabels(text), 2) << text;
}

TEST(ReportPdf, TheVerdictFollowsTheCoreProbesAndTheLimits)
{
    const struct {
        int hotMinutes;
        std::string chambers;
        std::vector<std::string> says;
    } rows[] = {
        {29, kProbed, {"Obróbka termiczna ISPM 15: nie spełniono", "Najdłuższe okno: od 08.12.2026 22:10:00 do 08.12.2026 22:38:00"}},
        {0, kProbed, {"Obróbka termiczna ISPM 15: nie spełniono", "ani razu nie osiągnęły progu"}},
        // The limits are the plant's: 25 minutes will do.
        {29, R"({"format": "torv-lcd-chambers", "version": 1, "heatTreatment": {"minCelsius": 57.0, "minutes": 25},
            "chambers": [{"address": 3, "coreProbes": ["TempControl1"]}]})",
         {"Obróbka termiczna ISPM 15: spełniono", "57,0 °C przez 25 min"}},
        // The other probe, never hot.
        {40, R"({"format": "torv-lcd-chambers", "version": 1, "chambers": [{"address": 3, "coreProbes": ["TempControl2"]}]})",
         {"Obróbka termiczna ISPM 15: nie spełniono"}},
        // A chamber the list does not hold names no probe.
        {40, R"({"format": "torv-lcd-chambers", "version": 1, "chambers": []})",
         {"temperatury powietrza", "nie jest dowodem"}},
    };
    for (const auto& r : rows) {
        const Plant plant(r.hotMinutes, r.chambers);
        std::string errors;
        ASSERT_EQ(plant.report("--out r.pdf", &errors), 0) << errors;
        const std::string text = plant.text("r.pdf");
        for (const std::string& part : r.says)
            EXPECT_TRUE(Has(text, part)) << part << "\n" << text;
        if (r.says.back() == "nie jest dowodem") {
            EXPECT_FALSE(Has(text, "ISPM 15: spełniono"));
        }
    }
}

TEST(ReportPdf, AGivenSpanIsReportedOnThePlantsClock)
{
    const Plant plant(40, kProbed);
    // The same instants written in UTC: the report keeps the log's own clock.
    ASSERT_EQ(plant.report("--from 2026-12-08T21:30:00+00:00 --to 2026-12-08T22:45:00+00:00 --out span.pdf"), 0);
    const std::string text = plant.text("span.pdf");
    EXPECT_TRUE(Has(text, "Początek: 08.12.2026 22:30:00 (UTC+01:00)")) << text;
    EXPECT_TRUE(Has(text, "Koniec: 08.12.2026 23:45:00 (UTC+01:00)")) << text;
    EXPECT_TRUE(Has(text, "podany przez operatora"));
    EXPECT_EQ(DayLabels(text), 0) << "one day's chart needs no days\n" << text;
}

TEST(ReportPdf, RefusalsEndWithStatusTwoAndWriteNothing)
{
    const Plant plant(40, kProbed);
    std::filesystem::create_directory(plant.path("folder.pdf"));
    ASSERT_EQ(mkfifo(plant.path("fifo.pdf").c_str(), 0600), 0);
    std::ofstream(plant.path("bad.json")) << R"({"format": "torv-lcd-chambers", "version": 1,
        "chambers": [{"address": 3, "coreProbes": ["TempDry"]}]})";
    const struct {
        std::string arguments;
        std::string says;
    } rows[] = {
        {"--from 2026-12-09T03:00:00+01:00 --to 2026-12-09T04:00:00+01:00 --out r.pdf", "brak pomiarów komory 3"},
        {"--from 2026-12-08T22:00 --to 2026-12-09T04:00:00+01:00 --out r.pdf", "not a time"},
        {"--out folder.pdf", "folder.pdf"},
        {"--out fifo.pdf", "fifo.pdf"},
        {"--chambers bad.json --out r.pdf", R"(chambers, pozycja 1, "coreProbes")"},
        {"--dir nowhere --out r.pdf", "brak przebiegu programu komory 3"},
    };
    for (const auto& r : rows) {
        std::string errors;
        EXPECT_EQ(plant.report(r.arguments, &errors), 2) << r.arguments;
        EXPECT_TRUE(Has(errors, r.says)) << r.arguments << ": " << errors;
        EXPECT_FALSE(std::filesystem::exists(plant.path("r.pdf"))) << r.arguments;
    }
    EXPECT_TRUE(std::filesystem::is_directory(plant.path("folder.pdf")));
    EXPECT_TRUE(std::filesystem::is_fifo(plant.path("fifo.pdf")));
    // An earlier report is replaced whole.
    std::ofstream(plant.path("r.pdf")) << "old";
    ASSERT_EQ(plant.report("--out r.pdf"), 0);
    EXPECT_EQ(Slurp(plant.path("r.pdf")).substr(0, 5), "%PDF-");
}

// The first page rendered: A4, the title in black, the chart's T suchy in its colour.
TEST(ReportPdf, TheFirstPageShowsTheChartInTheWindowsColours)
{
    const Plant plant(40, kProbed);
    ASSERT_EQ(plant.report("--out r.pdf"), 0);
    ASSERT_EQ(std::system(("'" PDFTOPPM "' -r 100 -f 1 -l 1 '" + plant.path("r.pdf") + "' '" + plant.path("page") + "'").c_str()), 0);
    std::string ppm;
    for (const auto& e : std::filesystem::directory_iterator(plant.path("")))
        if (e.path().extension() == ".ppm")
            ppm = Slurp(e.path().string());
    std::istringstream in(ppm);
    std::string magic;
    int width = 0, height = 0, max = 0;
    in >> magic >> width >> height >> max;
    in.get();
    ASSERT_EQ(magic, "P6");
    EXPECT_EQ(width, 827); // 210 mm at 100 dpi
    EXPECT_EQ(height, 1170);
    const std::string pixels = ppm.substr(static_cast<std::size_t>(in.tellg()));
    ASSERT_EQ(pixels.size(), std::size_t(width) * height * 3);
    const auto count = [&](auto near) {
        int n = 0;
        for (std::size_t i = 0; i < pixels.size(); i += 3)
            n += near(static_cast<unsigned char>(pixels[i]), static_cast<unsigned char>(pixels[i + 1]),
                      static_cast<unsigned char>(pixels[i + 2]));
        return n;
    };
    // The dry bulb's red (0xd0, 0x30, 0x20) and the wet bulb's blue (0x20, 0x60, 0xd0), give or take the smoothing.
    EXPECT_GT(count([](int r, int g, int b) { return r > g + 80 && r > b + 80; }), 100);
    EXPECT_GT(count([](int r, int g, int b) { return b > r + 80 && b > g + 40; }), 100);
    EXPECT_GT(count([](int r, int g, int b) { return r < 60 && g < 60 && b < 60; }), 1000); // text
}
