// Parameter set files: the text written, what reads back, and every kind of
// file that must be refused whole.
#include <gtest/gtest.h>

#include <cerrno>
#include <regex>
#include <tuple>

#include <QJsonDocument>
#include <QJsonObject>

#include "controller/conversions.h"
#include "files/json_file.h"
#include "files/json_keys.h"
#include "files/json_writer.h"
#include "files/parameter_set.h"
#include "files/quoted_text.h"

namespace {

using namespace torv;
using Strings = std::vector<std::string>;

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

// The example file's set, in control terms (tenths positions, list indices).
ParameterSet ExampleSet()
{
    ParameterSet s{7, "2026-12-08T10:15:00+01:00",
                   {{108, -5}, {109, 0}, {110, 5}, {111, 0}, {112, 10}, {113, 5}, {114, 12}, {115, 6}, {116, 3}, {117, 6},
                    {118, 20}, {120, 15}, {121, 8}, {122, 1}, {123, 5}, {124, 7}, {106, 45}, {107, 5}, {125, 1}}};
    const int steps[] = {4, 40, 5, 6, 50, 5, 8, 60, 5};
    for (int b = 128; b <= 157; ++b)
        s.values[b] = b - 128 < 9 ? steps[b - 128] : 0;
    return s;
}

// A version 1 file around `members` (each with a leading comma).
std::string File(const std::string& members) { return R"({"format": "torv-lcd-parameters", "version": 1)" + members + "}"; }
std::string PaddedTo(std::string text, std::size_t size) { return text.append(size - text.size(), ' '); }

TEST(ParameterSet, TheExampleFileIsWrittenAndReadExactly)
{
    EXPECT_EQ(ParameterSetJson(ExampleSet()), kExampleJson);
    const auto r = ParseParameterSet(kExampleJson);
    EXPECT_EQ(r.problems, Strings{});
    EXPECT_EQ(r.set, ExampleSet());

    // A file that is not there, the name a set is offered under, the time it is saved at.
    EXPECT_EQ(ReadParameterSetFile("/nonexistent/none.json").problems.at(0).rfind("nie można otworzyć pliku: ", 0), 0u);
    EXPECT_EQ(ParameterSetFileName(7), "komora-007.json");
    const std::string now = ParameterSetTimestamp(); // local time with its offset
    EXPECT_TRUE(std::regex_match(now, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d(Z|[+-]\d\d:\d\d))"))) << now;
}

TEST(ParameterSet, EveryFieldKindRoundTripsAtItsLimitsAndIsRefusedBeyond)
{
    const struct {
        int byte;
        const char *key, *minJson, *maxJson; // as the file shows the ends of the range
    } cases[] = {
        {108, "CalibrationT1", "-10.0", "10.0"},         // byte - 100 in tenths
        {120, "AirHysteresis", "0.1", "5.0"},            // tenths
        {112, "VentOpenTime", "1", "60"},                // whole number
        {117, "HumidifyPause", "\"0:00\"", "\"18:00\""}, // lists, by their item text
        {122, "LcdMode", "\"WYŁĄCZONY\"", "\"NORDA\""},
        {125, "AlarmBuzzer", "false", "true"},
        {157, "difference", "0", "50"},                  // programme, step 10
    };
    // Each set holds one value: the keys it lacks are left out, and read back as absent.
    for (const auto& k : cases) {
        SCOPED_TRACE(k.key);
        const ValueRange range = MapAt(k.byte).range;
        for (const auto& [value, json] : {std::pair{range.min, k.minJson}, std::pair{range.max, k.maxJson}}) {
            const ParameterSet s{0, "", {{k.byte, value}}};
            const std::string text = ParameterSetJson(s);
            EXPECT_NE(text.find("\"" + std::string(k.key) + "\": " + json), std::string::npos) << text;
            const auto r = ParseParameterSet(text);
            EXPECT_EQ(r.problems, Strings{});
            EXPECT_EQ(r.set, s);
        }
        if (k.byte == 125)
            continue; // the switch has no beyond; a list index past its items is written as a number, refused too
        for (const int beyond : {range.min - 1, range.max + 1})
            EXPECT_FALSE(ParseParameterSet(ParameterSetJson({0, "", {{k.byte, beyond}}})).ok()) << beyond;
    }
}

TEST(ParameterSet, HandWrittenFilesAreTakenUpToTheSizeLimit)
{
    // A byte order mark, 0.3 (x 10 is not 3 in binary), exponents, a file of exactly the size limit.
    const auto r = ParseParameterSet(PaddedTo(
        "\xEF\xBB\xBF" + File(R"(, "parameters": {"AirHysteresis": 0.3, "DifferenceHysteresis": 3e-1, "VentOpenTime": 1.2e1,
                                 "CalibrationT1": -3.0, "CalibrationT2": 3, "VentOpenPause": 6e1, "VentCloseTime": 10.0})"),
        parameter_set::kMaxFileBytes));
    EXPECT_EQ(r.problems, Strings{});
    EXPECT_EQ(r.set.values,
              (std::map<int, int>{{108, -30}, {109, 30}, {112, 12}, {113, 60}, {114, 10}, {120, 3}, {121, 3}}));
}

TEST(ParameterSet, BadFilesAreRefusedWholeWithAllTheirProblems)
{
    const struct {
        std::string text;
        Strings problems;
    } cases[] = {
        {"{\n  \"LcdMode\": \"WYŁĄCZONY\" x}", {"błąd składni JSON w wierszu 2, kolumnie 26: oczekiwano przecinka albo \"}\""}},
        {"[1, 2]", {"plik nie zawiera obiektu JSON"}},
        {R"({"format": "chamber-backup", "version": 1, "foo": 1})", // reported alone
         {"nieznany format pliku \"chamber-backup\" (oczekiwano \"torv-lcd-parameters\")"}},
        {R"({"format": "torv-lcd-parameters", "version": 2, "colour": "red"})", {"nieobsługiwana wersja pliku 2 (obsługiwana: 1)"}},
        {File(R"(, "parameters": {"VentOpenTime": "10", "VentOpenPause": 10.5, "AirHysteresis": "1,5", "LcdMode": 1,
                                  "AlarmBuzzer": 1})"),
         {"parameters, \"VentOpenTime\": oczekiwano liczby całkowitej",
          "parameters, \"VentOpenPause\": oczekiwano liczby całkowitej, jest 10.5",
          "parameters, \"AirHysteresis\": oczekiwano liczby",
          "parameters, \"LcdMode\": oczekiwano tekstu pozycji listy: \"WYŁĄCZONY\", \"MIRALUX\", \"NORDA\"",
          "parameters, \"AlarmBuzzer\": oczekiwano true albo false"}},
        {File(R"(, "parameters": [], "programme": {})"),
         {"\"parameters\": oczekiwano obiektu", "\"programme\": oczekiwano tablicy 10 kroków"}},
        {File(R"(, "programme": [{}, {}, {}, {}, {}, {}, {}, {}, {}])"), {"\"programme\": oczekiwano 10 kroków, jest 9"}},
        {PaddedTo(File(""), parameter_set::kMaxFileBytes + 1), {"plik za duży: 65537 bajtów (najwyżej 65536)"}},
        {File(R"(, "extra": true, "saved": "wczoraj", "source": {"address": 300, "port": 1},
              "parameters": {"SlaveAddress": 9, "StepHours1": 5, "CalibrationT3": -10.1, "VentOpenTime": 0,
                             "HumidifyPause": "1:05", "AirHysteresis": 1.55, "SetTemperature": 45},
              "programme": [{"hours": 100}, 4, {}, {"temperature": -1, "x": 1}, {}, {}, {}, {}, {}, {"hours": 5}])"),
         {"\"extra\": nieznany klucz",
          "\"saved\": oczekiwano daty i czasu, np. \"2026-12-08T10:15:00+01:00\"",
          "source, \"port\": nieznany klucz",
          "source, \"address\": oczekiwano adresu 1..250",
          "parameters, \"SlaveAddress\": nieznany klucz", // the identity never travels
          "parameters, \"StepHours1\": nieznany klucz",
          "parameters, \"CalibrationT3\": wartość -10.1 poza zakresem -10.0..10.0",
          "parameters, \"VentOpenTime\": wartość 0 poza zakresem 1..60",
          "parameters, \"HumidifyPause\": nieznana pozycja listy \"1:05\", dozwolone: \"0:00\" … \"18:00\"",
          "parameters, \"AirHysteresis\": wartość 1.55 ma więcej niż jedno miejsce po przecinku",
          "programme, krok 1, \"hours\": wartość 100 poza zakresem 0..99",
          "programme, krok 2: oczekiwano obiektu",
          "programme, krok 4, \"x\": nieznany klucz",
          "programme, krok 4, \"temperature\": wartość -1 poza zakresem 0..99"}},
        // A repeated key: readers differ on which one counts, so none does. The header's is told alone.
        {R"({"format": "chamber-backup", "format": "torv-lcd-parameters", "version": 1, "parameters": {}})",
         {"\"format\": powtórzony klucz"}},
        {File(R"(, "parameters": {"SetTemperature": 99, "SetTemperature": 10}, "source": {"address": 1, "address": 2},
              "programme": [{}, {}, {"hours": 1, "ho\u0075rs": 2}, {}, {}, {}, {}, {}, {}, {}], "parameters": {})"),
         {"\"parameters\": powtórzony klucz", "source, \"address\": powtórzony klucz",
          "parameters, \"SetTemperature\": powtórzony klucz", "programme, krok 3, \"hours\": powtórzony klucz"}},
        // Decimals as written, not as the nearest double; a whole number as written too.
        {File(R"(, "parameters": {"AirHysteresis": 0.30000001, "DifferenceHysteresis": 0.30, "CalibrationT1": 3.0e-1,
                                  "VentOpenTime": 12.0000000000000001},
              "programme": [{}, {"hours": 4.0000000000000001, "temperature": 4.0e0}, {}, {}, {}, {}, {}, {}, {}, {}])"),
         {"parameters, \"CalibrationT1\": wartość 3.0e-1 ma więcej niż jedno miejsce po przecinku",
          "parameters, \"VentOpenTime\": oczekiwano liczby całkowitej, jest 12.0000000000000001",
          "parameters, \"AirHysteresis\": wartość 0.30000001 ma więcej niż jedno miejsce po przecinku",
          "parameters, \"DifferenceHysteresis\": wartość 0.30 ma więcej niż jedno miejsce po przecinku",
          "programme, krok 2, \"hours\": oczekiwano liczby całkowitej, jest 4.0000000000000001"}},
        // Control characters of the file never reach a terminal or a box raw, and a NUL does not end the line.
        {R"({"format": "x\u001b]0;\u0007\r\n", "version": 1})",
         {R"(nieznany format pliku "x\u001b]0;\u0007\u000d\u000a" (oczekiwano "torv-lcd-parameters"))"}},
        {File(R"(, "\u001b[2J": 1, "parameters": {"Set\u0000Temperature": 1, "a\\b\"\u007f": 0, "LcdMode": "\u0085\u009f\u00a0"})"),
         {R"("\u001b[2J": nieznany klucz)", R"(parameters, "Set\u0000Temperature": nieznany klucz)",
          R"(parameters, "a\\b\"\u007f": nieznany klucz)",
          R"(parameters, "LcdMode": nieznana pozycja listy "\u0085\u009f)" "\u00a0" R"(", dozwolone: "WYŁĄCZONY", "MIRALUX", "NORDA")"}},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.text.substr(0, 100));
        const auto r = ParseParameterSet(k.text);
        EXPECT_EQ(r.problems, k.problems);
        EXPECT_EQ(r.set, ParameterSet{}) << "nothing of a refused file is taken, not even its valid values";
    }
}

TEST(JsonMembers, NamesWithEscapesUndoneNumbersAsWrittenAndWhereEachObjectIs)
{
    const JsonMembers scan =
        ScanJsonMembers(" {\"a\": [1, {\"b\": -0.30e+1, \"\\u0062\": \"x\\\"}\", \"c\": .5}], \"\\ud83d\\ude00\": {}, \"d\": 1.}\r\n");
    ASSERT_TRUE(scan.ok);
    const JsonPath inArray{{"a"}, {{}, 1, true}};
    const auto member = [](const JsonMember& m) { return std::tuple(m.object, m.name, m.number, m.repeated); };
    std::vector<decltype(member(scan.members[0]))> members;
    for (const JsonMember& m : scan.members)
        members.push_back(member(m));
    EXPECT_EQ(members, (decltype(members){{{}, "a", "", false},
                                          {inArray, "b", "-0.30e+1", false},
                                          {inArray, "b", "", true},
                                          {inArray, "c", ".5", false},
                                          {{}, "\xf0\x9f\x98\x80", "", false},
                                          {{}, "d", "1.", false}}));
    for (const std::string_view bad : {R"({"a": 1, "a"})", R"({"a": 1} x)", R"(["\u12"])", R"({"a": 1,})", "[1e]", "[\"a"})
        EXPECT_FALSE(ScanJsonMembers(bad).ok) << bad;
}

TEST(QuotedText, ControlCharactersAndBytesOutsideUtf8AreEscaped)
{
    using namespace std::string_literals;
    EXPECT_EQ(QuotedText("\x1b\0\x7f\xc2\x80\xc2\x9f\xc2\xa0ż\"\\"s), R"("\u001b\u0000\u007f\u0080\u009f)" "\u00a0ż" R"(\"\\")");
    // Cut or overlong sequences, surrogates and code points past U+10FFFF byte by byte; quotes kept outside quotes.
    EXPECT_EQ(EscapedText("\xff\xc2 \xc0\xaf \xed\xa0\x80 \xf4\x90\x80\x80 \"\xf0\x9f\x98\x80\""),
              R"(\xff\xc2 \xc0\xaf \xed\xa0\x80 \xf4\x90\x80\x80 ")" "\xf0\x9f\x98\x80\"");
}

// Names and texts reach the files and torv-cli's reports through one writer:
// whatever they hold, the document stays valid and reads back the same.
TEST(JsonWriter, StringsAreEscapedAndReadBackUnchanged)
{
    using namespace std::string_literals;
    const std::string text = "say \"hi\" C:\\dir\ttab\0nul\x1f ż"s;
    JsonWriter json;
    json.beginObject().key(text).string(text).key("n").beginArray(JsonWriter::Layout::Tight);
    json.fixed(-5, 1).fixed(7, 2).number("-12.50").number("1.").endArray().endObject();
    const std::string escaped = R"("say \"hi\" C:\\dir\u0009tab\u0000nul\u001f ż")";
    EXPECT_EQ(json.str(), "{\n  " + escaped + ": " + escaped + R"(,
  "n": [-0.5, 0.07, -12.50, "1."]
})");

    QJsonParseError error{};
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(json.str()), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << json.str();
    const QString q = QString::fromStdString(text);
    ASSERT_TRUE(o.contains(q));
    EXPECT_EQ(o.value(q).toString(), q);
}

// A capped read of a JSON file (a parameter set, the chamber list) is parsed
// only with its bytes whole; otherwise its one problem says why not.
TEST(JsonFileReadProblem, TheBytesOrOneProblem)
{
    using files::FileKind;
    using files::Refusal;
    struct Case {
        files::Contents file;
        std::optional<std::string> problem;
    };
    const Case cases[] = {
        {{"{}", 2, FileKind::Regular, Refusal::None, 0}, std::nullopt},
        {{"", 70000, FileKind::Regular, Refusal::TooLarge, 0}, "plik za duży: 70000 bajtów (najwyżej 65536)"},
        {{"", 0, FileKind::Fifo, Refusal::NotRegular, 0}, files::RefusalText(Refusal::NotRegular, FileKind::Fifo, 0)},
        {{"", 0, FileKind::None, Refusal::Unreadable, EACCES},
         files::RefusalText(Refusal::Unreadable, FileKind::None, EACCES)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(JsonFileReadProblem(c.file, 64 * 1024), c.problem) << c.file.size;
}

TEST(ParameterSet, AnImageRowGivesOnlyValuesTheWindowCanShow)
{
    ImageRow row{};
    const auto put = [&](int byte, int v) { row[static_cast<std::size_t>(byte - kFirstByte)] = static_cast<std::uint8_t>(v); };
    for (const int byte : ParameterSetBytes())
        put(byte, 1);
    put(108, 0); // -10.0
    put(125, 7); // any non-zero byte ticks the switch
    const auto r = ParameterSetFromRow(row);
    EXPECT_EQ(r.problems, Strings{});
    EXPECT_EQ(r.set.values.size(), kParameterSetBytes) << "never the identity bytes";
    EXPECT_EQ(std::pair(r.set.values.at(108), r.set.values.at(125)), std::pair(-100, 1));

    for (const auto& [byte, v] : std::map<int, int>{{110, 201}, {117, 109}, {120, 200}, {157, 51}})
        put(byte, v);
    const auto bad = ParameterSetFromRow(row);
    EXPECT_EQ(bad.problems, (Strings{"parameters, \"CalibrationT3\": wartość 10.1 poza zakresem -10.0..10.0",
                                     "parameters, \"HumidifyPause\": bajt 109 nie odpowiada żadnej pozycji listy",
                                     "parameters, \"AirHysteresis\": wartość 20.0 poza zakresem 0.1..5.0",
                                     "programme, krok 10, \"difference\": wartość 51 poza zakresem 0..50"}));
    EXPECT_EQ(bad.set, ParameterSet{});
}

} // namespace
