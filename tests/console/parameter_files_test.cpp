// Parameter set files in a session: saving what the window shows, loading a
// file into the controls, and cloning one controller onto another through
// ZAPIS, on simulated controllers and a virtual clock.
#include <filesystem>
#include <fstream>
#include <map>

#include <gtest/gtest.h>

#include "bus_log.h"
#include "console_fixture.h"
#include "controller/memory_map.h"
#include "controller/parameter_set.h"

using namespace torv::testing;
using Box = RecordingNotifier::Box;
using Strings = std::vector<std::string>;

namespace {

// A controller read at start-up, then scanning stopped, with `memory` put
// into the controller before the read.
struct Stopped : ConsoleFixture {
    BusLog bus;
    torv::sim::Controller& c;

    explicit Stopped(std::uint8_t address, const std::map<int, int>& memory = {}) : c(line.add(address))
    {
        for (const auto& [byte, value] : memory)
            c.memory()[static_cast<std::size_t>(byte)] = static_cast<std::uint8_t>(value);
        bus.attach(line);
        startAt(address);
        console.Button2Click(); // STOP
        bus.clear();
        notifier.boxes.clear();
    }
    std::string path(const std::string& name) const { return dir.path() + "/" + name; }
    void write(const std::string& name, const std::string& text) const
    {
        std::ofstream(path(name), std::ios::binary) << text;
    }
    // Every byte of a set as the controller holds it.
    std::map<int, int> setBytes() const
    {
        std::map<int, int> bytes;
        for (int b : torv::ParameterSetBytes())
            bytes[b] = c.memory()[static_cast<std::size_t>(b)];
        return bytes;
    }
};

std::map<int, int> ControlValues(const std::map<int, int>& bytes)
{
    std::map<int, int> values;
    for (const auto& [byte, stored] : bytes)
        values[byte] = torv::ControlValue(torv::MapAt(byte), static_cast<std::uint8_t>(stored));
    return values;
}

// Writes without their low byte ("5:W108=95"), and every other request whole.
Strings WithoutLowBytes(const Strings& requests)
{
    Strings out;
    for (const auto& r : requests)
        out.push_back(r.find(":W") != std::string::npos ? r.substr(0, r.find(',')) : r);
    return out;
}

TEST(ParameterFiles, SaveTakesWhatTheControlsShow)
{
    Stopped f(7, {{108, 95}, {117, 12}, {157, 3}});
    // The operator's moves: a whole-number field, a tenths field, a list, the switch.
    f.panel.at("Edit5").text = "20";
    f.panel.at("Edit7").text = "2,5";
    f.panel.at("ComboBox4").listIndex = 2;
    f.panel.at("Edit47").text = "11";
    f.panel.at("CheckBox1").checked = false;
    f.console.SaveParameterSet(f.path("komora-007.json"));

    EXPECT_EQ(f.notifier.boxes, std::vector<Box>({{"notice", "Zapisano parametry do pliku: komora-007.json", "Zapis OK!"}}));
    EXPECT_TRUE(f.bus.take().empty()) << "a save sends nothing";
    const torv::ParameterSetResult saved = torv::ReadParameterSetFile(f.path("komora-007.json"));
    ASSERT_EQ(saved.problems, Strings{});
    std::map<int, int> expected = ControlValues(f.setBytes());
    expected[112] = 20;
    expected[120] = 25;
    expected[122] = 2;
    expected[157] = 11;
    expected[125] = 0;
    EXPECT_EQ(saved.set.values, expected);
    EXPECT_EQ(saved.set.values.at(108), -5);
    EXPECT_EQ(saved.set.values.at(117), 12);
    EXPECT_EQ(saved.set.sourceAddress, 7);
    EXPECT_FALSE(saved.set.saved.empty());
}

TEST(ParameterFiles, SaveRefusesValuesTheWindowCannotHold)
{
    Stopped f(5, {{156, 123}, {122, 3}, {120, 200}});
    ASSERT_EQ(f.ctl("Edit46").text, "1,2E2");
    ASSERT_EQ(f.ctl("Edit7").text, "5,0");
    f.console.SaveParameterSet(f.path("komora-005.json"));
    EXPECT_EQ(f.notifier.boxes,
              std::vector<Box>({{"notice",
                                 "Nie zapisano pliku, wartości poza zakresem:"
                                 "\rparameters, \"AirHysteresis\": wartość 20.0 poza zakresem 0.1..5.0"
                                 "\rparameters, \"LcdMode\": bajt 3 nie odpowiada żadnej pozycji listy"
                                 "\rprogramme, krok 10, \"temperature\": wartość 123 poza zakresem 0..99",
                                 "Uwaga !"}}));
    EXPECT_FALSE(std::filesystem::exists(f.path("komora-005.json")));

    // Moved by the operator they are the operator's values, and the file is written.
    f.notifier.boxes.clear();
    f.panel.at("Edit46").text = "98";
    f.panel.at("Edit7").text = "4,9";
    f.panel.at("ComboBox4").listIndex = 0;
    f.console.SaveParameterSet(f.path("komora-005.json"));
    EXPECT_EQ(f.notifier.boxes, std::vector<Box>({{"notice", "Zapisano parametry do pliku: komora-005.json", "Zapis OK!"}}));
    const auto values = torv::ReadParameterSetFile(f.path("komora-005.json")).set.values;
    EXPECT_EQ(values.at(156), 98);
    EXPECT_EQ(values.at(120), 49);
    EXPECT_EQ(values.at(122), 0);
}

TEST(ParameterFiles, SaveReportsAFileThatCannotBeWritten)
{
    Stopped f(5);
    f.console.SaveParameterSet(f.path("missing/komora-005.json"));
    ASSERT_EQ(f.notifier.boxes.size(), 1u);
    EXPECT_EQ(f.notifier.boxes[0].caption, "Uwaga !");
    EXPECT_EQ(f.notifier.boxes[0].text.rfind("Nie zapisano pliku komora-005.json:\r", 0), 0u) << f.notifier.boxes[0].text;
    EXPECT_GT(f.notifier.boxes[0].text.size(), std::string("Nie zapisano pliku komora-005.json:\r").size());
}

TEST(ParameterFiles, BothNeedAModuleReadAndLoadingNeedsScanningOff)
{
    struct Case {
        bool save, loaded, scanning;
        const char* refusal; // nullptr: goes ahead
    };
    const Case cases[] = {
        {true, false, false, "Nie wczytano danych z modułu !!!"},
        {true, true, true, nullptr}, // a scan repaints nothing a save needs
        {false, false, false, "Nie wczytano danych z modułu !!!"},
        {false, false, true, "Nie wczytano danych z modułu !!!"},
        {false, true, true, "Wyłącz skanowanie wyników pomiarów !!!"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << "save " << k.save << " loaded " << k.loaded << " scanning " << k.scanning);
        Stopped f(5);
        f.write("in.json", R"({"format": "torv-lcd-parameters", "version": 1, "parameters": {"VentOpenTime": 33}})");
        f.console.DataLoaded = k.loaded;
        f.console.ScanOn = k.scanning;
        EXPECT_EQ(k.save ? f.console.ParameterSaveAllowed() : f.console.ParameterLoadAllowed(), k.refusal == nullptr);
        f.notifier.boxes.clear();
        const std::size_t changes = f.panel.log.size();
        if (k.save)
            f.console.SaveParameterSet(f.path("out.json"));
        else
            f.console.LoadParameterSet(f.path("in.json"));
        if (k.refusal) {
            EXPECT_EQ(f.notifier.boxes, std::vector<Box>({{"notice", k.refusal, "Uwaga !"}}));
            EXPECT_EQ(f.panel.log.size(), changes);
            EXPECT_NE(f.ctl("Edit5").text, "33");
        } else {
            ASSERT_EQ(f.notifier.boxes.size(), 1u);
            EXPECT_EQ(f.notifier.boxes[0].caption, "Zapis OK!");
        }
        EXPECT_EQ(std::filesystem::exists(f.path("out.json")), k.save && !k.refusal);
        EXPECT_TRUE(f.bus.take().empty());
    }
}

TEST(ParameterFiles, LoadMovesTheControlsAndWritesOnlyTheSwitch)
{
    Stopped f(5);
    ASSERT_EQ(f.c.memory()[125], 1) << "the buzzer starts on";
    const std::map<int, int> before = f.setBytes();
    const std::string untouchedEdit15 = f.ctl("Edit15").text, untouchedEdit17 = f.ctl("Edit17").text;
    f.write("komora-007.json", R"({
  "format": "torv-lcd-parameters", "version": 1, "saved": "2026-12-08T10:15:00+01:00", "source": {"address": 7},
  "parameters": {
    "CalibrationT1": -0.5, "CalibrationT4": 10.0, "VentOpenTime": 60, "HumidifyPause": "2:30",
    "HumidifyAlarmThreshold": 0.0, "AirHysteresis": 1.5, "LcdMode": "NORDA", "LcdInfoTime1": 30,
    "SetTemperature": 45, "AlarmBuzzer": false
  },
  "programme": [ {"hours": 4, "temperature": 40, "difference": 5}, {}, {}, {}, {}, {}, {}, {}, {},
                 {"hours": 99, "temperature": 99, "difference": 50} ]
})");
    f.console.LoadParameterSet(f.path("komora-007.json"));

    EXPECT_EQ(f.notifier.boxes, std::vector<Box>({{"notice",
                                                    "Wczytano parametry z pliku: komora-007.json"
                                                    "\rNaciśnij ZAPIS, aby zapisać je w module.",
                                                    "Odczyt OK!"}}));
    struct Field {
        const char *spinner, *field;
        int position;
        const char* text;
    };
    for (const Field& k : {Field{"UpDown2", "Edit2", -5, "-0,5"}, Field{"UpDown12", "Edit12", 100, "10,0"},
                           Field{"UpDown5", "Edit5", 60, "60"}, Field{"UpDown4", "Edit4", 0, "0,0"},
                           Field{"UpDown7", "Edit7", 15, "1,5"}, Field{"UpDown3", "Edit3", 30, "30"},
                           Field{"UpDown16", "Edit16", 45, "45"}, Field{"UpDown18", "Edit18", 4, "4"},
                           Field{"UpDown19", "Edit19", 40, "40"}, Field{"UpDown45", "Edit45", 99, "99"},
                           Field{"UpDown47", "Edit47", 50, "50"}}) {
        EXPECT_EQ(f.ctl(k.spinner).position, k.position) << k.spinner;
        EXPECT_EQ(f.ctl(k.field).text, k.text) << k.field;
    }
    EXPECT_EQ(f.ctl("ComboBox5").listIndex, 15);
    EXPECT_EQ(f.ctl("ComboBox4").listIndex, 2);
    EXPECT_FALSE(f.ctl("CheckBox1").checked);
    // Keys the file does not have leave their fields alone.
    EXPECT_EQ(f.ctl("Edit15").text, untouchedEdit15);
    EXPECT_EQ(f.ctl("Edit17").text, untouchedEdit17);
    EXPECT_EQ(f.ctl("Edit21").text, std::to_string(before.at(131)));

    // Only the switch goes out at once, as its click would; the rest waits for ZAPIS.
    const int low = f.c.memory()[126];
    EXPECT_EQ(f.bus.take(), Strings({"5:W125=0," + std::to_string(low), "5:R125x2"}));
    std::map<int, int> after = f.setBytes();
    EXPECT_EQ(after[125], 0);
    after[125] = before.at(125);
    EXPECT_EQ(after, before);
}

TEST(ParameterFiles, ABrokenFileChangesNoControl)
{
    struct Case {
        const char* name;
        const char* text; // nullptr: no such file
        std::string box;  // the whole text, or its start for a missing file
    };
    const Case cases[] = {
        {"zly.json", "{\"format\": \"torv-lcd-parameters\", \"version\": 1,\n \"parameters\": {\"VentOpenTime\": 10}",
         "Nie wczytano pliku zly.json:\rbłąd składni JSON w wierszu 2, kolumnie 35: oczekiwano przecinka albo \"}\""},
        {"zakres.json",
         R"({"format": "torv-lcd-parameters", "version": 1,
             "parameters": {"VentOpenTime": 10, "AirHysteresis": 0.05, "Colour": "red", "AlarmBuzzer": false}})",
         "Nie wczytano pliku zakres.json:"
         "\rparameters, \"Colour\": nieznany klucz"
         "\rparameters, \"AirHysteresis\": wartość 0.05 ma więcej niż jedno miejsce po przecinku"},
        {"brak.json", nullptr, "Nie wczytano pliku brak.json:\rnie można otworzyć pliku: "},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Stopped f(5);
        if (k.text)
            f.write(k.name, k.text);
        const std::size_t changes = f.panel.log.size();
        const std::string edit5 = f.ctl("Edit5").text;
        f.console.LoadParameterSet(f.path(k.name));
        ASSERT_EQ(f.notifier.boxes.size(), 1u);
        EXPECT_EQ(f.notifier.boxes[0].caption, "Uwaga !");
        if (k.text)
            EXPECT_EQ(f.notifier.boxes[0].text, k.box);
        else
            EXPECT_EQ(f.notifier.boxes[0].text.rfind(k.box, 0), 0u) << f.notifier.boxes[0].text;
        EXPECT_EQ(f.panel.log.size(), changes) << "no control changed";
        EXPECT_EQ(f.ctl("Edit5").text, edit5);
        EXPECT_TRUE(f.ctl("CheckBox1").checked);
        EXPECT_TRUE(f.bus.take().empty()) << "nothing sent, not even the switch";
    }
}

TEST(ParameterFiles, CloneOntoAnotherControllerThroughZapis)
{
    // Controller A differs from B's start-up memory in all but a few bytes:
    // VentOpenPause, CalibrationT4 and steps 5..10 are alike.
    const std::map<int, int> a{
        {108, 95}, {109, 105}, {110, 80},  {112, 12}, {114, 14}, {115, 7},  {116, 3},  {117, 12}, {118, 20},
        {120, 15}, {121, 8},   {122, 2},   {123, 7},  {124, 9},  {106, 45}, {107, 5},  {125, 0},  {128, 5},
        {129, 45}, {130, 4},   {131, 7},   {132, 55}, {133, 6},  {134, 9},  {135, 65}, {136, 10}, {137, 2},
        {138, 30}, {139, 3},
    };
    Stopped chamberA(3, a);
    chamberA.console.SaveParameterSet(chamberA.path("komora-003.json"));
    ASSERT_EQ(chamberA.notifier.boxes.size(), 1u);
    ASSERT_EQ(chamberA.notifier.boxes[0].caption, "Zapis OK!");
    const std::map<int, int> wanted = chamberA.setBytes();

    Stopped chamberB(5);
    const std::map<int, int> was = chamberB.setBytes();
    ASSERT_NE(wanted, was);
    const std::array<std::uint8_t, 256> memoryBefore = chamberB.c.memory();
    chamberB.console.LoadParameterSet(chamberA.path("komora-003.json"));
    EXPECT_EQ(chamberB.bus.take(), Strings({"5:W125=0," + std::to_string(memoryBefore[126]), "5:R125x2"}));
    chamberB.console.Button3Click(); // ZAPIS

    // Only the rows that differ go out, in the table's order, each read back.
    Strings expected{"5:R96x1"};
    for (const torv::WriteBackRow& row : torv::WriteBackTable())
        if (wanted.at(row.byte) != was.at(row.byte)) {
            expected.push_back("5:W" + std::to_string(row.byte) + "=" + std::to_string(wanted.at(row.byte)));
            expected.push_back("5:R" + std::to_string(row.byte) + "x2");
        }
    expected = Joined(expected, BlockRead(5));
    EXPECT_EQ(WithoutLowBytes(chamberB.bus.take()), expected);
    EXPECT_EQ(expected.size(), 1 + 2 * 28 + 9u) << "28 rows differ; the switch went at the load";
    EXPECT_EQ(chamberB.setBytes(), wanted) << "B now holds A's parameters and programme";
    for (std::size_t b = 96; b <= 100; ++b)
        EXPECT_EQ(chamberB.c.memory()[b], memoryBefore[b]) << "identity byte " << b;
    EXPECT_EQ(chamberB.notifier.boxes.size(), 1u) << "ZAPIS itself raised no box";
}

} // namespace
