// The drying log: lines from memory bytes, the reader, and the writer on a disk.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "files/drying_log.h"
#include "files/drying_log_writer.h"
#include "files/json_writer.h"
#include "support/child_process.h"

namespace fs = std::filesystem;
using namespace torv;
using namespace torv::drying_log;
using torv::testing::TempDir;

namespace {

const LocalTime kMorning{2026, 12, 8, 5, 43, 17, 60};
const std::string kHeader = "time,address,TempDry,TempWet,TempControl1,TempControl2,Difference,AutoStep,"
                            "AutoHoursDone,AutoHoursTotal,SetTemperature,SetDifference,Heating,Humidifying,"
                            "VentOpen,VentClose,status";
const std::string kOk = "2026-12-08T05:43:17+01:00,5,25.0,20.0,,,5.0,2,3,8,60,8,1,0,0,1,ok";

// The measurement bytes of an image row; temperatures as raw words.
struct Memory {
    int lcdMode, dry, wet, control1, control2, outputBits = 0x05;
    int autoStep = 2, hoursDone = 3, hoursTotal = 8, setTemperature = 60, setDifference = 8;
};

ImageRow rowOf(const Memory& m)
{
    const int bytes[][2] = {{104, m.autoStep}, {105, m.hoursTotal}, {106, m.setTemperature}, {107, m.setDifference},
                            {122, m.lcdMode}, {126, m.hoursDone}, {127, m.outputBits}, {160, m.dry >> 8},
                            {161, m.dry}, {162, m.wet >> 8}, {163, m.wet}, {164, m.control1 >> 8},
                            {165, m.control1}, {166, m.control2 >> 8}, {167, m.control2}};
    ImageRow row{};
    for (const auto& [byte, v] : bytes)
        row.at(std::size_t(byte - kFirstByte)) = std::uint8_t(v);
    return row;
}

TEST(DryingLogRow, ColumnsOfAScanFromMemoryBytesAndBack)
{
    const struct {
        Memory memory;
        Status status;
        const char* columns; // after "2026-12-08T05:43:17+01:00,5,"
    } cases[] = {
        // LCD off: control sensors empty though their words hold values; mode 1: shown, first pair's difference.
        {{0, 750, 700, 812, 655}, Status::Ok, "25.0,20.0,,,5.0,2,3,8,60,8,1,0,0,1,ok"},
        {{1, 750, 700, 812, 655, 0x0A}, Status::Ok, "25.0,20.0,31.2,15.5,5.0,2,3,8,60,8,0,1,1,0,ok"},
        // LCD mode 2: the two-pair mean, exact to 0.05 with its sign; whole tenths with one decimal.
        {{2, 750, 700, 551, 550}, Status::Ok, "25.0,20.0,5.1,5.0,2.55,2,3,8,60,8,1,0,0,1,ok"},
        {{2, 750, 700, 701, 750, 0x06}, Status::Ok, "25.0,20.0,20.1,25.0,0.05,2,3,8,60,8,1,0,1,0,ok"},
        {{2, 700, 750, 751, 702}, Status::Ok, "20.0,25.0,25.1,20.2,-0.05,2,3,8,60,8,1,0,0,1,ok"},
        {{2, 700, 690, 700, 708}, Status::Ok, "20.0,19.0,20.0,20.8,0.1,2,3,8,60,8,1,0,0,1,ok"},
        // Below zero, wet above dry, both bytes of a word.
        {{1, 495, 0, 499, 480}, Status::Ok, "-0.5,-50.0,-0.1,-2.0,49.5,2,3,8,60,8,1,0,0,1,ok"},
        {{0, 480, 495, 0, 0}, Status::Ok, "-2.0,-0.5,,,-1.5,2,3,8,60,8,1,0,0,1,ok"},
        {{1, 0xFFFF, 500, 0x0100, 0xFF00}, Status::Ok, "6503.5,0.0,-24.4,6478.0,6503.5,2,3,8,60,8,1,0,0,1,ok"},
        // Only the high bits of the lamp byte: every lamp off; programme bytes at their largest.
        {{0, 600, 600, 0, 0, 0xF0, 255, 254, 253, 252, 251}, Status::Ok,
         "10.0,10.0,,,0.0,255,254,253,252,251,0,0,0,0,ok"},
        // A failed scan keeps only time and address: the bytes are stale.
        {{1, 750, 700, 812, 655}, Status::Failed, ",,,,,,,,,,,,,,failed"},
    };
    for (const auto& c : cases) {
        const std::string line = std::string("2026-12-08T05:43:17+01:00,5,") + c.columns;
        const Row row = MeasurementRow(5, rowOf(c.memory), c.status, kMorning);
        EXPECT_EQ(FormatRow(row), line);
        EXPECT_EQ(ParseRow(line), row) << "the reader gives back what was written";
    }
}

// A field in JSON (torv-cli's report, the broker's state): null where the
// line has none, text for the time and status, a number for every other column.
TEST(DryingLogRow, EachFieldsJsonTypeComesFromItsColumn)
{
    const struct {
        const char* column;
        const char* field;
        JsonType type;
    } cases[] = {
        {"time", "2026-12-08T05:43:17+01:00", JsonType::String},
        {"status", "failed", JsonType::String},
        {"address", "5", JsonType::Number},
        {"TempDry", "-0.5", JsonType::Number},
        {"Difference", "2.55", JsonType::Number},
        {"VentClose", "1", JsonType::Number},
        {"TempDry", "", JsonType::Null},
        {"time", "", JsonType::Null},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FieldJsonType(c.column, c.field), c.type) << c.column << " " << c.field;

    // Each column's name with its own field.
    JsonWriter json;
    json.beginObject(JsonWriter::Layout::Tight);
    WriteRowJson(json, MeasurementRow(5, rowOf({0, 750, 700, 812, 655}), Status::Ok, kMorning));
    EXPECT_EQ(json.endObject().str(),
              R"({"time": "2026-12-08T05:43:17+01:00", "address": 5, "TempDry": 25.0, "TempWet": 20.0, )"
              R"("TempControl1": null, "TempControl2": null, "Difference": 5.0, "AutoStep": 2, "AutoHoursDone": 3, )"
              R"("AutoHoursTotal": 8, "SetTemperature": 60, "SetDifference": 8, "Heating": 1, "Humidifying": 0, )"
              R"("VentOpen": 0, "VentClose": 1, "status": "ok"})");
}

TEST(DryingLogReader, RejectsWhatIsNotARowAndReadsQuotedFields)
{
    for (const std::string& bad : {
             kOk.substr(0, kOk.size() - 1),                                       // status cut short
             kOk.substr(0, 40),                                                   // columns missing
             kOk + ",x",                                                          // a column too many
             std::string("2026-12-08T05:43:17+01:00,5,,20.0,,,5.0,2,3,8,60,8,1,0,0,1,ok"), // ok without TempDry
             std::string("2026-12-08T05:43:17+01:00,5,25,20.0,,,5.0,2,3,8,60,8,1,0,0,1,ok"),   // no decimal
             std::string("2026-12-08T05:43:17+01:00,5,25.0,20.0,,,5.0,2,3,8,60,8,2,0,0,1,ok"), // lamp 2
             std::string("2026-12-08T05:43:17+01:00,5,25.0,20.0,,,5.0,2,3,8,256,8,1,0,0,1,ok"), // byte 256
             std::string("2026-12-08T05:43:17+01:00,5,25.0,20.0,,,5.001,2,3,8,60,8,1,0,0,1,ok"), // 3 decimals
             std::string("2026-12-08T05:43:17+01:00,7,25.0,,,,,,,,,,,,,,failed"),     // failed with a value
             std::string("2026-12-08T05:43:17+01:00,5,\"25.0,20.0,,,5.0,2,3,8,60,8,1,0,0,1,ok"), // open quote
             std::string("2026-12-08T05:43:17Z,5,25.0,20.0,,,5.0,2,3,8,60,8,1,0,0,1,ok"),      // UTC as Z
             std::string("2026-12-08T24:00:00+01:00,5,25.0,20.0,,,5.0,2,3,8,60,8,1,0,0,1,ok"), // hour 24
         })
        EXPECT_FALSE(ParseRow(bad).has_value()) << bad;
    // Times no clock shows: a chart would draw them somewhere else.
    for (const char* bad : {"2026-02-31T05:43:17+01:00", "2026-02-29T05:43:17+01:00", "2100-02-29T05:43:17+01:00",
                            "2026-04-31T05:43:17+01:00", "0000-01-01T05:43:17+01:00", "2026-12-08T05:60:17+01:00",
                            "2026-12-08T05:43:60+01:00", "2026-12-08T05:43:17+14:01", "2026-12-08T05:43:17-12:01",
                            "2026-12-08T05:43:17+01:60"})
        EXPECT_FALSE(ParseIsoTime(bad).has_value()) << bad;
    for (const char* good : {"2028-02-29T23:59:59+01:00", "2000-02-29T00:00:00+01:00", "2026-12-31T05:43:17+14:00",
                             "2026-01-31T05:43:17-12:00", "2026-06-30T05:43:17+05:45"})
        EXPECT_EQ(IsoTime(ParseIsoTime(good).value_or(LocalTime{})), good);
    EXPECT_EQ(ParseRow("\"2026-12-08T05:43:17+01:00\",\"5\",25.0,20.0,,,5.0,2,3,8,60,8,1,0,0,1,\"ok\""),
              ParseRow(kOk));
    // The reason quotes the line with its control characters escaped, a NUL among them.
    std::string why;
    EXPECT_FALSE(ParseRow(kOk.substr(0, kOk.size() - 2) + "\x1b[2J" + std::string(1, '\0') + "\r", &why));
    EXPECT_EQ(why, R"(status is neither ok nor failed: \u001b[2J\u0000\u000d)");
    const LocalTime west{2026, 7, 4, 0, 0, 0, -330};
    EXPECT_EQ(IsoTime(west), "2026-07-04T00:00:00-05:30");
    EXPECT_EQ(ParseIsoTime("2026-07-04T00:00:00-05:30"), west);
}

TEST(DryingLogReader, SkipsBadLinesAndATornLastLine)
{
    const std::string failed = "2026-12-08T05:43:18+01:00,5,,,,,,,,,,,,,,,failed";
    // CRLF and LF; a last line that lost only its line break is torn all the same.
    const Contents c = ParseLog(kHeader + "\r\n" + kOk + "\r\ngarbage\r\n" + failed + "\n" + kOk);
    EXPECT_EQ(c.rows, (std::vector<Row>{*ParseRow(kOk), *ParseRow(failed)}));
    ASSERT_EQ(c.skipped.size(), 2u);
    EXPECT_EQ(c.skipped[0], (SkippedLine{3, "garbage", c.skipped[0].reason}));
    EXPECT_EQ(c.skipped[1], (SkippedLine{5, kOk, c.skipped[1].reason}));
    EXPECT_NE(c.skipped[1].reason.find("torn"), std::string::npos);
    EXPECT_EQ(ParseLog(kOk + "\r\n" + kHeader + "\r\n").skipped.size(), 1u) << "a header only as the first line";
}

// ---- the writer on a disk ----------------------------------------------------

const ImageRow kRow = rowOf({1, 750, 700, 812, 655});

struct WriterFixture {
    TempDir dir;
    std::vector<LocalTime> times; // one per line
    std::size_t next = 0;
    std::vector<std::string> reports;
    Writer writer{dir.path(), [this] { return times.at(next++); },
                  [this](const std::string& t) { reports.push_back(t); }};
    fs::path logDir() const { return fs::path(dir.path()) / "pomiary"; }
    fs::path file(const LocalTime& t) const { return logDir() / FileName(5, t); }
    std::string text(const LocalTime& t) const
    {
        std::ifstream in(file(t), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static std::string line(Status s, const LocalTime& t) { return FormatRow(MeasurementRow(5, kRow, s, t)) + "\r\n"; }
};

TEST(DryingLogWriter, HeaderOnceAFilePerControllerAndDay)
{
    WriterFixture f;
    const LocalTime second{2026, 12, 8, 5, 43, 18, 60}, nextDay{2026, 12, 9, 0, 0, 1, 60};
    f.times = {kMorning, second, second, nextDay};
    f.writer.record(5, kRow, Status::Ok);
    f.writer.record(5, kRow, Status::Failed);
    f.writer.record(6, kRow, Status::Ok);
    f.writer.record(5, kRow, Status::Ok);
    EXPECT_EQ(f.text(kMorning), kHeader + "\r\n" + f.line(Status::Ok, kMorning) + f.line(Status::Failed, second));
    EXPECT_EQ(f.text(nextDay), kHeader + "\r\n" + f.line(Status::Ok, nextDay));
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(f.logDir()))
        names.insert(e.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"komora-005-2026-12-08.csv", "komora-005-2026-12-09.csv",
                                            "komora-006-2026-12-08.csv"}));
    EXPECT_TRUE(f.reports.empty());
}

TEST(DryingLogWriter, InDirectoryWritesStraightIntoItAndMakesIt)
{
    TempDir dir;
    const fs::path target = fs::path(dir.path()) / "site" / "chambers";
    Writer writer = Writer::InDirectory(target.string(), [] { return kMorning; });
    EXPECT_EQ(writer.makeDirectory(), "") << "made with its parents";
    EXPECT_TRUE(fs::is_empty(target)) << "the trial file is gone";
    writer.record(5, kRow, Status::Ok);
    EXPECT_EQ(writer.directory(), target.string());
    EXPECT_TRUE(fs::exists(target / FileName(5, kMorning)));
    EXPECT_FALSE(fs::exists(target / "pomiary"));

    std::ofstream(fs::path(dir.path()) / "plain") << "not a folder";
    const std::string under = (fs::path(dir.path()) / "plain" / "logs").string();
    EXPECT_NE(Writer::InDirectory(under, [] { return kMorning; }).makeDirectory().find(under), std::string::npos);
}

TEST(DryingLogWriter, AFifoOrALinkToADeviceUnderTheDaysNameIsNeitherWrittenNorRead)
{
    WriterFixture f;
    f.times.assign(4, kMorning);
    fs::create_directories(f.logDir());
    ASSERT_EQ(::mkfifo(f.file(kMorning).c_str(), 0666), 0);
    EXPECT_FALSE(f.writer.record(5, kRow, Status::Ok));
    EXPECT_TRUE(fs::is_fifo(f.file(kMorning)));
    ASSERT_EQ(f.reports.size(), 1u);
    EXPECT_NE(f.reports[0].find("is a FIFO, not a regular file"), std::string::npos) << f.reports[0];

    std::string error;
    ::alarm(20); // a read that waits for a writer ends the test instead of hanging it
    EXPECT_FALSE(ReadLog(f.file(kMorning).string(), &error));
    ::alarm(0);
    EXPECT_EQ(error, "to nie jest zwykły plik, lecz potok (FIFO)");

    // Through a link: the device is never opened (a null device stands in).
    fs::create_symlink("/dev/null", f.logDir() / FileName(6, kMorning));
    EXPECT_FALSE(f.writer.record(6, kRow, Status::Ok));
    EXPECT_TRUE(fs::is_symlink(f.logDir() / FileName(6, kMorning)));
    EXPECT_TRUE(f.writer.anyFailed());
}

TEST(DryingLogWriter, TornLastLineIsSkippedAndTheNextLineStartsAfresh)
{
    WriterFixture f;
    const LocalTime later{2026, 12, 8, 5, 43, 30, 60};
    f.times = {kMorning, later};
    f.writer.record(5, kRow, Status::Ok);
    const std::string torn = "2026-12-08T05:43:25+01:00,5,25."; // killed in the middle of a write
    std::ofstream(f.file(kMorning), std::ios::binary | std::ios::app) << torn;
    f.writer.record(5, kRow, Status::Ok);
    EXPECT_EQ(f.text(kMorning),
              kHeader + "\r\n" + f.line(Status::Ok, kMorning) + torn + "\r\n" + f.line(Status::Ok, later));
    const Contents c = ReadLog(f.file(kMorning).string()).value_or(Contents{});
    EXPECT_EQ(c.rows.size(), 2u);
    EXPECT_EQ(c.skipped, (std::vector<SkippedLine>{{3, torn, c.skipped.at(0).reason}}));
}

TEST(DryingLogWriter, WriteErrorIsReportedOnceAndWritingResumes)
{
    WriterFixture f;
    f.times.assign(7, kMorning);
    EXPECT_TRUE(f.writer.record(5, kRow, Status::Ok));
    fs::remove_all(f.logDir());
    EXPECT_TRUE(f.writer.record(5, kRow, Status::Ok));
    EXPECT_FALSE(f.writer.anyFailed());
    EXPECT_EQ(f.text(kMorning), kHeader + "\r\n" + f.line(Status::Ok, kMorning)) << "folder made again";

    fs::remove_all(f.logDir());
    std::ofstream(f.logDir()) << "not a folder";
    EXPECT_FALSE(f.writer.append(MeasurementRow(5, kRow, Status::Ok, kMorning)));
    EXPECT_FALSE(f.writer.record(5, kRow, Status::Failed));
    ASSERT_EQ(f.reports.size(), 1u) << "the same cause is told once";
    EXPECT_NE(f.reports[0].find("pomiary"), std::string::npos) << f.reports[0];
    EXPECT_TRUE(f.writer.failing());

    fs::remove(f.logDir());
    f.writer.record(5, kRow, Status::Ok);
    EXPECT_FALSE(f.writer.failing());
    EXPECT_TRUE(f.writer.anyFailed()) << "lines were lost all the same";
    ASSERT_EQ(f.reports.size(), 2u);
    EXPECT_NE(f.reports[1].find("writing again"), std::string::npos) << f.reports[1];
    EXPECT_EQ(f.writer.lastProblem(), f.reports[0]) << "kept for a later look";
    EXPECT_EQ(f.text(kMorning), kHeader + "\r\n" + f.line(Status::Ok, kMorning));

    fs::remove_all(f.logDir());
    std::ofstream(f.logDir()) << "again";
    f.writer.record(5, kRow, Status::Ok);
    EXPECT_EQ(f.reports.size(), 3u) << "a new failure after writing again is told";
}

// Each file's trouble is its own: the files written meanwhile neither repeat
// it nor claim to be writing again.
TEST(DryingLogWriter, OneFileFailingIsToldOnceWhileTheOthersAreWritten)
{
    WriterFixture f;
    f.times.assign(13, kMorning);
    fs::create_directories(f.file(kMorning));
    for (int round = 0; round < 4; ++round)
        for (const int address : {4, 5, 6})
            EXPECT_EQ(f.writer.record(address, kRow, Status::Ok), address != 5);
    ASSERT_EQ(f.reports.size(), 1u) << f.reports.back();
    EXPECT_NE(f.reports[0].find(f.file(kMorning).string()), std::string::npos) << f.reports[0];

    fs::remove(f.file(kMorning));
    EXPECT_TRUE(f.writer.record(5, kRow, Status::Ok));
    ASSERT_EQ(f.reports.size(), 2u);
    EXPECT_EQ(f.reports[1], "drying log: writing again to " + f.file(kMorning).string());
}

} // namespace
