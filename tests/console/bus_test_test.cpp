// The bus test over addresses 1..250, stepping through what it found, and
// picking a controller with the address spinner.
#include <algorithm>

#include <gtest/gtest.h>

#include "bus_log.h"
#include "console_fixture.h"
#include "monitor/bus_monitor.h"
#include "station/read_blk.h"
#include "view/colours.h"

using namespace torv::testing;
namespace colours = torv::colours;
using Strings = std::vector<std::string>;

namespace {

// A line with controllers at the given addresses, the tool started at `active`.
void prepare(ConsoleFixture& f, std::initializer_list<int> addresses, int active)
{
    for (int a : addresses)
        f.line.add(static_cast<std::uint8_t>(a));
    f.startAt(static_cast<std::uint8_t>(active));
    f.notifier.boxes.clear();
}

// The requests of one bus test: a probe of every address, the block read of each one answering.
Strings BusTestRequests(std::initializer_list<int> answering)
{
    Strings r;
    for (int a = 1; a <= 250; ++a) {
        r.push_back(std::to_string(a) + ":R96x2");
        if (std::find(answering.begin(), answering.end(), a) != answering.end())
            r = Joined(r, BlockRead(a));
    }
    return r;
}

TEST(BusTest, FindsEveryControllerAndKeepsTheActiveOne)
{
    ConsoleFixture f;
    prepare(f, {3, 7, 12}, 7);
    ASSERT_TRUE(f.console.scanning());
    BusLog bus;
    bus.attach(f.line);
    f.console.testBus();
    EXPECT_EQ(bus.take(), BusTestRequests({3, 7, 12}));
    EXPECT_EQ(f.console.foundAddresses(), (std::vector<std::uint8_t>{3, 7, 12}));
    EXPECT_EQ(f.console.foundAddresses().size(), 3u);
    EXPECT_EQ(f.console.foundIndex(), 1);
    EXPECT_TRUE(f.console.busTested());
    EXPECT_EQ(f.console.activeAddress(), 7);
    EXPECT_FALSE(f.console.scanning()) << "a bus test switches scanning off";
    EXPECT_EQ(f.ctl("Label26").text, "Test Sieci ModBUS poprawny, aktywnych urządzeń = 3");
    EXPECT_EQ(f.ctl("Label26").fontColor, colours::kBlue);
    EXPECT_EQ(f.ctl("Label33").text, "Skaner ModBUS = OFF");
    EXPECT_EQ(f.ctl("Label66").text, "ROZŁĄCZONY ! ");
    EXPECT_TRUE(f.notifier.boxes.empty());
    // Progress: 250 steps against a maximum of 250, emptied at the end.
    int steps = 0, maxima = 0;
    for (const auto& c : f.panel.log) {
        steps += c.control == "ProgressBar1" && c.property == torv::Property::ProgressStep;
        if (c.control == "ProgressBar1" && c.property == torv::Property::ProgressMax) {
            EXPECT_EQ(c.value, maxima++ == 0 ? 250 : 0);
        }
    }
    EXPECT_EQ(steps, 250);
    EXPECT_EQ(maxima, 2);
    EXPECT_EQ(f.ctl("ProgressBar1").progressValue, 0);
    EXPECT_GE(f.panel.repaints, 250) << "progress is painted during the test";
    // Each found controller's row holds its whole window.
    for (int a : {3, 7, 12})
        EXPECT_EQ(f.link.image.at(a, 97), a);

    // Stepping: 12, then 3, then 7; each saves the address and repaints.
    for (int expected : {12, 3, 7}) {
        f.console.nextAddress();
        EXPECT_EQ(f.console.activeAddress(), expected);
        EXPECT_EQ(f.settings.ModuleAddress, expected);
        EXPECT_EQ(f.loadSavedSettings().ModuleAddress, expected);
        EXPECT_EQ(f.ctl("Edit1").text, std::to_string(expected));
    }
    EXPECT_EQ(f.ctl("Label35").text, "TEST ModBUS = OK") << "a found controller reports OK";
    EXPECT_EQ(f.ctl("Label36").text.rfind("Błędy ModBus =", 0), 0u);
}

TEST(BusTest, ActiveAddressNotFoundStartsStepsFromTheFirst)
{
    ConsoleFixture f;
    prepare(f, {3, 12}, 7);
    f.console.testBus();
    EXPECT_EQ(f.console.foundIndex(), 0);
    f.console.nextAddress();
    EXPECT_EQ(f.console.activeAddress(), 12);
}

TEST(BusTest, SingleControllerIsSelectedAgainAndAgain)
{
    ConsoleFixture f;
    prepare(f, {9}, 9);
    f.console.testBus();
    for (int i = 0; i < 3; ++i) {
        f.console.nextAddress();
        EXPECT_EQ(f.console.activeAddress(), 9);
    }
}

TEST(BusTest, ControllerFailingItsBlockReadIsNotListedAndShowsItsBox)
{
    ConsoleFixture f;
    prepare(f, {4, 5}, 4);
    auto& five = *f.line.find(5);
    five.faults().failFrom = five.requests() + 3; // probe and first block read answer
    f.console.testBus();
    EXPECT_EQ(f.console.foundAddresses(), std::vector<std::uint8_t>{4});
    EXPECT_EQ(f.boxTexts(), std::vector<std::string>{"Brak komunikacji z modułem !!!"});
}

TEST(BusTest, NothingFoundKeepsTheEarlierColourAndTestsAgainOnNextAddress)
{
    ConsoleFixture f;
    prepare(f, {2}, 2);
    f.console.testBus();
    ASSERT_TRUE(f.console.busTested());
    f.line.find(2)->faults().silent = true;
    f.console.testBus();
    EXPECT_FALSE(f.console.busTested());
    EXPECT_EQ(f.ctl("Label26").text, "Test Sieci ModBUS nieaktywny, brak wykrytych urządzeń na linii !!!");
    EXPECT_EQ(f.ctl("Label26").fontColor, colours::kBlue);
    EXPECT_FALSE(f.console.station().lastAnswered());

    f.line.find(2)->faults().silent = false;
    BusLog bus;
    bus.attach(f.line);
    f.console.nextAddress();
    EXPECT_EQ(bus.take(), BusTestRequests({2})) << "a new bus test and nothing else";
    const RecordingNotifier::Box wait{"notice", "Automatyczne testowanie magistrali ModBUS...", "Proszę czekać !!!"};
    EXPECT_EQ(f.notifier.boxes, std::vector<RecordingNotifier::Box>{wait});
    EXPECT_TRUE(f.console.busTested()) << "the wait box is followed by a new test";
    const bool sawRunningText = std::any_of(f.panel.log.begin(), f.panel.log.end(), [](const auto& c) {
        return c.control == "Label26" && c.text == "Trwa test sieci MODBUS, proszę czekać....";
    });
    EXPECT_TRUE(sawRunningText);
}

TEST(AddressSpinner, SilentAddressTurnsTheFieldRedAndChangesNothingElse)
{
    ConsoleFixture f;
    prepare(f, {1}, 1);
    const unsigned before = f.requestsTo(1);
    f.panel.stepAddressSpinner(+1); // to 2: nobody there
    f.console.chooseAddress();
    EXPECT_EQ(f.ctl("Edit1").fontColor, colours::kRed);
    EXPECT_EQ(f.ctl("Label37").text, "Adr.nieaktywny");
    EXPECT_EQ(f.console.activeAddress(), 1);
    EXPECT_EQ(f.settings.ModuleAddress, 2) << "kept for a later address write-back";
    EXPECT_EQ(f.loadSavedSettings().ModuleAddress, 1);
    EXPECT_EQ(f.requestsTo(1), before);
    EXPECT_TRUE(f.notifier.boxes.empty());
}

TEST(AddressSpinner, AnsweringAddressWhileScanningOffMakesOneScan)
{
    ConsoleFixture f;
    prepare(f, {1, 2}, 1);
    f.console.toggleScanning(); // stop scanning
    ASSERT_FALSE(f.console.scanning());
    BusLog bus;
    bus.attach(f.line);
    f.panel.stepAddressSpinner(+1);
    f.console.chooseAddress();
    EXPECT_EQ(f.console.activeAddress(), 2);
    EXPECT_EQ(f.loadSavedSettings().ModuleAddress, 2);
    EXPECT_EQ(bus.take(), Joined(Joined({"2:R96x1"}, BlockRead(2)), {"2:R104x4", "2:R126x2", "2:R160x8"}))
        << "probe, block read, one scan";
    EXPECT_FALSE(f.console.scanning());
    EXPECT_TRUE(f.console.dataLoaded());
    EXPECT_EQ(f.ctl("Label33").text, "Skaner ModBUS = OFF");
    EXPECT_EQ(f.ctl("Button2").text, "&START");
    EXPECT_EQ(f.ctl("Label66").text, "POŁĄCZONY ");
    EXPECT_EQ(f.ctl("Label66").fontColor, colours::kGreen);
    EXPECT_EQ(f.ctl("Label36").text, "Błędy ModBUS=0");
    EXPECT_EQ(f.ctl("Label37").text, "Adr.aktywny");
}

// The scans go on after the change, and the indicators say so: "&START"
// on a button that stops the scans would tell the operator the opposite.
TEST(AddressSpinner, AnsweringAddressWhileScanningKeepsScanningAndShowsOn)
{
    ConsoleFixture f;
    prepare(f, {1, 2}, 1);
    ASSERT_TRUE(f.console.scanning());
    f.panel.stepAddressSpinner(+1);
    f.console.chooseAddress();
    EXPECT_TRUE(f.console.scanning());
    EXPECT_EQ(f.ctl("Label33").text, "Skaner ModBUS = ON");
    EXPECT_EQ(f.ctl("Button2").text, "&STOP");
    EXPECT_EQ(f.ctl("Label66").text, "POŁĄCZONY ");
    EXPECT_EQ(f.ctl("Label37").text, "Adr.aktywny");
    // The next press stops scanning.
    f.console.toggleScanning();
    EXPECT_FALSE(f.console.scanning());
    EXPECT_EQ(f.ctl("Label33").text, "Skaner ModBUS = OFF");
    EXPECT_EQ(f.ctl("Label66").text, "ROZŁĄCZONY ! ");
}

} // namespace

// The bus monitor over a bus test with a controller sending broken CRCs and
// one gone silent: the counters say which fail and how, and the frames in
// the simulator's layout carry what the simulator's own trace does.
TEST(BusTest, MonitorCountsEachProbeAndLinesUpWithTheSimulatorsTrace)
{
    ConsoleFixture f;
    prepare(f, {2, 3, 7}, 2);
    f.line.find(3)->faults().badCrc = true;
    f.line.find(7)->faults().silent = true;
    torv::bus_monitor::Recorder recorder;
    recorder.observe(f.link);
    Strings simulator;
    f.line.setTrace([&](std::uint64_t, const std::string& text) {
        if (text.rfind("in ", 0) == 0 || text.rfind("out", 0) == 0)
            simulator.push_back(text);
    });
    f.console.testBus();

    const auto& two = recorder.stats(2);
    const unsigned blockRead = static_cast<unsigned>(torv::kBlockReadStarts.size());
    EXPECT_EQ(two.requests, 1u + blockRead) << "probe and the block read";
    EXPECT_EQ(two.good, two.requests);
    ASSERT_TRUE(two.lastGoodUs.has_value());
    EXPECT_EQ(recorder.stats(3).requests, 1u);
    EXPECT_EQ(recorder.stats(3).crcErrors, 1u);
    EXPECT_EQ(recorder.stats(3).good, 0u);
    EXPECT_EQ(recorder.stats(7).noReply, 1u);
    for (int a : {1, 4, 100, 250}) {
        EXPECT_EQ(recorder.stats(static_cast<std::uint8_t>(a)).requests, 1u) << a;
        EXPECT_EQ(recorder.stats(static_cast<std::uint8_t>(a)).noReply, 1u) << a;
    }

    Strings ours;
    const auto& ring = recorder.frames();
    for (std::uint64_t s = ring.firstSeq(); s < ring.endSeq(); ++s)
        for (const std::string& line : torv::bus_monitor::TraceLines(ring.at(s), 0)) {
            const std::string what = line.substr(15);
            if (what.rfind("in ", 0) == 0 || what.rfind("out", 0) == 0)
                ours.push_back(what);
        }
    EXPECT_EQ(ours.size(), 250u + blockRead + (1u + blockRead) + 1u) << "every request, each reply that came";
    EXPECT_EQ(ours, simulator);
}
