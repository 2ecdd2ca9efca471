// The drying log: lines from memory bytes, the CSV text, file names, the
// reader, and the writer on a real disk with its failures.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "controller/drying_log.h"
#include "controller/drying_log_writer.h"
#include "support/child_process.h"

namespace fs = std::filesystem;
using namespace torv;
using namespace torv::drying_log;
using torv::testing::TempDir;

namespace {

const LocalTime kMorning{2026, 12, 8, 5, 43, 17, 60};
const char* const kHeader = "time,address,TempDry,TempWet,TempControl1,TempControl2,Difference,AutoStep,"
                            "AutoHoursDone,AutoHoursTotal,SetTemperature,SetDifference,Heating,Humidifying,"
                            "VentOpen,VentClose,status";

// An image row with the measurement bytes set; temperatures as raw words.
struct Memory {
    int lcdMode;
    int dry, wet, control1, control2;
    int autoStep = 2, hoursDone = 3, hoursTotal = 8, setTemperature = 60, setDifference = 8;
    int outputBits = 0x05;
};

ImageRow rowOf(const Memory& m)
{
    ImageRow row{};
    const auto put = [&](int byte, int v) {
        row.at(static_cast<std::size_t>(byte - kFirstByte)) = static_cast<std::uint8_t>(v);
    };
    const auto word = [&](int byte, int raw) {
        put(byte, raw >> 8);
        put(byte + 1, raw & 0xFF);
    };
    put(104, m.autoStep);
    put(105, m.hoursTotal);
    put(106, m.setTemperature);
    put(107, m.setDifference);
    put(122, m.lcdMode);
    put(126, m.hoursDone);
    put(127, m.outputBits);
    word(160, m.dry);
    word(162, m.wet);
    word(164, m.control1);
    word(166, m.control2);
    return row;
}

struct LineCase {
    const char* what;
    Memory memory;
    const char* line;
};

const LineCase kLines[] = {
    {"LCD off: control sensors empty, though their words hold values",
     {0, 750, 700, 812, 655},
     "2026-12-08T05:43:17+01:00,5,25.0,20.0,,,5.0,2,3,8,60,8,1,0,0,1,ok"},
    {"LCD mode 1: control sensors shown, difference from the first pair only",
     {1, 750, 700, 812, 655},
     "2026-12-08T05:43:17+01:00,5,25.0,20.0,31.2,15.5,5.0,2,3,8,60,8,1,0,0,1,ok"},
    {"LCD mode 2: two-pair mean (50 + 1) / 2 tenths = 2.55",
     {2, 750, 700, 551, 550},
     "2026-12-08T05:43:17+01:00,5,25.0,20.0,5.1,5.0,2.55,2,3,8,60,8,1,0,0,1,ok"},
    {"LCD mode 2: a difference of one tenth summed is 0.05, not rounded",
     {2, 750, 700, 701, 750},
     "2026-12-08T05:43:17+01:00,5,25.0,20.0,20.1,25.0,0.05,2,3,8,60,8,1,0,0,1,ok"},
    {"LCD mode 2: negative odd sum keeps its sign and both decimals",
     {2, 700, 750, 751, 702},
     "2026-12-08T05:43:17+01:00,5,20.0,25.0,25.1,20.2,-0.05,2,3,8,60,8,1,0,0,1,ok"},
    {"LCD mode 2: even sum gives whole tenths with one decimal",
     {2, 700, 690, 700, 708},
     "2026-12-08T05:43:17+01:00,5,20.0,19.0,20.0,20.8,0.1,2,3,8,60,8,1,0,0,1,ok"},
    {"below zero: -0.5, -50.0 and a negative first-pair difference",
     {1, 495, 0, 499, 480},
     "2026-12-08T05:43:17+01:00,5,-0.5,-50.0,-0.1,-2.0,49.5,2,3,8,60,8,1,0,0,1,ok"},
    {"wet above dry: signed difference",
     {0, 480, 495, 0, 0},
     "2026-12-08T05:43:17+01:00,5,-2.0,-0.5,,,-1.5,2,3,8,60,8,1,0,0,1,ok"},
    {"largest word",
     {1, 0xFFFF, 500, 0x0100, 0xFF00},
     "2026-12-08T05:43:17+01:00,5,6503.5,0.0,-24.4,6478.0,6503.5,2,3,8,60,8,1,0,0,1,ok"},
    {"all four lamps on, programme bytes at their largest",
     {0, 600, 600, 0, 0, 255, 254, 253, 252, 251, 0x0F},
     "2026-12-08T05:43:17+01:00,5,10.0,10.0,,,0.0,255,254,253,252,251,1,1,1,1,ok"},
    {"only the high bits: every lamp off",
     {0, 600, 600, 0, 0, 0, 0, 0, 0, 0, 0xF0},
     "2026-12-08T05:43:17+01:00,5,10.0,10.0,,,0.0,0,0,0,0,0,0,0,0,0,ok"},
    {"humidifying and vent open alone",
     {0, 600, 600, 0, 0, 1, 1, 1, 1, 1, 0x0A},
     "2026-12-08T05:43:17+01:00,5,10.0,10.0,,,0.0,1,1,1,1,1,0,1,1,0,ok"},
};

TEST(DryingLogRow, ColumnsOfAScanFromMemoryBytes)
{
    for (const LineCase& c : kLines) {
        SCOPED_TRACE(c.what);
        const Row row = MeasurementRow(5, rowOf(c.memory), Status::Ok, kMorning);
        EXPECT_EQ(FormatRow(row), c.line);
        std::string why;
        const auto back = ParseRow(c.line, &why);
        ASSERT_TRUE(back.has_value()) << why;
        EXPECT_EQ(*back, row) << "the reader must give back what was written";
    }
}

TEST(DryingLogRow, DifferenceHeldInHundredths)
{
    const Row tie = MeasurementRow(5, rowOf({2, 750, 700, 701, 750}), Status::Ok, kMorning);
    EXPECT_EQ(tie.difference, 5);
    const Row single = MeasurementRow(5, rowOf({1, 700, 750, 0, 0}), Status::Ok, kMorning);
    EXPECT_EQ(single.difference, -500);
    EXPECT_EQ(single.tempControl1, -500);
}

TEST(DryingLogRow, FailedScanKeepsOnlyTimeAndAddress)
{
    const Row row = MeasurementRow(7, rowOf({1, 750, 700, 812, 655}), Status::Failed, kMorning);
    EXPECT_EQ(FormatRow(row), "2026-12-08T05:43:17+01:00,7,,,,,,,,,,,,,,,failed");
    const auto back = ParseRow(FormatRow(row));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, row);
    EXPECT_FALSE(back->tempDry.has_value());
}

TEST(DryingLogRow, HeaderNamesTheColumnsInOrder)
{
    EXPECT_EQ(HeaderLine(), kHeader);
    EXPECT_EQ(Columns().size(), 17u);
}

TEST(DryingLogTime, IsoTextWithOffset)
{
    struct Case {
        LocalTime t;
        const char* text;
    };
    const Case cases[] = {
        {kMorning, "2026-12-08T05:43:17+01:00"},
        {{2027, 1, 31, 23, 59, 59, 0}, "2027-01-31T23:59:59+00:00"},
        {{2026, 7, 4, 0, 0, 0, -330}, "2026-07-04T00:00:00-05:30"},
        {{2026, 3, 29, 2, 5, 9, 120}, "2026-03-29T02:05:09+02:00"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsoTime(c.t), c.text);
        EXPECT_EQ(ParseIsoTime(c.text), c.t) << c.text;
    }
    for (const char* bad : {"2026-12-08T05:43:17Z", "2026-12-08 05:43:17+01:00", "2026-13-08T05:43:17+01:00",
                            "2026-12-08T24:00:00+01:00", "2026-12-08T05:43:17+0100", "2026-12-08T05:43:1a+01:00"})
        EXPECT_FALSE(ParseIsoTime(bad).has_value()) << bad;
}

TEST(DryingLogFile, NameHasThreeDigitAddressAndTheLocalDate)
{
    EXPECT_EQ(FileName(5, kMorning), "komora-005-2026-12-08.csv");
    EXPECT_EQ(FileName(42, {2027, 1, 2, 0, 0, 0, 0}), "komora-042-2027-01-02.csv");
    EXPECT_EQ(FileName(250, {2026, 10, 31, 23, 0, 0, -60}), "komora-250-2026-10-31.csv");
}

TEST(DryingLogReader, RejectsWhatIsNotARow)
{
    const std::string good = "2026-12-08T05:43:17+01:00,5,25.0,20.0,,,5.0,2,3,8,60,8,1,0,0,1,ok";
    ASSERT_TRUE(ParseRow(good).has_value());
    const struct {
        std::string line;
        const char* what;
    } bad[] = {
        {good.substr(0, good.size() - 1), "status cut short"},
        {good.substr(0, good.size() - 3), "status missing"},
        {good.substr(0, 40), "columns missing"},
        {good + ",x", "a column too many"},
        {"2026-12-08T05:43:17+01:00,5,,20.0,,,5.0,2,3,8,60,8,1,0,0,1,ok", "ok without the dry temperature"},
        {"2026-12-08T05:43:17+01:00,5,25,20.0,,,5.0,2,3,8,60,8,1,0,0,1,ok", "temperature without decimal"},
        {"2026-12-08T05:43:17+01:00,5,25.0,20.0,,,5.0,2,3,8,60,8,2,0,0,1,ok", "a lamp that is not 0/1"},
        {"2026-12-08T05:43:17+01:00,5,25.0,20.0,,,5.0,2,3,8,256,8,1,0,0,1,ok", "a byte above 255"},
        {"2026-12-08T05:43:17+01:00,7,25.0,,,,,,,,,,,,,,failed", "failed with a value"},
        {"2026-12-08T05:43:17+01:00,5,25.0,20.0,,,5.001,2,3,8,60,8,1,0,0,1,ok", "three decimals"},
        {"2026-12-08T05:43:17+01:00,5,\"25.0,20.0,,,5.0,2,3,8,60,8,1,0,0,1,ok", "an open quote"},
    };
    for (const auto& b : bad) {
        std::string why;
        EXPECT_FALSE(ParseRow(b.line, &why).has_value()) << b.what;
        EXPECT_FALSE(why.empty()) << b.what;
    }
    // Quoted fields are plain CSV and read as their text.
    const auto quoted = ParseRow("\"2026-12-08T05:43:17+01:00\",\"5\",25.0,20.0,,,5.0,2,3,8,60,8,1,0,0,1,\"ok\"");
    ASSERT_TRUE(quoted.has_value());
    EXPECT_EQ(*quoted, *ParseRow(good));
}

TEST(DryingLogReader, TornLastLineAndBadLinesAreSkippedAndReported)
{
    const std::string a = "2026-12-08T05:43:17+01:00,5,25.0,20.0,,,5.0,2,3,8,60,8,1,0,0,1,ok";
    const std::string b = "2026-12-08T05:43:18+01:00,5,,,,,,,,,,,,,,,failed";
    const std::string torn = "2026-12-08T05:43:19+01:00,5,25.0,2";
    const Contents c = ParseLog(std::string(kHeader) + "\r\n" + a + "\r\ngarbage\r\n" + b + "\n" + torn);
    ASSERT_EQ(c.rows.size(), 2u);
    EXPECT_EQ(c.rows[0], *ParseRow(a));
    EXPECT_EQ(c.rows[1], *ParseRow(b));
    ASSERT_EQ(c.skipped.size(), 2u);
    EXPECT_EQ(c.skipped[0].number, 3u);
    EXPECT_EQ(c.skipped[0].text, "garbage");
    EXPECT_EQ(c.skipped[1].number, 5u);
    EXPECT_EQ(c.skipped[1].text, torn);
    EXPECT_NE(c.skipped[1].reason.find("torn"), std::string::npos);

    // A whole line that lost only its line break is still torn.
    const Contents lost = ParseLog(std::string(kHeader) + "\r\n" + a);
    EXPECT_TRUE(lost.rows.empty());
    ASSERT_EQ(lost.skipped.size(), 1u);
    EXPECT_EQ(lost.skipped[0].text, a);

    // The header only counts as the first line.
    const Contents late = ParseLog(a + "\r\n" + kHeader + "\r\n");
    EXPECT_EQ(late.rows.size(), 1u);
    EXPECT_EQ(late.skipped.size(), 1u);
}

// ---- the writer on a disk ----------------------------------------------------

std::string readText(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeText(const fs::path& p, const std::string& text)
{
    std::ofstream out(p, std::ios::binary);
    out << text;
}

std::string withBreak(const std::string& line) { return line + "\r\n"; }

// A clock that hands out the given times, one per line.
struct SteppedClock {
    std::vector<LocalTime> times;
    std::size_t next = 0;
    TimeSource source()
    {
        return [this] { return times.at(next++); };
    }
};

struct WriterFixture {
    TempDir dir;
    SteppedClock clock;
    std::vector<std::string> reports;
    Writer writer{dir.path(), clock.source(), [this](const std::string& t) { reports.push_back(t); }};
    fs::path logDir() const { return fs::path(dir.path()) / "pomiary"; }
    fs::path file(int address, const LocalTime& t) const { return logDir() / FileName(address, t); }
};

const ImageRow kRow = rowOf({1, 750, 700, 812, 655});

TEST(DryingLogWriter, HeaderOnceThenOneLinePerRecord)
{
    WriterFixture f;
    LocalTime second = kMorning;
    second.second = 18;
    f.clock.times = {kMorning, second, second};
    f.writer.record(5, kRow, Status::Ok);
    f.writer.record(5, kRow, Status::Failed);
    f.writer.record(6, kRow, Status::Ok);
    EXPECT_EQ(readText(f.file(5, kMorning)),
              withBreak(kHeader) + withBreak(FormatRow(MeasurementRow(5, kRow, Status::Ok, kMorning))) +
                  withBreak(FormatRow(MeasurementRow(5, kRow, Status::Failed, second))));
    EXPECT_EQ(readText(f.file(6, kMorning)),
              withBreak(kHeader) + withBreak(FormatRow(MeasurementRow(6, kRow, Status::Ok, second))));
    EXPECT_TRUE(f.reports.empty());
    EXPECT_FALSE(f.writer.failing());
}

TEST(DryingLogWriter, MidnightStartsTheNextDaysFile)
{
    WriterFixture f;
    const LocalTime before{2026, 12, 31, 23, 59, 59, 60};
    const LocalTime after{2027, 1, 1, 0, 0, 1, 60};
    f.clock.times = {before, after};
    f.writer.record(5, kRow, Status::Ok);
    f.writer.record(5, kRow, Status::Ok);
    const auto old = ReadLog(f.file(5, before).string());
    const auto next = ReadLog(f.file(5, after).string());
    ASSERT_TRUE(old && next);
    ASSERT_EQ(old->rows.size(), 1u);
    ASSERT_EQ(next->rows.size(), 1u);
    EXPECT_EQ(old->rows[0].time, before);
    EXPECT_EQ(next->rows[0].time, after);
    EXPECT_EQ(readText(f.file(5, after)).rfind(std::string(kHeader) + "\r\n", 0), 0u)
        << "the new day's file has a header";
    EXPECT_EQ(std::distance(fs::directory_iterator(f.logDir()), fs::directory_iterator()), 2);
}

TEST(DryingLogWriter, TornLastLineIsSkippedAndTheNextLineStartsAfreshLine)
{
    WriterFixture f;
    LocalTime later = kMorning;
    later.second = 30;
    f.clock.times = {kMorning, later};
    f.writer.record(5, kRow, Status::Ok);
    const fs::path path = f.file(5, kMorning);
    // A kill in the middle of the next line's write.
    const std::string torn = "2026-12-08T05:43:25+01:00,5,25.";
    {
        std::ofstream out(path, std::ios::binary | std::ios::app);
        out << torn;
    }
    const auto before = ReadLog(path.string());
    ASSERT_TRUE(before);
    EXPECT_EQ(before->rows.size(), 1u);
    ASSERT_EQ(before->skipped.size(), 1u);
    EXPECT_EQ(before->skipped[0].text, torn);

    f.writer.record(5, kRow, Status::Ok);
    const std::string newLine = FormatRow(MeasurementRow(5, kRow, Status::Ok, later));
    EXPECT_EQ(readText(path), withBreak(kHeader) + withBreak(FormatRow(MeasurementRow(5, kRow, Status::Ok, kMorning))) +
                                  withBreak(torn) + withBreak(newLine));
    const auto after = ReadLog(path.string());
    ASSERT_TRUE(after);
    ASSERT_EQ(after->rows.size(), 2u);
    EXPECT_EQ(after->rows[1].time, later);
    ASSERT_EQ(after->skipped.size(), 1u);
    EXPECT_EQ(after->skipped[0].number, 3u);
    EXPECT_EQ(after->skipped[0].text, torn);
}

TEST(DryingLogWriter, RemovedFolderIsMadeAgain)
{
    WriterFixture f;
    f.clock.times = {kMorning, kMorning};
    f.writer.record(5, kRow, Status::Ok);
    fs::remove_all(f.logDir());
    f.writer.record(5, kRow, Status::Failed);
    const auto c = ReadLog(f.file(5, kMorning).string());
    ASSERT_TRUE(c);
    ASSERT_EQ(c->rows.size(), 1u);
    EXPECT_EQ(c->rows[0].status, Status::Failed);
    EXPECT_TRUE(f.reports.empty());
}

TEST(DryingLogWriter, FolderReplacedByAFileIsReportedOnceAndWritingResumes)
{
    WriterFixture f;
    f.clock.times.assign(5, kMorning);
    writeText(f.logDir(), "not a folder");
    EXPECT_FALSE(f.writer.append(MeasurementRow(5, kRow, Status::Ok, kMorning)));
    f.writer.record(5, kRow, Status::Ok);
    f.writer.record(5, kRow, Status::Failed);
    ASSERT_EQ(f.reports.size(), 1u) << "the same cause is told once";
    EXPECT_NE(f.reports[0].find("pomiary"), std::string::npos) << f.reports[0];
    EXPECT_EQ(f.writer.lastProblem(), f.reports[0]);
    EXPECT_TRUE(f.writer.failing());

    fs::remove(f.logDir());
    f.writer.record(5, kRow, Status::Ok);
    EXPECT_FALSE(f.writer.failing());
    ASSERT_EQ(f.reports.size(), 2u);
    EXPECT_NE(f.reports[1].find("writing again"), std::string::npos) << f.reports[1];
    EXPECT_EQ(f.writer.lastProblem(), f.reports[0]) << "kept for a later look";
    EXPECT_EQ(readText(f.file(5, kMorning)),
              withBreak(kHeader) + withBreak(FormatRow(MeasurementRow(5, kRow, Status::Ok, kMorning))));

    // A new failure after the recovery is told again.
    fs::remove_all(f.logDir());
    writeText(f.logDir(), "again");
    f.writer.record(5, kRow, Status::Ok);
    EXPECT_EQ(f.reports.size(), 3u);
}

// Root writes past file modes, so as root `body` runs in a child dropped to
// uid/gid 65534, owning `dir`. The body returns what went wrong or nullptr;
// the result is the child's exit status.
constexpr int kNoUnprivilegedUser = 77;

int runUnprivileged(const fs::path& dir, const std::function<const char*()>& body)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 && (::chown(dir.c_str(), 65534, 65534) != 0 || ::setgroups(0, nullptr) != 0 ||
                                 ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(kNoUnprivilegedUser);
        // Capabilities left over would override modes just as root does.
        const fs::path probe = dir / "probe";
        const int created = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0444);
        const int reopened = created < 0 ? 0 : ::open(probe.c_str(), O_WRONLY);
        ::unlink(probe.c_str());
        if (reopened >= 0)
            ::_exit(kNoUnprivilegedUser);
        const char* failure = body();
        if (failure != nullptr)
            std::fprintf(stderr, "%s\n", failure);
        ::_exit(failure == nullptr ? 0 : 1);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

TEST(DryingLogWriter, ReadOnlyFileIsReportedOnceAndWritingResumesWhenAllowed)
{
    TempDir dir;
    const int status = runUnprivileged(dir.path(), [&]() -> const char* {
        SteppedClock clock;
        clock.times.assign(4, kMorning);
        std::vector<std::string> reports;
        Writer writer(dir.path(), clock.source(), [&](const std::string& t) { reports.push_back(t); });
        writer.record(5, kRow, Status::Ok);
        if (!reports.empty())
            return "the first line was refused";
        const fs::path path = fs::path(dir.path()) / "pomiary" / FileName(5, kMorning);
        const std::string first = readText(path);
        fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        writer.record(5, kRow, Status::Ok);
        writer.record(5, kRow, Status::Failed);
        if (reports.size() != 1 || !writer.failing())
            return "a read-only file was not reported exactly once";
        if (readText(path) != first)
            return "the read-only file changed";
        fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
        writer.record(5, kRow, Status::Ok);
        if (writer.failing() || reports.size() != 2)
            return "writing did not resume";
        const auto c = ReadLog(path.string());
        if (!c || c->rows.size() != 2 || !c->skipped.empty())
            return "the file does not hold the first and the resumed line";
        return nullptr;
    });
    if (status == kNoUnprivilegedUser)
        GTEST_SKIP() << "no user bound by file modes to run as (root drops to uid 65534)";
    EXPECT_EQ(status, 0);
}

TEST(DryingLogWriter, KilledWriterLosesAtMostTheLineBeingWritten)
{
    TempDir dir;
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Lines until killed; each second of the time is a line's number.
        Writer writer(dir.path(), [n = 0]() mutable {
            LocalTime t = kMorning;
            t.hour = n / 3600 % 24;
            t.minute = n / 60 % 60;
            t.second = n % 60;
            ++n;
            return t;
        }, [](const std::string&) {});
        for (int i = 0; i < 20000; ++i)
            writer.record(5, kRow, Status::Ok);
        ::_exit(0);
    }
    ASSERT_GT(pid, 0);
    const fs::path path = fs::path(dir.path()) / "pomiary" / FileName(5, kMorning);
    // Kill it once some lines are in, wherever it stands then.
    int status = 0;
    pid_t ended = 0;
    while (ended == 0 && (!fs::exists(path) || fs::file_size(path) < 2000)) {
        ::usleep(1000);
        ended = ::waitpid(pid, &status, WNOHANG);
    }
    if (ended == 0) {
        ::kill(pid, SIGKILL);
        ended = ::waitpid(pid, &status, 0);
    }
    ASSERT_EQ(ended, pid);
    const auto c = ReadLog(path.string());
    ASSERT_TRUE(c);
    ASSERT_FALSE(c->rows.empty());
    EXPECT_LE(c->skipped.size(), 1u);
    if (!c->skipped.empty()) {
        EXPECT_NE(c->skipped[0].reason.find("torn"), std::string::npos);
    }
    for (std::size_t i = 0; i < c->rows.size(); ++i) {
        const LocalTime& t = c->rows[i].time;
        ASSERT_EQ(static_cast<std::size_t>(t.hour * 3600 + t.minute * 60 + t.second), i) << "a line went missing";
    }
}

} // namespace
