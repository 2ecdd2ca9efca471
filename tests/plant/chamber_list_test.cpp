// The chamber list file: the text written, what reads back, every kind of
// file refused whole, and files that are not there or not files.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <utility>

#include "plant/chamber_list.h"
#include "support/child_process.h"

namespace {

using namespace torv::plant;
using Strings = std::vector<std::string>;

const char* const kExampleJson = R"({
  "format": "torv-lcd-chambers",
  "version": 1,
  "roundSeconds": 60,
  "alarms": {
    "noCommunicationScans": 3,
    "deviationCelsius": 5.0,
    "deviationMinutes": 30,
    "sensorLowCelsius": -40.0,
    "sensorHighCelsius": 150.0,
    "wetAboveDryCelsius": 2.0,
    "wetAboveDryScans": 3
  },
  "chambers": [
    { "address": 3, "name": "Komora 3 – dąb" },
    { "address": 7, "name": "Komora 7" }
  ]
}
)";

const ChamberList kExample{60, {}, {{3, "Komora 3 – dąb"}, {7, "Komora 7"}}};

// Every optional key away from its default: only those keys are written.
const char* const kHighPlantJson = R"({
  "format": "torv-lcd-chambers",
  "version": 1,
  "plant": { "name": "Tartak Dąbrowa sp. z o.o.", "address": "ul. Leśna 7, 26-600 Radom" },
  "roundSeconds": 60,
  "airPressureHPa": 912.05,
  "alarms": {
    "noCommunicationScans": 3,
    "deviationCelsius": 5.0,
    "deviationMinutes": 30,
    "sensorLowCelsius": -40.0,
    "sensorHighCelsius": 150.0,
    "wetAboveDryCelsius": 2.0,
    "wetAboveDryScans": 3
  },
  "heatTreatment": { "minCelsius": 60.5, "minutes": 45 },
  "chambers": [
    { "address": 3, "name": "Komora 3", "psychrometer": "unventilated" },
    { "address": 4, "name": "Komora 4", "coreProbes": ["TempControl2"] },
    { "address": 5, "name": "Komora 5", "psychrometer": "unventilated", "coreProbes": ["TempControl1"] }
  ]
}
)";

const ChamberList kHighPlant{60,
                             {},
                             {{3, "Komora 3", Psychrometer::Unventilated, {}},
                              {4, "Komora 4", Psychrometer::Ventilated, {false, true}},
                              {5, "Komora 5", Psychrometer::Unventilated, {true, false}}},
                             91205,
                             {605, 45},
                             "Tartak Dąbrowa sp. z o.o.",
                             "ul. Leśna 7, 26-600 Radom"};

// A version 1 file around `members` (each with a leading comma).
std::string File(const std::string& members) { return R"({"format": "torv-lcd-chambers", "version": 1)" + members + "}"; }

std::string Repeat(const std::string& s, int n)
{
    std::string out;
    while (n-- > 0)
        out += s;
    return out;
}

// A chamber by its address, wherever it sits on the list; one the list does
// not hold is found nowhere and named by its address.
TEST(ChamberList, AChamberIsFoundByItsAddressAndAnUnlistedOneNamedByIt)
{
    ChamberList list{60, {}, {{3, "Komora 3 – dąb"}, {7, "Suszarnia"}, {12, "Ostatnia"}}};
    const struct {
        int address;
        const Chamber* found;
        const char* name;
    } cases[] = {
        {3, &list.chambers[0], "Komora 3 – dąb"},
        {12, &list.chambers[2], "Ostatnia"}, // the last one
        {9, nullptr, "Komora 9"},
        {0, nullptr, "Komora 0"},            // an unset chamber's address matches none
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FindChamber(std::as_const(list), c.address), c.found) << c.address;
        EXPECT_EQ(ChamberName(list, c.address), c.name);
    }
    // The list's own chamber, so a rename through it renames the listed one.
    FindChamber(list, 7)->name = "Komora siódma";
    EXPECT_EQ(list.chambers[1], (Chamber{7, "Komora siódma"}));
}

TEST(ChamberList, TheExampleIsWrittenAndReadExactly)
{
    EXPECT_EQ(ChamberListJson(kExample), kExampleJson);
    const auto r = ParseChamberList(kExampleJson);
    EXPECT_EQ(r.problems, Strings{});
    EXPECT_EQ(r.list, kExample);

    // Every key but the header may be left out; a name is trimmed, or made from the address.
    const auto hand = ParseChamberList("\xEF\xBB\xBF" + File(R"(, "alarms": {"deviationCelsius": 7, "sensorLowCelsius": -4e1},
        "chambers": [{"address": 250}, {"name": " \u00a0Suszarnia  ", "address": 1.0}])"));
    EXPECT_EQ(hand.problems, Strings{});
    ChamberList expected{60, {}, {{250, "Komora 250"}, {1, "Suszarnia"}}};
    expected.alarms.deviationTenths = 70;
    EXPECT_EQ(hand.list, expected);
    EXPECT_EQ(ParseChamberList(File("")).list, ChamberList{});

    EXPECT_EQ(ChamberListJson(kHighPlant), kHighPlantJson);
    const auto high = ParseChamberList(kHighPlantJson);
    EXPECT_EQ(high.problems, Strings{});
    EXPECT_EQ(high.list, kHighPlant);
    // The defaults given outright read as left out; the probes in either order.
    const Chamber bothProbes1{1, "Komora 1", Psychrometer::Ventilated, {true, true}},
        bothProbes2{2, "Komora 2", Psychrometer::Ventilated, {true, true}};
    const auto given = ParseChamberList(File(R"(, "airPressureHPa": 1013.25, "heatTreatment": {"minutes": 30.0},
        "chambers": [{"address": 1, "psychrometer": "ventilated", "coreProbes": ["TempControl2", "TempControl1"]},
                     {"address": 2, "coreProbes": ["TempControl1", "TempControl2"]}])"));
    EXPECT_EQ(given.problems, Strings{});
    EXPECT_EQ(given.list, (ChamberList{60, {}, {bothProbes1, bothProbes2}}));
    EXPECT_EQ(ParseChamberList(File(R"(, "airPressureHPa": 950, "heatTreatment": {"minCelsius": 70})")).list,
              (ChamberList{60, {}, {}, 95000, {700, 30}}));
    // The plant's texts trimmed; a blank one is none, and either may stand alone.
    EXPECT_EQ(ParseChamberList(File(R"(, "plant": {"name": "  Tartak ", "address": " "})")).list,
              (ChamberList{60, {}, {}, kDefaultAirPressureHundredths, {}, "Tartak", ""}));
    const ChamberList addressOnly{60, {}, {}, kDefaultAirPressureHundredths, {}, "", "Radom"};
    EXPECT_EQ(ParseChamberList(ChamberListJson(addressOnly)).list, addressOnly);
}

TEST(ChamberList, EveryValueRoundTripsAtItsRangeEdgesAndIsRefusedBeyond)
{
    for (const ThresholdField& f : kThresholdFields) {
        SCOPED_TRACE(f.key);
        for (const int edge : {f.min, f.max}) {
            ChamberList list;
            list.alarms.*f.field = edge;
            EXPECT_EQ(ChamberListProblems(list), Strings{});
            const auto r = ParseChamberList(ChamberListJson(list));
            EXPECT_EQ(r.problems, Strings{});
            EXPECT_EQ(r.list, list);
        }
        for (const int beyond : {f.min - 1, f.max + 1}) {
            ChamberList list;
            list.alarms.*f.field = beyond;
            EXPECT_EQ(ChamberListProblems(list), ParseChamberList(ChamberListJson(list)).problems) << "same words";
            EXPECT_EQ(ChamberListProblems(list).size(), 1u);
        }
    }
    // The air pressure and the heat treatment at their edges, and beyond in the reader's words.
    const HeatTreatment lowest{kMinHeatTreatmentTenths, kMinHeatTreatmentMinutes};
    const HeatTreatment highest{kMaxHeatTreatmentTenths, kMaxHeatTreatmentMinutes};
    for (const auto& [pressure, heat] :
         {std::pair{kMinAirPressureHundredths, lowest}, std::pair{kMaxAirPressureHundredths, highest}}) {
        const ChamberList list{60, {}, {}, pressure, heat};
        EXPECT_EQ(ChamberListProblems(list), Strings{});
        EXPECT_EQ(ParseChamberList(ChamberListJson(list)).list, list);
    }
    for (const auto& [pressure, heat] :
         {std::pair{kMinAirPressureHundredths - 1, HeatTreatment{lowest.minTenths - 1, lowest.minutes - 1}},
          std::pair{kMaxAirPressureHundredths + 1, HeatTreatment{highest.minTenths + 1, highest.minutes + 1}}}) {
        const ChamberList list{60, {}, {}, pressure, heat};
        EXPECT_EQ(ChamberListProblems(list), ParseChamberList(ChamberListJson(list)).problems) << "same words";
        EXPECT_EQ(ChamberListProblems(list).size(), 3u);
    }
    // No probe named is the default (the report then proves nothing), and stays one when saved.
    const ChamberList noProbe{60, {}, {{1, "A", Psychrometer::Ventilated, {false, false}}}};
    EXPECT_EQ(ChamberListProblems(noProbe), Strings{});
    EXPECT_EQ(ChamberListJson(noProbe).find("coreProbes"), std::string::npos);
    EXPECT_EQ(ParseChamberList(ChamberListJson(noProbe)).list, noProbe);

    // The other ends: round times, addresses, a name of 40 Polish letters (80 bytes).
    const std::string longest = Repeat("ż", 40);
    for (const ChamberList& list :
         {ChamberList{kMinRoundSeconds, {}, {{1, longest}}}, ChamberList{kMaxRoundSeconds, {}, {{250, "\"a\\b\""}}}}) {
        EXPECT_EQ(ChamberListProblems(list), Strings{});
        EXPECT_EQ(ParseChamberList(ChamberListJson(list)).list, list);
    }
    // What the program could hold but no file gives back.
    const ChamberList bad{kMaxRoundSeconds + 1, {}, {{0, "A"}, {7, " B"}, {7, longest + "ą"}, {9, "\xC5"}, {10, "a\tb"}}};
    EXPECT_EQ(ChamberListProblems(bad),
              (Strings{"\"roundSeconds\": wartość 3601 poza zakresem 10..3600",
                       "chambers, pozycja 1, \"address\": oczekiwano adresu 1..250",
                       "chambers, pozycja 2, \"name\": nazwa \" B\" zaczyna się albo kończy odstępem",
                       "chambers, pozycja 3, \"address\": adres 7 podany już w pozycji 2",
                       "chambers, pozycja 3, \"name\": nazwa \"" + longest + "ą\" ma 41 znaków (najwyżej 40)",
                       "chambers, pozycja 4, \"name\": nazwa nie jest poprawnym tekstem UTF-8",
                       R"(chambers, pozycja 5, "name": nazwa "a\u0009b" zawiera znak sterujący)"}));
}

TEST(ChamberList, BrokenFilesAreRefusedWholeWithEveryProblem)
{
    const struct {
        std::string text;
        Strings problems;
    } cases[] = {
        {"{\"format\": \"torv-lcd-chambers\",\n \"version\": 1 \"chambers\": []}",
         {"błąd składni JSON w wierszu 2, kolumnie 15: oczekiwano przecinka albo \"}\""}},
        {"[]", {"plik nie zawiera obiektu JSON"}},
        {R"({"version": 1, "chambers": 3})", {"brak klucza \"format\": to nie jest plik listy komór"}},
        {R"({"format": "torv-lcd-parameters", "version": 1})",
         {"nieznany format pliku \"torv-lcd-parameters\" (oczekiwano \"torv-lcd-chambers\")"}},
        {R"({"format": "torv-lcd-chambers", "version": 2, "x": 1})", {"nieobsługiwana wersja pliku 2 (obsługiwana: 1)"}},
        {R"({"format": "torv-lcd-chambers", "format": "x", "version": 1, "x": 1})", {"\"format\": powtórzony klucz"}},
        {File(std::string(", \"pad\": \"") + std::string(kChamberListMaxBytes, ' ') + "\""),
         {"plik za duży: 65592 bajtów (najwyżej 65536)"}},
        {File(R"(, "roundSeconds": 9, "alarms": [], "chambers": {})"),
         {"\"roundSeconds\": wartość 9 poza zakresem 10..3600", "\"alarms\": oczekiwano obiektu",
          "\"chambers\": oczekiwano tablicy"}},
        {File(R"(, "roundSeconds": "60")"), {"\"roundSeconds\": oczekiwano liczby całkowitej"}},
        {File(R"(, "roundSeconds": 60.5)"), {"\"roundSeconds\": oczekiwano liczby całkowitej, jest 60.5"}},
        {File(R"(, "roundSeconds": 3601)"), {"\"roundSeconds\": wartość 3601 poza zakresem 10..3600"}},
        // One file, every problem in it, in the file's order within each part.
        {File(R"(, "colour": 1, "alarms": {"noCommunicationScans": 2.5, "deviationCelsius": 0.4, "sensorLowCelsius": -40.25,
              "sensorHighCelsius": "150", "wetAboveDryCelsius": 20.1, "wetAboveDryScans": 101, "beep": true},
              "chambers": [5, {"name": "A"}, {"address": 0}, {"address": 251}, {"address": 7.5}, {"address": 7},
                           {"address": 8, "name": 8}, {"address": 9, "name": " \t "}, {"address": 10, "name": "Komora\n10"},
                           {"address": 11, "name": ")" + Repeat("ą", 41) + R"("}, {"address": 7, "colour": "red"}])"),
         {"\"colour\": nieznany klucz",
          "alarms, \"beep\": nieznany klucz",
          "alarms, \"noCommunicationScans\": oczekiwano liczby całkowitej, jest 2.5",
          "alarms, \"deviationCelsius\": wartość 0.4 poza zakresem 0.5..50.0",
          "alarms, \"sensorLowCelsius\": wartość -40.25 ma więcej niż jedno miejsce po przecinku",
          "alarms, \"sensorHighCelsius\": oczekiwano liczby",
          "alarms, \"wetAboveDryCelsius\": wartość 20.1 poza zakresem 0.0..20.0",
          "alarms, \"wetAboveDryScans\": wartość 101 poza zakresem 1..100",
          "chambers, pozycja 1: oczekiwano obiektu",
          "chambers, pozycja 2: brak klucza \"address\"",
          "chambers, pozycja 3, \"address\": oczekiwano adresu 1..250",
          "chambers, pozycja 4, \"address\": oczekiwano adresu 1..250",
          "chambers, pozycja 5, \"address\": oczekiwano adresu 1..250",
          "chambers, pozycja 7, \"name\": oczekiwano tekstu",
          R"(chambers, pozycja 8, "name": nazwa " \u0009 " zawiera znak sterujący)",
          R"(chambers, pozycja 9, "name": nazwa "Komora\u000a10" zawiera znak sterujący)",
          "chambers, pozycja 10, \"name\": nazwa \"" + Repeat("ą", 41) + "\" ma 41 znaków (najwyżej 40)",
          "chambers, pozycja 11, \"colour\": nieznany klucz",
          "chambers, pozycja 11, \"address\": adres 7 podany już w pozycji 6"}},
        {File(R"(, "chambers": [{"address": 1, "name": "  "}, {"address": 2, "name": ""}])"),
         {"chambers, pozycja 1, \"name\": nazwa jest pusta", "chambers, pozycja 2, \"name\": nazwa jest pusta"}},
        // Names that show as nothing, break the row or turn the text round; an invisible character
        // inside a visible name is harmless (8).
        {File(R"(, "chambers": [{"address": 1, "name": "\u2028"}, {"address": 2, "name": "\u202e"},
              {"address": 3, "name": "\u200b"}, {"address": 4, "name": "\u2060\ufeff\u200d\u00ad"},
              {"address": 5, "name": "Sosna\u2029"}, {"address": 6, "name": "A\u202eB"},
              {"address": 7, "name": " \u2066 "}, {"address": 8, "name": "Sosna\u200b2"},
              {"address": 9, "name": "\u3164\u0301"}, {"address": 10, "name": "Buk\u200f"}])"),
         {"chambers, pozycja 1, \"name\": nazwa zawiera znak sterujący U+2028",
          "chambers, pozycja 2, \"name\": nazwa zawiera znak sterujący U+202E",
          "chambers, pozycja 3, \"name\": nazwa nie ma żadnego widocznego znaku",
          "chambers, pozycja 4, \"name\": nazwa nie ma żadnego widocznego znaku",
          "chambers, pozycja 5, \"name\": nazwa zawiera znak sterujący U+2029",
          "chambers, pozycja 6, \"name\": nazwa zawiera znak sterujący U+202E",
          "chambers, pozycja 7, \"name\": nazwa zawiera znak sterujący U+2066",
          "chambers, pozycja 9, \"name\": nazwa nie ma żadnego widocznego znaku",
          "chambers, pozycja 10, \"name\": nazwa zawiera znak sterujący U+200F"}},
        // The psychrometer, the core probes, the air pressure and the heat treatment: anything but their values.
        {File(R"(, "airPressureHPa": 1013.255, "heatTreatment": {"minCelsius": 56.05, "minutes": 0, "hours": 1},
              "chambers": [{"address": 1, "psychrometer": "Ventilated"}, {"address": 2, "psychrometer": 1},
                           {"address": 3, "coreProbes": []}, {"address": 4, "coreProbes": ["TempControl1", "TempControl1"]},
                           {"address": 5, "coreProbes": ["TempDry"]}, {"address": 6, "coreProbes": "TempControl1"},
                           {"address": 7, "coreProbes": [1]}])"),
         {"\"airPressureHPa\": wartość 1013.255 ma więcej niż dwa miejsca po przecinku",
          "heatTreatment, \"hours\": nieznany klucz",
          "heatTreatment, \"minCelsius\": wartość 56.05 ma więcej niż jedno miejsce po przecinku",
          "heatTreatment, \"minutes\": wartość 0 poza zakresem 1..1440",
          R"(chambers, pozycja 1, "psychrometer": oczekiwano "ventilated" albo "unventilated")",
          R"(chambers, pozycja 2, "psychrometer": oczekiwano "ventilated" albo "unventilated")",
          R"(chambers, pozycja 3, "coreProbes": oczekiwano ["TempControl1"], ["TempControl2"] albo obu)",
          R"(chambers, pozycja 4, "coreProbes": oczekiwano ["TempControl1"], ["TempControl2"] albo obu)",
          R"(chambers, pozycja 5, "coreProbes": oczekiwano ["TempControl1"], ["TempControl2"] albo obu)",
          R"(chambers, pozycja 6, "coreProbes": oczekiwano ["TempControl1"], ["TempControl2"] albo obu)",
          R"(chambers, pozycja 7, "coreProbes": oczekiwano ["TempControl1"], ["TempControl2"] albo obu)"}},
        // The plant's texts: one line each, of a bounded length.
        {File(R"(, "plant": {"name": "Tartak\nDąbrowa", "address": 7, "nip": "1"})"),
         {"plant, \"nip\": nieznany klucz", "plant, \"name\": nazwa \"Tartak\\u000aDąbrowa\" zawiera znak sterujący",
          "plant, \"address\": oczekiwano tekstu"}},
        {File(R"(, "plant": {"address": ")" + Repeat("a", 121) + R"("})"),
         {"plant, \"address\": adres \"" + Repeat("a", 121) + "\" ma 121 znaków (najwyżej 120)"}},
        {File(R"(, "plant": "Tartak")"), {"\"plant\": oczekiwano obiektu"}},
        {File(R"(, "airPressureHPa": 699.99, "heatTreatment": 56)"),
         {"\"airPressureHPa\": wartość 699.99 poza zakresem 700.00..1100.00", "\"heatTreatment\": oczekiwano obiektu"}},
        {File(R"(, "airPressureHPa": "1013.25", "heatTreatment": {"minutes": 30, "minutes": 40})"),
         {"\"airPressureHPa\": oczekiwano liczby", "heatTreatment, \"minutes\": powtórzony klucz"}},
        // A repeated key: readers differ on which one counts, so none does.
        {File(R"(, "roundSeconds": 60, "alarms": {"deviationMinutes": 30, "deviation\u004dinutes": 31},
              "chambers": [{"address": 3, "name": "A", "name": "B"}], "roundSeconds": 90)"),
         {"\"roundSeconds\": powtórzony klucz", "alarms, \"deviationMinutes\": powtórzony klucz",
          "chambers, pozycja 1, \"name\": powtórzony klucz"}},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.text.substr(0, 100));
        const auto r = ParseChamberList(k.text);
        EXPECT_EQ(r.problems, k.problems);
        EXPECT_EQ(r.list, ChamberList{}) << "nothing of a refused file is taken";
    }
}

TEST(ChamberListFile, MissingIsEmptyAndNoFileIsWaitedOnOrReplaced)
{
    const torv::testing::TempDir dir;
    const std::string path = dir.path() + "/" + kChamberListFileName;
    const auto missing = ReadChamberListFile(path);
    EXPECT_TRUE(missing.ok());
    EXPECT_EQ(missing.list, ChamberList{});

    std::string error;
    ASSERT_TRUE(WriteChamberListFile(path, kExample, error)) << error;
    EXPECT_EQ(ReadChamberListFile(path).list, kExample);
    EXPECT_FALSE(WriteChamberListFile(path, {5, {}, {}}, error));
    EXPECT_EQ(error, "\"roundSeconds\": wartość 5 poza zakresem 10..3600");
    EXPECT_EQ(ReadChamberListFile(path).list, kExample) << "a refused list leaves the file as it was";

    const std::string fifo = dir.path() + "/fifo.json";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
    ::alarm(20); // a read that waits ends the test instead of hanging it
    const auto read = ReadChamberListFile(fifo);
    ::alarm(0);
    EXPECT_EQ(read.problems, Strings{"to nie jest zwykły plik, lecz potok (FIFO)"});
    EXPECT_FALSE(WriteChamberListFile(fifo, kExample, error));
    EXPECT_EQ(error, "to nie jest zwykły plik, lecz potok (FIFO)");
    struct stat st {};
    ASSERT_EQ(::stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "replaced";
}

} // namespace
