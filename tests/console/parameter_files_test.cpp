// Parameter set files in a session: saving what the window shows, loading a
// file into the controls, and cloning one controller onto another through
// ZAPIS, on simulated controllers and a virtual clock.
#include <filesystem>
#include <fstream>
#include <map>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "bus_log.h"
#include "app/console/write_back_row.h"
#include "console_fixture.h"
#include "controller/conversions.h"
#include "files/parameter_set.h"

using namespace torv::testing;
using Boxes = std::vector<RecordingNotifier::Box>;
using Strings = std::vector<std::string>;

namespace {

// Controller `address` with `memory` put in it, read at start-up, scanning stopped.
struct Stopped : ConsoleFixture {
    BusLog bus;
    torv::sim::Controller& c;

    explicit Stopped(std::uint8_t address, const std::map<int, int>& memory = {}) : c(line.add(address))
    {
        for (const auto& [byte, value] : memory)
            c.memory()[static_cast<std::size_t>(byte)] = static_cast<std::uint8_t>(value);
        bus.attach(line);
        startAt(address);
        console.toggleScanning(); // STOP
        bus.clear();
        notifier.boxes.clear();
    }
    std::string path(const std::string& name) const { return dir.path() + "/" + name; }
    std::string write(const std::string& name, const std::string& members) const
    {
        std::ofstream(path(name), std::ios::binary) << R"({"format": "torv-lcd-parameters", "version": 1)" << members << "}";
        return path(name);
    }
    std::map<int, int> setBytes() const // as the controller holds them
    {
        std::map<int, int> bytes;
        for (const int b : torv::ParameterSetBytes())
            bytes[b] = c.memory()[static_cast<std::size_t>(b)];
        return bytes;
    }
};

TEST(ParameterFiles, SaveTakesEditedFieldsFromTheirTextAndTheRestFromTheirBytes)
{
    Stopped f(7, {{108, 95}, {120, 200}, {156, 123}});
    ASSERT_EQ(f.ctl("Edit7").text, "5,0"); // 20.0, held at the spinner's end
    ASSERT_EQ(f.ctl("Edit46").text, "1,2E2");
    f.console.saveParameterSet(f.path("komora-007.json"));
    EXPECT_EQ(f.boxTexts(), Strings{"Nie zapisano pliku, wartości poza zakresem:"
                                    "\rparameters, \"AirHysteresis\": wartość 20.0 poza zakresem 0.1..5.0"
                                    "\rprogramme, krok 10, \"temperature\": wartość 123 poza zakresem 0..99"});
    EXPECT_FALSE(std::filesystem::exists(f.path("komora-007.json")));

    // The operator's moves: a whole number, tenths, a list, the switch.
    f.notifier.boxes.clear();
    f.panel.at("Edit5").text = "20";
    f.panel.at("Edit7").text = "2,5";
    f.panel.at("Edit46").text = "98";
    f.panel.at("ComboBox4").listIndex = 2;
    f.panel.at("CheckBox1").checked = false;
    f.console.saveParameterSet(f.path("komora-007.json"));
    EXPECT_EQ(f.notifier.boxes, Boxes({{"notice", "Zapisano parametry do pliku: komora-007.json", "Zapis OK!"}}));
    EXPECT_TRUE(f.bus.take().empty()) << "a save sends nothing";
    const torv::ParameterSetResult saved = torv::ReadParameterSetFile(f.path("komora-007.json"));
    std::map<int, int> expected;
    for (const auto& [b, stored] : f.setBytes())
        expected[b] = torv::UnitValue(torv::MapAt(b), static_cast<std::uint8_t>(stored));
    for (const auto& [b, v] : std::map<int, int>{{112, 20}, {120, 25}, {156, 98}, {122, 2}, {125, 0}})
        expected[b] = v;
    EXPECT_EQ(saved.set.values, expected);
    EXPECT_EQ(saved.set.sourceAddress, 7);
    EXPECT_FALSE(saved.set.saved.empty());

    f.console.saveParameterSet(f.path("missing/komora-007.json"));
    ASSERT_EQ(f.notifier.boxes.size(), 2u);
    EXPECT_EQ(f.notifier.boxes[1].text.rfind("Nie zapisano pliku komora-007.json:\r", 0), 0u) << f.notifier.boxes[1].text;
}

// What torv-cli writes of a set without controls must be what ZAPIS writes
// after the set was loaded into them: the same rows, the same bytes, the
// same rows skipped for showing just what the controller's byte made.
TEST(ParameterFiles, TheWritesOfASetAreThoseZapisTakesFromTheLoadedControls)
{
    using torv::bytes::kAirHysteresis, torv::bytes::kHumidifyPause, torv::bytes::kSetTemperature;
    Stopped f(7, {{108, 95}, {120, 200}, {156, 123}});
    const int setTemperature = f.c.memory()[kSetTemperature];
    const std::vector<std::map<int, int>> sets = {
        {},
        {{kSetTemperature, setTemperature}},                 // as held: nothing
        {{kSetTemperature, 72}, {kHumidifyPause, 12}},        // a field and a list
        {{kAirHysteresis, 50}},                               // shows "5,0" as the clamped 200 does: nothing
        {{156, 99}, {108, -5}},                               // 99 over the held "1,2E2"; an offset tenths field
        {{torv::bytes::kAlarmBuzzer, 0}, {kSetTemperature, 0}}, // the switch is no ZAPIS row
    };
    for (const std::map<int, int>& values : sets) {
        torv::ParameterSet set;
        set.values = values;
        f.console.toggleScanning(); // START and STOP: the fields shown from the controller again
        f.console.toggleScanning();
        std::string error;
        ASSERT_TRUE(torv::WriteParameterSetFile(f.path("zestaw.json"), set, error)) << error;
        ASSERT_TRUE(f.console.loadParameterSet(f.path("zestaw.json")));
        // Only a value the controller does not hold sends anything.
        const torv::ImageRow& stored = f.link.image.row(7);
        std::vector<std::pair<int, int>> zapis, writes;
        for (const torv::WriteBackRow& row : torv::WriteBackTable())
            if (const auto value = torv::RowValue(row, f.panel, stored, ","); value && *value != torv::RowByte(stored, row.byte))
                zapis.emplace_back(row.byte, *value);
        for (const torv::ByteWrite& w : torv::ParameterSetWrites(set, stored, ","))
            if (w.value != torv::RowByte(stored, w.byte))
                writes.emplace_back(w.byte, w.value);
        EXPECT_EQ(writes, zapis) << ::testing::PrintToString(values);
    }
}

TEST(ParameterFiles, ARefusalChangesNoControlAndSendsNothing)
{
    const std::string valid = R"(, "parameters": {"VentOpenTime": 33, "AlarmBuzzer": false})";
    const struct {
        bool save, loaded, scanning;
        std::string members, box;
    } cases[] = {
        {true, false, false, valid, "Nie wczytano danych z modułu !!!"},
        {true, true, true, valid, "Zapisano parametry do pliku: out.json"}, // a scan repaints nothing a save needs
        {false, false, false, valid, "Nie wczytano danych z modułu !!!"},
        {false, true, true, valid, "Wyłącz skanowanie wyników pomiarów !!!"},
        {false, true, false, ",\n  \"parameters\": {\"AlarmBuzzer\": false \"VentOpenTime\": 33}",
         "Nie wczytano pliku in.json:\rbłąd składni JSON w wierszu 2, kolumnie 39: oczekiwano przecinka albo \"}\""},
        {false, true, false, R"(, "parameters": {"VentOpenTime": 33, "AirHysteresis": 0.05, "Colour": "red", "AlarmBuzzer": false})",
         "Nie wczytano pliku in.json:\rparameters, \"Colour\": nieznany klucz"
         "\rparameters, \"AirHysteresis\": wartość 0.05 ma więcej niż jedno miejsce po przecinku"},
        // A carriage return of the file would start a line of the box of its own.
        {false, true, false, R"(, "parameters": {"VentOpenTime": 33, "VentOpenTime": 34, "Colour\r\u001b[2J": 1})",
         "Nie wczytano pliku in.json:\r" R"(parameters, "Colour\u000d\u001b[2J": nieznany klucz)"
         "\rparameters, \"VentOpenTime\": powtórzony klucz"},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.box);
        Stopped f(5);
        const std::string in = f.write("in.json", k.members);
        ASSERT_NO_FATAL_FAILURE(f.arrange(f.c, k.loaded, k.scanning));
        f.bus.clear();
        const std::size_t changes = f.panel.log.size();
        k.save ? f.console.saveParameterSet(f.path("out.json")) : f.console.loadParameterSet(in);
        EXPECT_EQ(f.boxTexts(), Strings{k.box});
        EXPECT_EQ(f.panel.log.size(), changes);
        EXPECT_TRUE(f.bus.take().empty()) << "not even the switch";
        EXPECT_EQ(std::filesystem::exists(f.path("out.json")), k.save && k.loaded);
    }
}

// A save renames over its target and a read waits for data: neither may
// reach a device, a FIFO or a directory, directly or through a link.
TEST(ParameterFiles, NoFileTargetIsReplacedOrWaitedOn)
{
    Stopped f(5);
    const std::string fifo = f.path("fifo.json"), dir = f.path("dir.json"), device = f.path("device.json");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
    ASSERT_EQ(::mkdir(dir.c_str(), 0777), 0);
    // A null device of our own: a save that went wrong would replace only it.
    const bool haveDevice = ::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    std::filesystem::create_symlink(fifo, f.path("to-fifo.json"));
    std::filesystem::create_symlink(haveDevice ? device : "/dev/null", f.path("to-device.json"));
    const struct {
        const char* name;
        const char* kind;
        bool save;
    } cases[] = {
        {"fifo.json", "potok (FIFO)", true},    {"dir.json", "katalog", true},
        {"to-fifo.json", "potok (FIFO)", true}, {"device.json", "urządzenie", haveDevice},
        {"to-device.json", "urządzenie", haveDevice},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        if (!haveDevice && std::string(k.name) == "device.json")
            continue;
        const std::string path = f.path(k.name);
        struct stat before {};
        ASSERT_EQ(::stat(path.c_str(), &before), 0);
        const std::string why = std::string(":\rto nie jest zwykły plik, lecz ") + k.kind;
        if (k.save) {
            f.notifier.boxes.clear();
            EXPECT_FALSE(f.console.saveParameterSet(path));
            EXPECT_EQ(f.boxTexts(), Strings{"Nie zapisano pliku " + std::string(k.name) + why});
            struct stat after {};
            ASSERT_EQ(::stat(path.c_str(), &after), 0);
            EXPECT_EQ(after.st_ino, before.st_ino) << "replaced";
            EXPECT_EQ(after.st_mode, before.st_mode);
        }
        f.notifier.boxes.clear();
        ::alarm(20); // a read that waits ends the test instead of hanging it
        EXPECT_FALSE(f.console.loadParameterSet(path));
        ::alarm(0);
        EXPECT_EQ(f.boxTexts(), Strings{"Nie wczytano pliku " + std::string(k.name) + why});
    }
    EXPECT_TRUE(f.bus.take().empty());
}

TEST(ParameterFiles, LoadMovesTheControlsAndWritesOnlyTheSwitch)
{
    Stopped f(5);
    ASSERT_EQ(f.c.memory()[125], 1) << "the buzzer starts on";
    const std::map<int, int> before = f.setBytes();
    const std::string edit15 = f.ctl("Edit15").text, edit21 = f.ctl("Edit21").text;
    f.console.loadParameterSet(f.write("komora-007.json", R"(, "parameters": {"CalibrationT1": -0.5, "AirHysteresis": 1.5,
        "VentOpenTime": 60, "HumidifyPause": "2:30", "AlarmBuzzer": false},
        "programme": [{"hours": 4}, {}, {}, {}, {}, {}, {}, {}, {}, {"difference": 50}])"));
    EXPECT_EQ(f.notifier.boxes, Boxes({{"notice",
                                        "Wczytano parametry z pliku: komora-007.json\rNaciśnij ZAPIS, aby zapisać je w module.",
                                        "Odczyt OK!"}}));
    for (const auto& [spinner, position, field, text] : {std::tuple{"UpDown2", -5, "Edit2", "-0,5"}, {"UpDown7", 15, "Edit7", "1,5"},
                                                         {"UpDown5", 60, "Edit5", "60"}, {"UpDown47", 50, "Edit47", "50"}}) {
        EXPECT_EQ(f.ctl(spinner).position, position) << spinner;
        EXPECT_EQ(f.ctl(field).text, text) << field;
    }
    EXPECT_EQ(f.ctl("ComboBox5").listIndex, 15);
    EXPECT_FALSE(f.ctl("CheckBox1").checked);
    EXPECT_EQ(f.ctl("Edit15").text, edit15) << "a key the file lacks leaves its field alone";
    EXPECT_EQ(f.ctl("Edit21").text, edit21);

    // Only the switch goes out at once, as its click would; the rest waits for ZAPIS.
    EXPECT_EQ(f.bus.take(), Strings({"5:W125=0," + std::to_string(f.c.memory()[126]), "5:R125x2"}));
    std::map<int, int> after = f.setBytes();
    EXPECT_EQ(after[125], 0);
    after[125] = before.at(125);
    EXPECT_EQ(after, before);
}

TEST(ParameterFiles, CloneOntoAnotherControllerThroughZapis)
{
    // A differs from B's start-up memory in these bytes only.
    Stopped chamberA(3, {{108, 95}, {112, 12}, {117, 12}, {120, 15}, {122, 2}, {125, 0}, {129, 45}, {157, 7}});
    chamberA.console.saveParameterSet(chamberA.path("komora-003.json"));
    const std::map<int, int> wanted = chamberA.setBytes();

    Stopped chamberB(5);
    const std::array<std::uint8_t, 256> memoryBefore = chamberB.c.memory();
    chamberB.console.loadParameterSet(chamberA.path("komora-003.json"));
    chamberB.bus.clear(); // the switch, written at once
    chamberB.console.writeBack(); // ZAPIS

    // Only the rows that differ go out, in the table's order, each read back.
    Strings sent;
    for (const std::string& r : chamberB.bus.take()) // a write without its low byte
        sent.push_back(r.find(":W") != std::string::npos ? r.substr(0, r.find(',')) : r);
    EXPECT_EQ(sent, Joined({"5:R96x1", "5:W108=95", "5:R108x2", "5:W112=12", "5:R112x2", "5:W120=15", "5:R120x2", "5:W117=12",
                            "5:R117x2", "5:W122=2", "5:R122x2", "5:W129=45", "5:R129x2", "5:W157=7", "5:R157x2"},
                           BlockRead(5)));
    EXPECT_EQ(chamberB.setBytes(), wanted) << "B now holds A's parameters and programme";
    for (std::size_t b = 96; b <= 100; ++b)
        EXPECT_EQ(chamberB.c.memory()[b], memoryBefore[b]) << "identity byte " << b;
    EXPECT_EQ(chamberB.notifier.boxes.size(), 1u) << "ZAPIS itself raised no box";
}

} // namespace
