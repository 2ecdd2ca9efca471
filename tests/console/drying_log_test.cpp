// The drying log fed by the console on simulated controllers: what the scans
// and block reads put on the disk, and that logging leaves the bus alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "console_fixture.h"
#include "files/drying_log.h"
#include "files/drying_log_writer.h"

using namespace torv;
using namespace torv::testing;
using namespace torv::drying_log;

namespace {

// One second further for every line.
LocalTime secondsAfterSix(int n) { return {2026, 12, 8, 6, n / 60, n % 60, 60}; }

// The console with the log wired as the window's session wires it.
struct LoggedConsole : ConsoleFixture {
    int lines = 0;
    Writer writer{dir.path(), [this] { return secondsAfterSix(lines++); }};
    LoggedConsole()
    {
        console.onMeasurement = [this](std::uint8_t address, const ImageRow& row, bool ok) {
            writer.record(address, row, ok ? Status::Ok : Status::Failed);
        };
    }
    std::vector<Row> log(int address)
    {
        return ReadLog(dir.path() + "/pomiary/" + FileName(address, secondsAfterSix(0))).value_or(Contents{}).rows;
    }
};

// A session on controller 5: start-up, three scans with the controller silent
// in the second, STOP, START and the bus test. Gives every request that reached
// the line with its time, and the image row as the controller answered after the
// start-up and each scan: a read copies the bytes it asks for as it arrives.
struct Session {
    std::vector<std::string> requests;
    std::vector<ImageRow> answered;
};

Session run(ConsoleFixture& f)
{
    Session s;
    ImageRow row{};
    f.line.setTrace([&](std::uint64_t us, const std::string& text) {
        if (text.rfind("in ", 0) != 0)
            return;
        s.requests.push_back(std::to_string(us) + " " + text);
        std::istringstream in(text.substr(3));
        std::vector<unsigned> b;
        for (unsigned v = 0; in >> std::hex >> v;)
            b.push_back(v);
        if (b.size() < 6 || b[0] != 5 || b[1] != 3)
            return;
        const unsigned start = b[2] * 256 + b[3], end = start + 2 * (b[4] * 256 + b[5]);
        for (unsigned byte = std::max<unsigned>(start, kFirstByte); byte < end && byte <= kLastByte; ++byte)
            row.at(byte - kFirstByte) = f.line.find(5)->memory().at(byte);
    });
    sim::Controller& c = f.line.add(5);
    f.startAt(5);
    s.answered.push_back(row);
    for (const bool silent : {false, true, false}) {
        c.faults().silent = silent;
        f.clock.advanceUs(1'000'000);
        f.console.scanTick();
        s.answered.push_back(row);
    }
    f.console.toggleScanning(); // stop: a last scan
    f.console.toggleScanning(); // start again: a block read and a scan
    f.console.testBus(); // the bus test: a block read
    f.line.setTrace({});
    return s;
}

TEST(DryingLogConsole, LinesHoldWhatTheControllerAnsweredAndTheBusIsUntouched)
{
    ConsoleFixture plain;
    LoggedConsole logged;
    const Session without = run(plain), with = run(logged);
    EXPECT_EQ(with.requests, without.requests) << "the log changes no request nor its time";
    ASSERT_NE(with.answered[0], with.answered[1]) << "the chamber should have moved between the lines";
    const std::vector<Row> log = logged.log(5);
    ASSERT_EQ(log.size(), 8u) << "start-up, three scans, STOP's scan, START's block read and scan, the bus test";
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(log[i], MeasurementRow(5, with.answered[i], i == 2 ? Status::Failed : Status::Ok, secondsAfterSix(i)))
            << i;
}

TEST(DryingLogConsole, FailedStartUpLogsNothing)
{
    LoggedConsole f;
    f.startAt(5); // nobody answers
    EXPECT_EQ(f.lines, 0) << "a failed block read is no measurement";
}

} // namespace
