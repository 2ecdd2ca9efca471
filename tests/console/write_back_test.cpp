// ZAPIS, the address change, the module's baud rate and parity lists, the
// alarm switch and the parameter spinners, on simulated controllers and a
// virtual clock; the requests are checked as the controller received them.
#include <map>

#include <gtest/gtest.h>

#include "bus_log.h"
#include "console_fixture.h"

using namespace torv::testing;
using Box = RecordingNotifier::Box;
using Strings = std::vector<std::string>;

namespace {

// A controller at `address` read at start-up, then scanning stopped: the
// state in which ZAPIS works.
struct Loaded : ConsoleFixture {
    BusLog bus;
    torv::sim::Controller& c;
    std::vector<std::uint64_t> doneAt; // the clock at the end of each transaction

    explicit Loaded(std::uint8_t address = 5) : c(line.add(address))
    {
        bus.attach(line);
        link.onTransaction = [this](const torv::ModbusLink::Transaction&) { doneAt.push_back(clock.nowUs()); };
        startAt(address);
        console.toggleScanning(); // STOP
        bus.clear();
        notifier.boxes.clear();
    }
    Strings zapis()
    {
        console.writeBack();
        return bus.take();
    }
    // Only the writes of the last requests.
    static Strings writes(const Strings& requests)
    {
        Strings w;
        for (const auto& r : requests)
            if (r.find(":W") != std::string::npos)
                w.push_back(r);
        return w;
    }
    // The pause in ms before each request but the first of the last bus.take(): from the end of the
    // transaction before to the request's first byte, 7 byte times of 2 ms before its last.
    std::vector<std::uint64_t> pauses() const
    {
        const std::size_t n = bus.takenAtUs.size(), from = doneAt.size() - n;
        std::vector<std::uint64_t> p;
        for (std::size_t i = 1; i < n; ++i)
            p.push_back((bus.takenAtUs[i] - doneAt[from + i - 1]) / 1000 - 7 * 2);
        return p;
    }
};

TEST(WriteBackGuard, RefusesBeforeALoadAndWhileScanning)
{
    struct Case {
        bool loaded, scanning;
        const char* text;
    };
    for (const Case& k : {Case{false, false, "Nie wczytano danych z modułu !!!"},
                          Case{false, true, "Nie wczytano danych z modułu !!!"},
                          Case{true, true, "Wyłącz skanowanie wyników pomiarów !!!"}}) {
        Loaded f;
        ASSERT_NO_FATAL_FAILURE(f.arrange(f.c, k.loaded, k.scanning));
        f.bus.clear();
        f.panel.at("Edit7").text = "0,1";
        EXPECT_TRUE(f.zapis().empty());
        EXPECT_EQ(f.notifier.boxes, std::vector<Box>({Box{"notice", k.text, "Uwaga !"}}));
    }
}

TEST(WriteBack, NothingChangedReadsTheAddressThenOnlyRefreshes)
{
    Loaded f;
    EXPECT_EQ(f.zapis(), Joined({"5:R96x1"}, BlockRead(5)));
    EXPECT_TRUE(f.notifier.boxes.empty()) << "same address: no question";
    EXPECT_TRUE(f.console.dataLoaded());
    // The closing repaint of the parameter view, its link state from the last reply.
    EXPECT_EQ(f.ctl("Label36").text, "Błędy ModBus =0");
    EXPECT_EQ(f.ctl("Label35").text, "TEST ModBUS = OK");
}

TEST(WriteBack, FieldTextsBecomeBytes)
{
    struct Case {
        const char* control;
        const char* text; // or the list index for a list
        int byte;
        int stored;
    };
    const Case cases[] = {
        {"Edit2", "-2,5", 108, 75}, {"Edit9", "-10,0", 110, 0}, {"Edit7", "0,1", 120, 1},
        {"Edit4", "10,0", 118, 100}, {"Edit5", "20", 112, 20}, {"ComboBox5", "2", 117, 2},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.control);
        Loaded f;
        const int low = f.c.memory()[k.byte + 1];
        if (std::string(k.control).rfind("ComboBox", 0) == 0)
            f.panel.at(k.control).listIndex = std::stoi(k.text);
        else
            f.panel.at(k.control).text = k.text;
        const std::string reg = "5:W" + std::to_string(k.byte) + "=";
        const std::string readBack = "5:R" + std::to_string(k.byte) + "x2";
        EXPECT_EQ(f.zapis(), Joined({"5:R96x1", reg + std::to_string(k.stored) + "," + std::to_string(low), readBack},
                                    BlockRead(5)));
        EXPECT_EQ(f.c.memory()[k.byte], k.stored);
        EXPECT_EQ(f.c.memory()[k.byte + 1], low) << "the neighbour travels unchanged";
    }
}

TEST(WriteBack, OnlyTheChangedRowsAreWrittenEachReadBack)
{
    Loaded f;
    f.panel.at("Edit45").text = "3";  // step 10 hours, byte 155
    f.panel.at("Edit10").text = "2,5"; // P9, byte 121
    const int lcd = f.c.memory()[122], step10Temp = f.c.memory()[156];
    EXPECT_EQ(f.zapis(), Joined({"5:R96x1", "5:W121=25," + std::to_string(lcd), "5:R121x2",
                                 "5:W155=3," + std::to_string(step10Temp), "5:R155x2"},
                                BlockRead(5)));
    EXPECT_EQ(f.c.memory()[121], 25);
    EXPECT_EQ(f.c.memory()[155], 3);
}

TEST(WriteBack, EveryRowGoesInTheOrderOfTheTable)
{
    Loaded f;
    // The fields keep what start-up showed; controller and image both hold
    // another value in every written byte, so every row is sent.
    std::vector<int> order{108, 109, 110, 111, 112, 113, 114, 115, 120, 121, 118, 116, 117, 122, 123, 124, 106, 107};
    for (int b = 128; b <= 157; ++b)
        order.push_back(b);
    std::map<int, int> shown;
    for (int b : order) {
        shown[b] = f.c.memory()[b];
        f.c.memory()[b] = 3;
        f.link.image.at(5, b) = 3;
    }
    Strings expected;
    for (int b : order)
        expected.push_back("5:W" + std::to_string(b));
    Strings sent;
    for (const auto& w : Loaded::writes(f.zapis()))
        sent.push_back(w.substr(0, w.find('=')));
    EXPECT_EQ(sent, expected);
    for (int b : order)
        EXPECT_EQ(f.c.memory()[b], shown[b]) << "byte " << b;
}

TEST(WriteBack, AFailedReadBackStopsTheChain)
{
    Loaded f;
    const char* fields[] = {"Edit2", "Edit6", "Edit9", "Edit12", "Edit5", "Edit8", "Edit11"};
    for (const char* field : fields)
        f.panel.at(field).text = "7"; // rows 1..7 all differ
    // ZAPIS sends the address read, then a write and a read-back per row:
    // the read-back of row 5 is its eleventh request.
    f.c.faults().failFrom = f.c.requests() + 11;
    const Strings sent = f.zapis();
    EXPECT_EQ(sent, Strings({"5:R96x1", "5:W108=170,100", "5:R108x2", "5:W109=170,100", "5:R109x2",
                             "5:W110=170,100", "5:R110x2", "5:W111=170,10", "5:R111x2", "5:W112=7,5",
                             "5:R112x2", "5:R96x8"}))
        << "rows 6 and 7 send nothing; the refresh stops at its first read";
    EXPECT_EQ(f.notifier.boxes, std::vector<Box>({Box{"notice", "Brak komunikacji z modułem !!!", "Uwaga !"}}));
    EXPECT_FALSE(f.console.dataLoaded());
}

TEST(WriteBack, AnUnacknowledgedWriteLeavesTheDecisionToItsReadBack)
{
    Loaded f;
    f.panel.at("Edit2").text = "7";
    f.panel.at("Edit6").text = "7";
    // The first row's write goes unanswered; its read-back and all else answer.
    f.link.onTransaction = [&](const torv::ModbusLink::Transaction& t) {
        f.c.faults().silent = t.function == 0x03 && t.start == 96 && t.count == 1;
    };
    EXPECT_EQ(Loaded::writes(f.zapis()), Strings({"5:W108=170,100", "5:W109=170,100"}));
    EXPECT_TRUE(f.notifier.boxes.empty());
    EXPECT_EQ(f.c.memory()[108], 100);
    EXPECT_EQ(f.ctl("Edit2").text, "0,0") << "the refresh shows what the controller holds";
}

TEST(WriteBack, UnreadableFieldsAndUnselectedListsAreSkipped)
{
    Loaded f;
    f.c.memory()[122] = 3;   // LCD mode no list item shows
    f.c.memory()[155] = 120; // beyond the spinner, shown in exponent form
    f.c.memory()[156] = 123; // shown rounded: "1,2E2" read back is 120
    f.c.memory()[157] = 255; // blank memory: "2,6E2" read back is 4
    f.c.memory()[120] = 200; // beyond the tenths spinner: shown clamped, "5,0"
    f.console.toggleScanning(); // START reads it all again ...
    f.console.toggleScanning(); // ... STOP
    ASSERT_EQ(f.ctl("ComboBox4").listIndex, -1);
    ASSERT_EQ(f.ctl("Edit45").text, "1,2E2");
    ASSERT_EQ(f.ctl("Edit46").text, "1,2E2");
    ASSERT_EQ(f.ctl("Edit7").text, "5,0");
    f.bus.clear();
    f.panel.at("Edit5").text = "x";
    f.panel.at("Edit8").text = "7";
    EXPECT_EQ(Loaded::writes(f.zapis()), Strings({"5:W113=7,10"})) << "untouched fields are never rewritten";
    EXPECT_EQ(f.c.memory()[122], 3);
    EXPECT_EQ(f.c.memory()[155], 120);
    EXPECT_EQ(f.c.memory()[156], 123);
    EXPECT_EQ(f.c.memory()[157], 255);
    EXPECT_EQ(f.c.memory()[120], 200);
    EXPECT_EQ(f.c.memory()[112], 10);
}

// ---- address change ----------------------------------------------------------

TEST(AddressChange, FromFiveToSeven)
{
    const Box question{"question", "Czy napewno chcesz zmienić adres modułu ?\rStary adres=5, nowy adres=7",
                       "Modyfikacja adresu."};
    const Box noAnswer{"notice", "Brak komunikacji z modułem !!!", "Uwaga !"};
    struct Case {
        const char* name;
        bool ok;
        unsigned silentFrom; // the controller's n-th request of ZAPIS on, 0 never
        Strings sent;
        std::vector<Box> boxes;
        int active, saved;
    };
    const Case cases[] = {
        // The image followed the controller to its new address: only the changed row goes.
        {"answered", true, 0, Joined({"5:R96x1", "5:W96=0,7", "7:R96x2", "7:W120=1,10", "7:R120x2"}, BlockRead(7)),
         {question, {"notice", "Zmieniono adres na: 7 !!!", "Zapis OK!"}}, 7, 7},
        {"cancel", false, 0, Joined({"5:R96x1", "5:W120=1,10", "5:R120x2"}, BlockRead(5)), {question}, 5, 5},
        {"not acknowledged", true, 2, {"5:R96x1", "5:W96=0,7", "5:R96x2", "5:R96x8"},
         {question, {"notice", "Nie zmieniono adresu modułu !!!", "Uwaga !"}, noAnswer}, 5, 5},
        {"silent at the new address", true, 3, {"5:R96x1", "5:W96=0,7", "7:R96x2", "7:R96x8"}, {question, noAnswer}, 7, 5},
        // The unanswered address read is shown, and the operator's confirmed change still goes out.
        {"silent from the address read", true, 1, {"5:R96x1", "5:W96=0,7", "5:R96x2", "5:R96x8"},
         {noAnswer, question, {"notice", "Nie zmieniono adresu modułu !!!", "Uwaga !"}, noAnswer}, 5, 5},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Loaded f;
        f.panel.stepAddressSpinner(2); // the operator picks 7, where nobody answers yet
        f.console.chooseAddress();
        f.bus.clear();
        f.notifier.answerOk = k.ok;
        if (k.silentFrom)
            f.c.faults().failFrom = f.c.requests() + k.silentFrom;
        f.panel.at("Edit7").text = "0,1";
        const Strings sent = f.zapis();
        EXPECT_EQ(sent, k.sent);
        // The controller gets 10 ms after every write before it is asked again.
        const std::vector<std::uint64_t> pauses = f.pauses();
        for (std::size_t i = 1; i < sent.size(); ++i)
            if (sent[i - 1].find(":W") != std::string::npos) {
                EXPECT_EQ(pauses.at(i - 1), 10u) << sent[i];
            }
        EXPECT_EQ(f.notifier.boxes, k.boxes);
        EXPECT_EQ(f.console.activeAddress(), k.active);
        EXPECT_EQ(f.loadSavedSettings().ModuleAddress, k.saved);
    }
}

// ---- module baud rate and parity ---------------------------------------------

struct LineChange : Loaded {
    std::vector<std::pair<int, int>> openings; // baud and parity index of each port opening

    LineChange() : Loaded(1)
    {
        link.opener = [this](const std::string&, std::uint8_t baud, std::uint8_t parity) -> std::unique_ptr<torv::Port> {
            openings.emplace_back(baud, parity);
            return std::make_unique<torv::sim::SimPort>(line, clock);
        };
    }
};

TEST(ModuleLine, WritesOnOkAndMovesTheTesterInEveryCase)
{
    const Box baud{"question", "Czy napewno chcesz zmienić prędkość transmisji modułu?", "Modyfikacja parametrów transmisji."};
    const Box parity{"question", "Czy napewno chcesz zmienić parametry parzystości transmisji?",
                     "Modyfikacja parametrów transmisji."};
    struct Case {
        const char* name;
        bool parityList, ok, lastOk;
        int index;
        Strings sent;
        Box question;
        std::pair<int, int> opening;
        unsigned restarts;
    };
    const Case cases[] = {
        {"baud, cancel", false, false, true, 2, {}, baud, {2, 0}, 0},
        {"baud, ok", false, true, true, 0, {"1:W98=1,2", "1:R98x2", "1:W100=1,0"}, baud, {0, 0}, 1},
        {"baud, ok after a failed transaction", false, true, false, 0, {"1:W100=1,0"}, baud, {0, 0}, 1},
        // The index goes into the counter byte; the reset increments what came back.
        {"parity, ok", true, true, true, 2, {"1:W100=2,0", "1:R100x2", "1:W100=3,0"}, parity, {1, 2}, 2},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        LineChange f;
        f.notifier.answerOk = k.ok;
        if (!k.lastOk) {
            // The operator asked for an address where nobody answered.
            f.c.faults().silent = true;
            f.console.chooseAddress();
            f.c.faults().silent = false;
            ASSERT_FALSE(f.console.station().lastAnswered());
            f.bus.clear();
        }
        f.panel.at(k.parityList ? "ComboBox3" : "ComboBox1").listIndex = k.index;
        k.parityList ? f.console.changeModuleParity() : f.console.changeModuleBaud();
        EXPECT_EQ(f.bus.take(), k.sent);
        EXPECT_EQ(f.pauses(), std::vector<std::uint64_t>(k.sent.empty() ? 0 : k.sent.size() - 1, 10)) << "10 ms apart";
        EXPECT_EQ(f.notifier.boxes, std::vector<Box>{k.question});
        EXPECT_EQ(f.openings, (std::vector<std::pair<int, int>>{k.opening}));
        const torv::PortSettings saved = f.loadSavedSettings();
        EXPECT_EQ(k.parityList ? saved.ParityIndex : saved.BaudIndex, k.index);
        EXPECT_EQ(f.c.restarts(), k.restarts);
    }
}

TEST(ModuleLine, AfterAFailedReopeningAWriteBackSendsAndStoresNothing)
{
    Loaded f;
    f.portFails = true;
    f.notifier.answerOk = false;
    f.panel.at("ComboBox1").listIndex = 0;
    f.console.changeModuleBaud();
    ASSERT_FALSE(f.link.PortOpen);
    f.panel.at("Edit7").text = "0,1";
    EXPECT_TRUE(f.zapis().empty());
    EXPECT_EQ(f.link.image.at(5, 120), 10) << "no unsent value poses as the controller's";
    EXPECT_FALSE(f.console.dataLoaded());
}

// ---- alarm switch and spinners -----------------------------------------------

TEST(AlarmSwitch, WritesOnlyAChangeOfMeaning)
{
    struct Case {
        int image;
        bool checked;
        Strings sent;
    };
    const Case cases[] = {
        {1, true, {}},
        {0, false, {}},
        {1, false, {"1:W125=0,0", "1:R125x2"}},
        {0, true, {"1:W125=1,0", "1:R125x2"}},
        {2, true, {}},
        {255, true, {}},
        {2, false, {"1:W125=0,0", "1:R125x2"}},
        {255, false, {"1:W125=0,0", "1:R125x2"}},
    };
    for (const Case& k : cases) {
        Loaded f(1);
        f.link.image.at(1, 125) = static_cast<std::uint8_t>(k.image);
        f.panel.at("CheckBox1").checked = k.checked;
        f.console.switchAlarm();
        EXPECT_EQ(f.bus.take(), k.sent) << k.image << " " << k.checked;
        EXPECT_TRUE(f.notifier.boxes.empty());
    }
}

TEST(Spinners, FieldsShowThePositions)
{
    using torv::controls::UpDown;
    struct Case {
        torv::Control spinner;
        int position;
        const char* field;
        const char* text;
    };
    const Case cases[] = {
        {UpDown(2), -25, "Edit2", "-2,5"}, {UpDown(12), 0, "Edit12", "0,0"}, {UpDown(4), 5, "Edit4", "0,5"},
        {UpDown(7), 1, "Edit7", "0,1"},    {UpDown(5), 20, "Edit5", "20"},   {UpDown(14), 7, "Edit14", "7"},
        {UpDown(6), -3, "Edit6", "-0,3"},  {UpDown(8), 59, "Edit8", "59"},   {UpDown(9), 100, "Edit9", "10,0"},
        {UpDown(10), 12, "Edit10", "1,2"}, {UpDown(11), 1, "Edit11", "1"},
    };
    Loaded f(1);
    for (const Case& k : cases) {
        const std::size_t changes = f.panel.log.size();
        f.panel.at(k.spinner.name()).position = k.position;
        f.console.spinnerMoved(k.spinner);
        EXPECT_EQ(f.ctl(k.field).text, k.text) << k.spinner;
        EXPECT_EQ(f.panel.log.size(), changes + 1) << k.spinner << ": its own field, nothing else";
    }
    EXPECT_TRUE(f.bus.take().empty()) << "a spinner sends nothing";
}

} // namespace
