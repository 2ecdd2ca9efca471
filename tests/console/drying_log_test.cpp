// The drying log fed by the console on simulated controllers: what the scans
// and block reads put on the disk, and that logging leaves the bus alone.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "bus_log.h"
#include "console_fixture.h"
#include "controller/drying_log.h"
#include "controller/drying_log_writer.h"

using namespace torv;
using namespace torv::testing;
using namespace torv::drying_log;
namespace fs = std::filesystem;

namespace {

// One second further for every line.
LocalTime secondsAfterSix(int n) { return {2026, 12, 8, 6, n / 60, n % 60, 60}; }

// The console with the log wired as the window's session wires it.
struct LoggedConsole : ConsoleFixture {
    int lines = 0;
    std::vector<std::string> reports;
    Writer writer{dir.path(), [this] { return secondsAfterSix(lines++); },
                  [this](const std::string& t) { reports.push_back(t); }};

    LoggedConsole()
    {
        console.onMeasurement = [this](std::uint8_t address, const ImageRow& row, bool ok) {
            writer.record(address, row, ok ? Status::Ok : Status::Failed);
        };
    }
    Contents log(int address)
    {
        const auto c = ReadLog((fs::path(dir.path()) / "pomiary" / FileName(address, secondsAfterSix(0))).string());
        return c ? *c : Contents{};
    }
};

// The controller's memory as it answered: every read of `address` copies the
// bytes it returned from the simulator's memory at the moment the request
// arrived, so a chamber that moves on after the reply does not count.
struct AnsweredMemory {
    ImageRow row{};
    void attach(sim::Line& line, std::uint8_t address)
    {
        line.setTrace([this, &line, address](std::uint64_t, const std::string& text) {
            if (text.rfind("in ", 0) != 0)
                return;
            std::istringstream in(text.substr(3));
            std::vector<unsigned> b;
            unsigned v = 0;
            while (in >> std::hex >> v)
                b.push_back(v);
            sim::Controller* c = line.find(address);
            if (b.size() < 6 || b[0] != address || b[1] != 3 || c == nullptr)
                return;
            const unsigned start = b[2] * 256 + b[3];
            const unsigned count = b[4] * 256 + b[5];
            for (unsigned byte = start; byte < start + 2 * count; ++byte)
                if (byte >= kFirstByte && byte <= kLastByte)
                    row.at(byte - kFirstByte) = c->memory().at(byte);
        });
    }
    int word(int byte) const { return RowByte(row, byte) * 256 + RowByte(row, byte + 1) - 500; }
};

TEST(DryingLogConsole, StartUpAndTwoTicksLogWhatTheControllerHolds)
{
    LoggedConsole f;
    AnsweredMemory answered;
    answered.attach(f.line, 5);
    f.line.add(5);
    std::vector<ImageRow> memory;
    f.startAt(5);
    memory.push_back(answered.row);
    ASSERT_TRUE(f.console.ScanOn);
    for (int tick = 0; tick < 2; ++tick) {
        f.clock.advanceUs(1'000'000);
        f.console.Timer1Timer();
        memory.push_back(answered.row);
    }
    ASSERT_NE(memory[0], memory[2]) << "the chamber should have moved between the lines";

    const Contents log = f.log(5);
    EXPECT_TRUE(log.skipped.empty());
    ASSERT_EQ(log.rows.size(), 3u) << "the start-up block read and two scans";
    for (std::size_t i = 0; i < log.rows.size(); ++i) {
        SCOPED_TRACE(i);
        const Row& r = log.rows[i];
        EXPECT_EQ(r, MeasurementRow(5, memory[i], Status::Ok, secondsAfterSix(static_cast<int>(i))));
        EXPECT_EQ(r.status, Status::Ok);
        EXPECT_EQ(r.time, secondsAfterSix(static_cast<int>(i)));
    }
    // Column by column against the bytes: LCD mode 1 (control sensors shown,
    // the difference of the first pair), set values 60 / 8.
    const ImageRow& m = memory.back();
    ASSERT_EQ(RowByte(m, 122), 1);
    const Row& last = log.rows.back();
    EXPECT_EQ(last.address, 5);
    EXPECT_EQ(last.tempDry, answered.word(160));
    EXPECT_EQ(last.tempWet, answered.word(162));
    EXPECT_EQ(last.tempControl1, answered.word(164));
    EXPECT_EQ(last.tempControl2, answered.word(166));
    EXPECT_EQ(last.difference, (answered.word(160) - answered.word(162)) * 10);
    EXPECT_EQ(last.setTemperature, 60);
    EXPECT_EQ(last.setDifference, 8);
    EXPECT_EQ(last.autoStep, RowByte(m, 104));
    EXPECT_EQ(last.autoHoursTotal, RowByte(m, 105));
    EXPECT_EQ(last.autoHoursDone, RowByte(m, 126));
    EXPECT_EQ(last.heating, (RowByte(m, 127) & 0x04) != 0 ? 1 : 0);
    EXPECT_EQ(last.humidifying, (RowByte(m, 127) & 0x08) != 0 ? 1 : 0);
    EXPECT_EQ(last.ventOpen, (RowByte(m, 127) & 0x02) != 0 ? 1 : 0);
    EXPECT_EQ(last.ventClose, (RowByte(m, 127) & 0x01) != 0 ? 1 : 0);
    EXPECT_TRUE(f.reports.empty());
}

TEST(DryingLogConsole, SilentControllerGivesAFailedLineAndScanningGoesOn)
{
    LoggedConsole f;
    AnsweredMemory answered;
    answered.attach(f.line, 5);
    sim::Controller& c = f.line.add(5);
    f.startAt(5);
    c.faults().silent = true;
    f.console.Timer1Timer();
    c.faults().silent = false;
    f.console.Timer1Timer();

    const Contents log = f.log(5);
    ASSERT_EQ(log.rows.size(), 3u);
    EXPECT_EQ(log.rows[0].status, Status::Ok);
    EXPECT_EQ(log.rows[1].status, Status::Failed);
    EXPECT_EQ(log.rows[1].address, 5);
    EXPECT_EQ(log.rows[1].time, secondsAfterSix(1));
    EXPECT_FALSE(log.rows[1].tempDry.has_value()) << "a failed scan shows no stale values";
    EXPECT_EQ(log.rows[2].status, Status::Ok);
    EXPECT_EQ(log.rows[2].tempDry, answered.word(160));
    EXPECT_TRUE(f.console.ScanOn);
}

TEST(DryingLogConsole, FailedStartUpReadLogsNothing)
{
    LoggedConsole f;
    f.startAt(5); // nobody answers
    EXPECT_FALSE(f.console.ScanOn);
    EXPECT_FALSE(fs::exists(fs::path(f.dir.path()) / "pomiary" / FileName(5, secondsAfterSix(0))));
    EXPECT_EQ(f.lines, 0) << "a failed block read is no measurement";
}

TEST(DryingLogConsole, BusTestLogsEveryControllerItReads)
{
    LoggedConsole f;
    f.line.add(3);
    f.line.add(7);
    f.startAt(3);
    f.console.Button6Click();
    ASSERT_EQ(f.console.FoundCount, 2);
    const std::size_t lines[] = {2, 1}; // 3: the start-up read as well
    for (const int address : {3, 7}) {
        SCOPED_TRACE(address);
        const Contents log = f.log(address);
        ASSERT_EQ(log.rows.size(), lines[address == 3 ? 0 : 1]);
        EXPECT_EQ(log.rows.back().address, address);
        EXPECT_EQ(log.rows.back().status, Status::Ok);
        EXPECT_EQ(log.rows.back().setTemperature, 60);
    }
    EXPECT_EQ(f.lines, 3);
}

// The same session with and without the log: the same requests at the same times.
TEST(DryingLogConsole, LoggingChangesNothingOnTheBus)
{
    const auto session = [](ConsoleFixture& f) {
        BusLog bus;
        bus.attach(f.line);
        sim::Controller& c = f.line.add(5);
        f.startAt(5);
        f.console.Timer1Timer();
        c.faults().silent = true;
        f.console.Timer1Timer();
        c.faults().silent = false;
        f.console.Timer1Timer();
        f.console.Button2Click(); // stop
        f.console.Button2Click(); // start again: a block read and a scan
        std::vector<std::string> requests = bus.take();
        for (const std::uint64_t us : bus.takenAtUs)
            requests.push_back(std::to_string(us));
        return requests;
    };
    ConsoleFixture plain;
    LoggedConsole logged;
    const auto withoutLog = session(plain);
    EXPECT_EQ(session(logged), withoutLog);
    EXPECT_GT(withoutLog.size(), 20u);
    EXPECT_EQ(logged.log(5).rows.size(), 7u) << "start-up, three scans, the scan of STOP, START's block read and scan";
}

} // namespace
