// torv-cli report over 30 days of 10-second scans (259 200 rows in 30 day
// files): the whole command's wall time, as the operator waits for it, and
// the PDF's size. Run by hand: build/bench/bench_report [--runs N]
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "files/drying_log.h"
#include "support/child_process.h"

namespace dl = torv::drying_log;

namespace {

constexpr int kDays = 30, kPeriod = 10;

// A month-long run: step 1..10 over it, temperatures wandering as a kiln's do.
void WriteMonth(const std::string& dir)
{
    std::filesystem::create_directory(dir);
    const int perDay = 86400 / kPeriod, total = kDays * perDay;
    for (int day = 0; day < kDays; ++day) {
        dl::LocalTime date{2026, 11, 1 + day, 0, 0, 0, 60};
        if (date.day > 30)
            date.month = 12, date.day -= 30;
        std::string text = dl::HeaderLine() + dl::kLineBreak;
        for (int i = 0; i < perDay; ++i) {
            const int n = day * perDay + i;
            dl::Row r;
            r.time = date;
            r.time.hour = i * kPeriod / 3600, r.time.minute = i * kPeriod / 60 % 60, r.time.second = i * kPeriod % 60;
            r.address = 5;
            const double phase = double(n) / total;
            r.tempDry = 400 + int(300 * std::sin(phase * 3.14159)) + n % 7;
            r.tempWet = *r.tempDry - 50 - int(100 * phase);
            r.tempControl1 = *r.tempDry - 20, r.tempControl2 = *r.tempDry - 30;
            r.difference = (*r.tempDry - *r.tempWet) * 10;
            r.autoStep = n == 0 || n == total - 1 ? 0 : std::min(10, 1 + int(phase * 10));
            r.autoHoursDone = 0, r.autoHoursTotal = 72, r.setTemperature = 60, r.setDifference = 8;
            r.heating = 1, r.humidifying = 0, r.ventOpen = 0, r.ventClose = 1;
            text += dl::FormatRow(r) + dl::kLineBreak;
        }
        std::ofstream(dir + "/" + dl::FileName(5, date), std::ios::binary) << text;
    }
}

} // namespace

int main(int argc, char** argv)
{
    int runs = 5;
    if (argc == 3 && std::string(argv[1]) == "--runs")
        runs = std::max(1, std::atoi(argv[2]));
    torv::testing::TempDir dir;
    WriteMonth(dir.path() + "/pomiary");
    std::ofstream(dir.path() + "/komory.json")
        << R"({"format": "torv-lcd-chambers", "version": 1, "chambers": [{"address": 5, "coreProbes": ["TempControl1"]}]})";
    const std::string command =
        "cd '" + dir.path() + "' && '" TORV_CLI "' report 5 --note 'Partia 1' --out r.pdf 2>/dev/null";
    std::vector<double> seconds;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "torv-cli report failed\n");
            return 1;
        }
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(seconds.begin(), seconds.end());
    const auto size = std::filesystem::file_size(dir.path() + "/r.pdf");
    std::printf("report over %d days of %d-second scans (%d rows, %d files), %d runs:\n", kDays, kPeriod,
                kDays * 86400 / kPeriod, kDays, runs);
    std::printf("  wall time: median %.2f s, best %.2f s, worst %.2f s (goal: under 2 s)\n", seconds[seconds.size() / 2],
                seconds.front(), seconds.back());
    std::printf("  PDF: %.0f KB (goal: under 2 MB)\n", size / 1024.0);
    return seconds[seconds.size() / 2] < 2.0 && size < 2u * 1024 * 1024 ? 0 : 1;
}
