// Parameter set files: the text written, what reads back, and every kind of
// file that must be refused whole.
#include <gtest/gtest.h>

#include <cstdlib>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "controller/conversions.h"
#include "controller/parameter_set.h"

namespace {

using torv::ParameterSet;
using torv::ParseParameterSet;
using Strings = std::vector<std::string>;

// The set of the example file: every parameter and a programme of ten steps.
ParameterSet ExampleSet()
{
    ParameterSet s;
    s.sourceAddress = 7;
    s.saved = "2026-12-08T10:15:00+01:00";
    s.values = {{108, -5}, {109, 0}, {110, 5}, {111, 0}, {112, 10}, {113, 5}, {114, 12}, {115, 6},
                {116, 3},  {117, 6}, {118, 20}, {120, 15}, {121, 8}, {122, 1}, {123, 5}, {124, 7},
                {106, 45}, {107, 5}, {125, 1}};
    for (int step = 0; step < 10; ++step) {
        s.values[128 + 3 * step] = step < 3 ? 4 + 2 * step : 0;
        s.values[129 + 3 * step] = step < 3 ? 40 + 10 * step : 0;
        s.values[130 + 3 * step] = step < 3 ? 5 : 0;
    }
    return s;
}

const char* const kExampleJson = R"({
  "format": "torv-lcd-parameters",
  "version": 1,
  "saved": "2026-12-08T10:15:00+01:00",
  "source": { "address": 7 },
  "parameters": {
    "CalibrationT1": -0.5,
    "CalibrationT2": 0.0,
    "CalibrationT3": 0.5,
    "CalibrationT4": 0.0,
    "VentOpenTime": 10,
    "VentOpenPause": 5,
    "VentCloseTime": 12,
    "VentClosePause": 6,
    "HumidifyTime": 3,
    "HumidifyPause": "1:00",
    "HumidifyAlarmThreshold": 2.0,
    "AirHysteresis": 1.5,
    "DifferenceHysteresis": 0.8,
    "LcdMode": "MIRALUX",
    "LcdInfoTime1": 5,
    "LcdInfoTime2": 7,
    "SetTemperature": 45,
    "SetDifference": 5,
    "AlarmBuzzer": true
  },
  "programme": [
    { "hours": 4, "temperature": 40, "difference": 5 },
    { "hours": 6, "temperature": 50, "difference": 5 },
    { "hours": 8, "temperature": 60, "difference": 5 },
    { "hours": 0, "temperature": 0, "difference": 0 },
    { "hours": 0, "temperature": 0, "difference": 0 },
    { "hours": 0, "temperature": 0, "difference": 0 },
    { "hours": 0, "temperature": 0, "difference": 0 },
    { "hours": 0, "temperature": 0, "difference": 0 },
    { "hours": 0, "temperature": 0, "difference": 0 },
    { "hours": 0, "temperature": 0, "difference": 0 }
  ]
}
)";

// A version 1 file around the given members (each with a leading comma).
std::string File(const std::string& members)
{
    return R"({"format": "torv-lcd-parameters", "version": 1)" + members + "}";
}

std::string TenSteps(const std::string& step)
{
    std::string steps;
    for (int i = 0; i < 10; ++i)
        steps += (i ? ", " : "") + step;
    return "[" + steps + "]";
}

// ---- the text written and read -----------------------------------------------

TEST(ParameterSet, WritesTheExampleFileExactly)
{
    EXPECT_EQ(torv::ParameterSetJson(ExampleSet()), kExampleJson);
}

TEST(ParameterSet, ReadsTheExampleFileIntoControlTerms)
{
    const auto r = ParseParameterSet(kExampleJson);
    EXPECT_EQ(r.problems, Strings{});
    EXPECT_EQ(r.set, ExampleSet());
    // Laid out by hand another way: one line, other spacing, keys in another order.
    std::string oneLine = kExampleJson;
    std::erase(oneLine, '\n');
    const auto again = ParseParameterSet(R"({"version":1,"format":"torv-lcd-parameters",)" + oneLine.substr(1));
    EXPECT_EQ(again.problems, Strings{});
    EXPECT_EQ(again.set, ExampleSet());
}

TEST(ParameterSet, EveryFieldRoundTripsAtBothEndsOfItsRange)
{
    struct Case {
        int byte;
        int min, max;
        const char *minJson, *maxJson; // as the file shows them
    };
    const Case cases[] = {
        {108, -100, 100, "-10.0", "10.0"},      // calibration: byte - 100 in tenths
        {111, -100, 100, "-10.0", "10.0"},
        {118, 0, 100, "0.0", "10.0"},           // threshold, tenths
        {120, 1, 50, "0.1", "5.0"},             // hysteresis, tenths
        {121, 1, 50, "0.1", "5.0"},
        {112, 1, 60, "1", "60"},                // whole numbers
        {116, 1, 60, "1", "60"},
        {123, 1, 30, "1", "30"},
        {106, 0, 99, "0", "99"},
        {107, 0, 50, "0", "50"},
        {117, 0, 108, "\"0:00\"", "\"18:00\""}, // lists by their item text
        {122, 0, 2, "\"WYŁĄCZONY\"", "\"NORDA\""},
        {125, 0, 1, "false", "true"},           // the alarm switch
        {128, 0, 99, "0", "99"},                // programme: hours, temperature, difference
        {156, 0, 99, "0", "99"},
        {157, 0, 50, "0", "50"},
    };
    for (const Case& k : cases) {
        const torv::MapEntry& e = torv::MapAt(k.byte);
        SCOPED_TRACE(std::string(e.name));
        EXPECT_EQ(e.range.min, k.min);
        EXPECT_EQ(e.range.max, k.max);
        for (const auto& [value, json] : {std::pair{k.min, k.minJson}, std::pair{k.max, k.maxJson}}) {
            ParameterSet s;
            s.values[k.byte] = value;
            const std::string text = torv::ParameterSetJson(s);
            static const char* const stepKeys[] = {"hours", "temperature", "difference"};
            const std::string key = "\"" + (k.byte >= 128 ? stepKeys[(k.byte - 128) % 3] : std::string(e.name)) + "\": ";
            EXPECT_NE(text.find(key + json), std::string::npos) << text;
            const auto r = ParseParameterSet(text);
            EXPECT_EQ(r.problems, Strings{});
            EXPECT_EQ(r.set, s);
        }
    }
}

TEST(ParameterSet, AbsentKeysLeaveTheirFieldsOut)
{
    // Only the programme; only two parameters; nothing at all.
    const auto programme = ParseParameterSet(File(R"(, "programme": )" + TenSteps(R"({"hours": 2, "temperature": 30, "difference": 4})")));
    EXPECT_EQ(programme.problems, Strings{});
    ASSERT_EQ(programme.set.values.size(), 30u);
    EXPECT_EQ(programme.set.values.begin()->first, 128);
    EXPECT_EQ(programme.set.values.rbegin()->first, 157);
    EXPECT_EQ(programme.set.values.at(155), 2);
    EXPECT_EQ(programme.set.sourceAddress, 0);

    const auto two = ParseParameterSet(File(R"(, "parameters": {"LcdInfoTime2": 9, "AirHysteresis": 2.5})"));
    EXPECT_EQ(two.problems, Strings{});
    EXPECT_EQ(two.set.values, (std::map<int, int>{{120, 25}, {124, 9}}));
    EXPECT_EQ(torv::ParameterSetChanges(two.set, ","),
              (torv::ControlChanges{torv::SetValue("UpDown7", torv::Property::SpinnerPosition, 25),
                                    torv::SetText("Edit7", "2,5"),
                                    torv::SetValue("UpDown15", torv::Property::SpinnerPosition, 9),
                                    torv::SetText("Edit15", "9")}));

    const auto bare = ParseParameterSet(File(""));
    EXPECT_EQ(bare.problems, Strings{});
    EXPECT_TRUE(bare.set.values.empty());
    EXPECT_EQ(torv::ParameterSetJson(bare.set), "{\n  \"format\": \"torv-lcd-parameters\",\n  \"version\": 1\n}\n");
}

TEST(ParameterSet, ByteOrderMarkAndDecimalNoiseAreAccepted)
{
    const auto r = ParseParameterSet("\xEF\xBB\xBF" + File(R"(, "parameters": {"AirHysteresis": 0.3, "DifferenceHysteresis": 3e-1, "VentOpenTime": 1.2e1})"));
    EXPECT_EQ(r.problems, Strings{});
    EXPECT_EQ(r.set.values, (std::map<int, int>{{112, 12}, {120, 3}, {121, 3}}));
}

// ---- files refused whole ---------------------------------------------------------

TEST(ParameterSet, BadFilesAreRefusedWithTheirProblem)
{
    struct Case {
        const char* name;
        std::string text;
        Strings problems;
    };
    Strings tenDifferences;
    for (int step = 1; step <= 10; ++step)
        tenDifferences.push_back("programme, krok " + std::to_string(step) +
                                 ", \"difference\": wartość 51 poza zakresem 0..50");
    const Case cases[] = {
        {"syntax", "{\n  \"format\": \"torv-lcd-parameters\",\n  \"version\": 1\n  \"parameters\": {}\n}",
         {"błąd składni JSON w wierszu 4, kolumnie 3: oczekiwano przecinka albo \"}\""}},
        {"syntax after a Polish text", "{\"LcdMode\": \"WYŁĄCZONY\" x}",
         {"błąd składni JSON w wierszu 1, kolumnie 25: oczekiwano przecinka albo \"}\""}},
        {"cut short", "{\"format\": \"torv-lcd-param",
         {"błąd składni JSON w wierszu 1, kolumnie 27: niezamknięty tekst (brak cudzysłowu)"}},
        {"a comma too many", "{\"format\": \"torv-lcd-parameters\",\r\n \"version\": 1,}",
         {"błąd składni JSON w wierszu 2, kolumnie 15: oczekiwano nazwy klucza w cudzysłowie"}},
        {"empty", "", {"błąd składni JSON w wierszu 1, kolumnie 1: niedozwolona wartość"}},
        {"not an object", "[1, 2]", {"plik nie zawiera obiektu JSON"}},
        {"no format", R"({"version": 1, "parameters": {}})", {"brak klucza \"format\": to nie jest plik parametrów"}},
        {"foreign format", R"({"format": "chamber-backup", "version": 1, "foo": 1})",
         {"nieznany format pliku \"chamber-backup\" (oczekiwano \"torv-lcd-parameters\")"}},
        {"format not a text", R"({"format": 1, "version": 1})",
         {"nieznany format pliku (oczekiwano \"torv-lcd-parameters\")"}},
        {"no version", R"({"format": "torv-lcd-parameters"})", {"brak klucza \"version\""}},
        {"newer version", R"({"format": "torv-lcd-parameters", "version": 2, "colour": "red"})",
         {"nieobsługiwana wersja pliku 2 (obsługiwana: 1)"}},
        {"version as a text", R"({"format": "torv-lcd-parameters", "version": "1"})",
         {"nieobsługiwana wersja pliku (obsługiwana: 1)"}},
        {"unknown top-level key", File(R"(, "comment": "x")"), {"\"comment\": nieznany klucz"}},
        {"unknown parameter", File(R"(, "parameters": {"VentOpenTme": 5})"),
         {"parameters, \"VentOpenTme\": nieznany klucz"}},
        {"the address never travels", File(R"(, "parameters": {"SlaveAddress": 9, "BaudCode": 1})"),
         {"parameters, \"BaudCode\": nieznany klucz", "parameters, \"SlaveAddress\": nieznany klucz"}},
        {"a programme byte among the parameters", File(R"(, "parameters": {"StepHours1": 5})"),
         {"parameters, \"StepHours1\": nieznany klucz"}},
        {"unknown step key", File(R"(, "programme": )" + TenSteps(R"({"hours": 1})").replace(1, 12, R"({"hour": 1})")),
         {"programme, krok 1, \"hour\": nieznany klucz"}},
        {"unknown source key", File(R"(, "source": {"address": 7, "port": 1})"), {"source, \"port\": nieznany klucz"}},
        {"whole number as a text", File(R"(, "parameters": {"VentOpenTime": "10"})"),
         {"parameters, \"VentOpenTime\": oczekiwano liczby całkowitej"}},
        {"whole number with a fraction", File(R"(, "parameters": {"VentOpenTime": 10.5})"),
         {"parameters, \"VentOpenTime\": oczekiwano liczby całkowitej, jest 10.5"}},
        {"tenths as a text", File(R"(, "parameters": {"AirHysteresis": "1,5"})"),
         {"parameters, \"AirHysteresis\": oczekiwano liczby"}},
        {"list as its index", File(R"(, "parameters": {"LcdMode": 1})"),
         {"parameters, \"LcdMode\": oczekiwano tekstu pozycji listy: \"WYŁĄCZONY\", \"MIRALUX\", \"NORDA\""}},
        {"unknown list item", File(R"(, "parameters": {"HumidifyPause": "1:05"})"),
         {"parameters, \"HumidifyPause\": nieznana pozycja listy \"1:05\", dozwolone: \"0:00\" … \"18:00\""}},
        {"switch as a number", File(R"(, "parameters": {"AlarmBuzzer": 1})"),
         {"parameters, \"AlarmBuzzer\": oczekiwano true albo false"}},
        {"parameters as a list", File(R"(, "parameters": [])"), {"\"parameters\": oczekiwano obiektu"}},
        {"above the range", File(R"(, "parameters": {"VentOpenTime": 61})"),
         {"parameters, \"VentOpenTime\": wartość 61 poza zakresem 1..60"}},
        {"below the range", File(R"(, "parameters": {"AirHysteresis": 0.0})"),
         {"parameters, \"AirHysteresis\": wartość 0 poza zakresem 0.1..5.0"}},
        {"calibration beyond -10", File(R"(, "parameters": {"CalibrationT3": -10.1})"),
         {"parameters, \"CalibrationT3\": wartość -10.1 poza zakresem -10.0..10.0"}},
        {"programme difference", File(R"(, "programme": )" + TenSteps(R"({"difference": 51})")), tenDifferences},
        {"two decimals", File(R"(, "parameters": {"CalibrationT1": 0.25})"),
         {"parameters, \"CalibrationT1\": wartość 0.25 ma więcej niż jedno miejsce po przecinku"}},
        {"nine steps", File(R"(, "programme": [{}, {}, {}, {}, {}, {}, {}, {}, {}])"),
         {"\"programme\": oczekiwano 10 kroków, jest 9"}},
        {"eleven steps", File(R"(, "programme": [{}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}])"),
         {"\"programme\": oczekiwano 10 kroków, jest 11"}},
        {"programme as an object", File(R"(, "programme": {})"), {"\"programme\": oczekiwano tablicy 10 kroków"}},
        {"a step as a number", File(R"(, "programme": )" + TenSteps("{}").replace(1, 2, "4")),
         {"programme, krok 1: oczekiwano obiektu"}},
        {"source address 0", File(R"(, "source": {"address": 0})"), {"source, \"address\": oczekiwano adresu 1..250"}},
        {"saved not a date", File(R"(, "saved": "wczoraj")"),
         {"\"saved\": oczekiwano daty i czasu, np. \"2026-12-08T10:15:00+01:00\""}},
        {"oversize", File(", \"parameters\": {}" + std::string(65536, ' ')), {"plik za duży: 65601 bajtów (najwyżej 65536)"}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        const auto r = ParseParameterSet(k.text);
        EXPECT_EQ(r.problems, k.problems);
        EXPECT_FALSE(r.ok());
        EXPECT_EQ(r.set, ParameterSet{}) << "nothing of a refused file is taken";
    }
}

TEST(ParameterSet, SizeLimitIsExact)
{
    const std::string file = File(R"(, "parameters": {"VentOpenTime": 7})");
    const std::string atLimit = file + std::string(torv::parameter_set::kMaxFileBytes - file.size(), ' ');
    EXPECT_EQ(ParseParameterSet(atLimit).problems, Strings{});
    EXPECT_EQ(ParseParameterSet(atLimit + " ").problems, Strings{"plik za duży: 65537 bajtów (najwyżej 65536)"});
}

TEST(ParameterSet, EveryProblemIsListedTogether)
{
    const auto r = ParseParameterSet(File(R"(, "extra": true, "source": {"address": 300},
        "parameters": {"VentOpenTime": 0, "LcdMode": "AUTO", "AirHysteresis": 1.55, "Unknown": 1, "SetTemperature": 45},
        "programme": [{"hours": 100}, {}, {}, {"temperature": -1, "x": 1}, {}, {}, {}, {}, {}, {"hours": 5}])"));
    EXPECT_EQ(r.problems, (Strings{
                              "\"extra\": nieznany klucz",
                              "source, \"address\": oczekiwano adresu 1..250",
                              "parameters, \"Unknown\": nieznany klucz",
                              "parameters, \"VentOpenTime\": wartość 0 poza zakresem 1..60",
                              "parameters, \"AirHysteresis\": wartość 1.55 ma więcej niż jedno miejsce po przecinku",
                              "parameters, \"LcdMode\": nieznana pozycja listy \"AUTO\", dozwolone: \"WYŁĄCZONY\", \"MIRALUX\", \"NORDA\"",
                              "programme, krok 1, \"hours\": wartość 100 poza zakresem 0..99",
                              "programme, krok 4, \"x\": nieznany klucz",
                              "programme, krok 4, \"temperature\": wartość -1 poza zakresem 0..99",
                          }));
    EXPECT_EQ(r.set, ParameterSet{}) << "the valid values are not taken either";
}

// ---- from the controller's image, into the window ----------------------------------

TEST(ParameterSet, FromAnImageRowOnlyValuesTheWindowCanShow)
{
    torv::ImageRow row{};
    for (int byte : torv::ParameterSetBytes())
        row[static_cast<std::size_t>(byte - torv::kFirstByte)] = 1;
    const auto set = [&](int byte, int v) { row[static_cast<std::size_t>(byte - torv::kFirstByte)] = static_cast<std::uint8_t>(v); };
    set(97, 0); // identity bytes are never taken, whatever they hold
    set(108, 0);   // -10.0
    set(109, 200); // 10.0
    set(117, 108); // "18:00"
    set(125, 7);   // any non-zero byte ticks the switch
    set(157, 50);
    const auto r = torv::ParameterSetFromRow(row);
    EXPECT_EQ(r.problems, Strings{});
    EXPECT_EQ(r.set.values.size(), torv::kParameterSetBytes);
    EXPECT_EQ(r.set.values.at(108), -100);
    EXPECT_EQ(r.set.values.at(109), 100);
    EXPECT_EQ(r.set.values.at(110), -99);
    EXPECT_EQ(r.set.values.at(117), 108);
    EXPECT_EQ(r.set.values.at(125), 1);
    EXPECT_EQ(r.set.values.at(157), 50);
    EXPECT_EQ(r.set.values.count(97), 0u);

    set(110, 201);  // calibration 10.1
    set(117, 109);  // no pause item
    set(120, 200);  // hysteresis 20.0, shown held at 5.0
    set(122, 3);    // no LCD mode
    set(106, 123);  // shown as "1,2E2"
    set(157, 51);
    set(112, 0);    // vent time 0
    const auto bad = torv::ParameterSetFromRow(row);
    EXPECT_EQ(bad.problems, (Strings{
                                "parameters, \"CalibrationT3\": wartość 10.1 poza zakresem -10.0..10.0",
                                "parameters, \"VentOpenTime\": wartość 0 poza zakresem 1..60",
                                "parameters, \"HumidifyPause\": bajt 109 nie odpowiada żadnej pozycji listy",
                                "parameters, \"AirHysteresis\": wartość 20.0 poza zakresem 0.1..5.0",
                                "parameters, \"LcdMode\": bajt 3 nie odpowiada żadnej pozycji listy",
                                "parameters, \"SetTemperature\": wartość 123 poza zakresem 0..99",
                                "programme, krok 10, \"difference\": wartość 51 poza zakresem 0..50",
                            }));
    EXPECT_EQ(bad.set, ParameterSet{});
}

TEST(ParameterSet, ControlTermsAndStoredBytes)
{
    struct Case {
        int byte;
        std::uint8_t stored;
        int value;
    };
    for (const Case& k : {Case{108, 95, -5}, Case{108, 0, -100}, Case{118, 20, 20}, Case{117, 6, 6},
                          Case{125, 1, 1}, Case{112, 60, 60}, Case{157, 0, 0}}) {
        const torv::MapEntry& e = torv::MapAt(k.byte);
        EXPECT_EQ(torv::ControlValue(e, k.stored), k.value) << e.name;
        EXPECT_EQ(torv::StoredByteOfControlValue(e, k.value), k.stored) << e.name;
    }
}

TEST(ParameterSet, ChangesMoveSpinnersBeforeTextsAndTheSwitchLast)
{
    const torv::ControlChanges changes = torv::ParameterSetChanges(ExampleSet(), ",");
    using torv::Property;
    // Spinner, then field, for each field; a list's selection; the switch closes the list.
    ASSERT_EQ(changes.size(), 2u * 16 + 2 + 1 + 30 * 2);
    EXPECT_EQ(changes[0], torv::SetValue("UpDown2", Property::SpinnerPosition, -5));
    EXPECT_EQ(changes[1], torv::SetText("Edit2", "-0,5"));
    EXPECT_EQ(changes[2], torv::SetValue("UpDown6", Property::SpinnerPosition, 0));
    EXPECT_EQ(changes[3], torv::SetText("Edit6", "0,0"));
    EXPECT_EQ(changes[8], torv::SetValue("UpDown5", Property::SpinnerPosition, 10));
    EXPECT_EQ(changes[9], torv::SetText("Edit5", "10"));
    EXPECT_EQ(changes[18], torv::SetValue("ComboBox5", Property::ListIndex, 6));
    EXPECT_EQ(changes[19], torv::SetValue("UpDown4", Property::SpinnerPosition, 20));
    EXPECT_EQ(changes[20], torv::SetText("Edit4", "2,0"));
    EXPECT_EQ(changes[25], torv::SetValue("ComboBox4", Property::ListIndex, 1));
    EXPECT_EQ(changes[30], torv::SetValue("UpDown16", Property::SpinnerPosition, 45));
    EXPECT_EQ(changes[31], torv::SetText("Edit16", "45"));
    EXPECT_EQ(changes[34], torv::SetValue("UpDown18", Property::SpinnerPosition, 4));
    EXPECT_EQ(changes[35], torv::SetText("Edit18", "4"));
    EXPECT_EQ(changes[changes.size() - 2], torv::SetText("Edit47", "0"));
    EXPECT_EQ(changes.back(), torv::SetValue("CheckBox1", Property::Checked, 1));
    // Every field change is its spinner's, then the field that spinner belongs to.
    for (std::size_t i = 0; i + 1 < changes.size(); ++i)
        if (changes[i].property == Property::SpinnerPosition) {
            const torv::MapEntry* e = torv::MapByControl(changes[i + 1].control);
            ASSERT_NE(e, nullptr);
            EXPECT_EQ(e->spinner, changes[i].control);
        }
    EXPECT_TRUE(torv::ParameterSetChanges(ParameterSet{}, ",").empty());
}

// ---- files ------------------------------------------------------------------------

TEST(ParameterSet, FilesAreWrittenWholeAndReadBack)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = dir.filePath("komora-007.json").toStdString();
    std::string error;
    ASSERT_TRUE(torv::WriteParameterSetFile(path, ExampleSet(), error)) << error;
    QFile written(QString::fromStdString(path));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll().toStdString(), kExampleJson);
    auto r = torv::ReadParameterSetFile(path);
    EXPECT_EQ(r.problems, Strings{});
    EXPECT_EQ(r.set, ExampleSet());

    // A second save replaces the first and leaves no temporary file behind.
    ParameterSet programme;
    programme.values[128] = 9;
    ASSERT_TRUE(torv::WriteParameterSetFile(path, programme, error)) << error;
    EXPECT_EQ(torv::ReadParameterSetFile(path).set, programme);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"komora-007.json"});

    // Where nothing can be written the earlier file stays as it was.
    const std::string nowhere = dir.filePath("missing/komora-007.json").toStdString();
    error.clear();
    EXPECT_FALSE(torv::WriteParameterSetFile(nowhere, ExampleSet(), error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(QFile::exists(QString::fromStdString(nowhere)));

    r = torv::ReadParameterSetFile(dir.filePath("none.json").toStdString());
    ASSERT_EQ(r.problems.size(), 1u);
    EXPECT_EQ(r.problems[0].rfind("nie można otworzyć pliku: ", 0), 0u) << r.problems[0];

    QFile big(dir.filePath("big.json"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    big.write(QByteArray(70000, ' '));
    big.close();
    EXPECT_EQ(torv::ReadParameterSetFile(big.fileName().toStdString()).problems,
              Strings{"plik za duży: 70000 bajtów (najwyżej 65536)"});
}

TEST(ParameterSet, NamesAndTimestamps)
{
    EXPECT_EQ(torv::ParameterSetFileName(7), "komora-007.json");
    EXPECT_EQ(torv::ParameterSetFileName(250), "komora-250.json");
    const std::string now = torv::ParameterSetTimestamp();
    const QDateTime when = QDateTime::fromString(QString::fromStdString(now), Qt::ISODate);
    ASSERT_TRUE(when.isValid()) << now;
    EXPECT_LE(std::llabs(when.secsTo(QDateTime::currentDateTime())), 5) << now;
    EXPECT_TRUE(now.size() == 20 ? now.back() == 'Z' : now.size() == 25) << "with its offset: " << now;
    ParameterSet s;
    s.saved = now;
    EXPECT_EQ(ParseParameterSet(torv::ParameterSetJson(s)).set, s);
}

} // namespace
