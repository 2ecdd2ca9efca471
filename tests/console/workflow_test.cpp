// Start-up, scanning, port change, exit and the contact link, on simulated
// controllers and a virtual clock.
#include <gtest/gtest.h>

#include "bus_log.h"
#include "console_fixture.h"
#include "link/com_device.h"
#include "view/colours.h"

using namespace torv::testing;
namespace colours = torv::colours;
using Strings = std::vector<std::string>;

namespace {

struct Status {
    std::string label33, button2, label66, label35, label36, label37;
    int label33Colour, label66Colour, label35Colour, label36Colour, label37Colour;
};

Status statusOf(const ConsoleFixture& f)
{
    return {f.ctl("Label33").text,           f.ctl("Button2").text,           f.ctl("Label66").text,
            f.ctl("Label35").text,           f.ctl("Label36").text,           f.ctl("Label37").text,
            f.ctl("Label33").fontColor,      f.ctl("Label66").fontColor,      f.ctl("Label35").fontColor,
            f.ctl("Label36").fontColor,      f.ctl("Label37").fontColor};
}

void expectScanning(const Status& s, bool on)
{
    EXPECT_EQ(s.label33, on ? "Skaner ModBUS = ON" : "Skaner ModBUS = OFF");
    EXPECT_EQ(s.label33Colour, on ? colours::kRed : colours::kBlue);
    EXPECT_EQ(s.button2, on ? "&STOP" : "&START");
    EXPECT_EQ(s.label66, on ? "POŁĄCZONY " : "ROZŁĄCZONY ! ");
    EXPECT_EQ(s.label66Colour, on ? colours::kGreen : colours::kRed);
}

TEST(StartUp, AnsweringControllerIsReadAndScanningStarts)
{
    ConsoleFixture f;
    f.line.add(5);
    f.saveSettings(5, {.ComIndex = 3, .ParityIndex = 2});
    f.console.start();
    const Status s = statusOf(f);
    expectScanning(s, true);
    EXPECT_EQ(s.label35, "TEST ModBUS = OK");
    EXPECT_EQ(s.label35Colour, colours::kBlue);
    EXPECT_EQ(s.label36, "Błędy MODBUS=0");
    EXPECT_EQ(s.label36Colour, colours::kBlue);
    EXPECT_EQ(s.label37, "Adr.aktywny");
    EXPECT_EQ(f.ctl("Edit1").fontColor, colours::kBlue);
    EXPECT_TRUE(f.console.scanning());
    EXPECT_TRUE(f.console.dataLoaded());
    EXPECT_EQ(f.console.activeAddress(), 5);
    EXPECT_TRUE(f.notifier.boxes.empty());
    // The block read was painted: address field, set temperature, lists.
    EXPECT_EQ(f.ctl("Edit1").text, "5");
    EXPECT_EQ(f.ctl("Edit16").text, std::to_string(f.line.find(5)->memory()[106]));
    EXPECT_EQ(f.ctl("ComboBox4").listIndex, f.line.find(5)->memory()[122]);
    EXPECT_EQ(f.requestsTo(5), 9u) << "start-up makes the block read and no scan";
    EXPECT_EQ(f.ctl("ComboBox1").listIndex, 1) << "list selections from the settings";
    EXPECT_EQ(f.ctl("ComboBox2").listIndex, 3);
    EXPECT_EQ(f.ctl("ComboBox3").listIndex, 2);
    EXPECT_EQ(f.ctl("UpDown1").position, 5);
}

TEST(StartUp, SilentControllerShowsOneBoxAndTheFailureIndicators)
{
    ConsoleFixture f;
    BusLog bus;
    bus.attach(f.line);
    f.startAt(1); // nobody on the line
    EXPECT_EQ(f.boxTexts(), std::vector<std::string>{"Brak komunikacji z modułem !!!"});
    EXPECT_EQ(bus.take(), Strings{"1:R96x8"});
    // The port settles 20 ms; the request's last byte leaves 7 byte times of 2 ms after its first.
    EXPECT_EQ(bus.takenAtUs, std::vector<std::uint64_t>{(20 + 7 * 2) * 1000});
    const Status s = statusOf(f);
    expectScanning(s, false);
    EXPECT_EQ(s.label35, "ModBUS ERROR !!!");
    EXPECT_EQ(s.label35Colour, colours::kRed);
    EXPECT_EQ(s.label36, "Błędy MODBUS=1");
    EXPECT_EQ(s.label36Colour, colours::kRed);
    EXPECT_EQ(s.label37, "Adr.nieaktywny");
    EXPECT_EQ(s.label37Colour, colours::kRed);
    EXPECT_EQ(f.ctl("Edit1").fontColor, colours::kRed);
    EXPECT_FALSE(f.console.dataLoaded());
}

TEST(StartUp, PortThatCannotOpenFailsWithoutATransactionBox)
{
    ConsoleFixture f;
    f.portFails = true;
    f.line.add(1);
    f.startAt(1);
    ASSERT_EQ(f.notifier.boxes.size(), 1u);
    EXPECT_EQ(f.notifier.boxes[0].kind, "error");
    EXPECT_EQ(f.notifier.beeps, 1);
    EXPECT_EQ(f.requestsTo(1), 0u);
    EXPECT_EQ(f.console.errorCount(), 1);
    EXPECT_FALSE(f.console.scanning());
    EXPECT_EQ(statusOf(f).label35, "ModBUS ERROR !!!");
    EXPECT_EQ(statusOf(f).label37, "Adr.nieaktywny");
}

TEST(StartUp, MissingSettingsFileFallsBackToDefaultsAndRunsOnce)
{
    ConsoleFixture f;
    f.line.add(1);
    f.console.start();
    EXPECT_EQ(f.boxTexts(), std::vector<std::string>{"Prawdopodobnie brak zbioru konfiguracyjnego."});
    EXPECT_TRUE(f.console.scanning());
    f.console.start(); // a later activation does nothing
    EXPECT_EQ(f.requestsTo(1), 9u);
    EXPECT_EQ(f.notifier.boxes.size(), 1u);
}

TEST(Scanning, StartReadsTheWindowThenScansAtOnce)
{
    ConsoleFixture f;
    f.startAt(1);            // silent at start-up
    f.line.add(1);           // the controller comes on line
    f.notifier.boxes.clear();
    f.console.toggleScanning();
    EXPECT_TRUE(f.console.scanning());
    EXPECT_EQ(f.requestsTo(1), 9u + 3u);
    EXPECT_EQ(f.console.errorCount(), 0) << "a good module read resets the counter";
    const Status s = statusOf(f);
    expectScanning(s, true);
    EXPECT_EQ(s.label35, "TEST ModBUS = OK");
    EXPECT_EQ(s.label36, "Błędy ModBUS=0");
    EXPECT_EQ(s.label37, "Adr.aktywny");
    EXPECT_TRUE(f.notifier.boxes.empty());
}

TEST(Scanning, StartWithAGoodReadAndAFailedScanScansOnAndCountsTheScan)
{
    ConsoleFixture f;
    BusLog bus;
    bus.attach(f.line);
    f.startAt(1); // silent at start-up
    f.line.add(1).faults().failFrom = 9 + 2; // the block read and the first measurement read answer
    f.notifier.boxes.clear();
    bus.clear();
    f.console.toggleScanning();
    EXPECT_EQ(bus.take(), Joined(BlockRead(1), {"1:R104x4", "1:R126x2"})) << "no temperature read after a failed read";
    EXPECT_TRUE(f.console.scanning());
    EXPECT_TRUE(f.console.dataLoaded());
    EXPECT_EQ(f.console.errorCount(), 1) << "reset by the module read, then the scan counted";
    const Status s = statusOf(f);
    expectScanning(s, true);
    EXPECT_EQ(s.label35, "TEST ModBUS ERROR !");
    EXPECT_EQ(s.label36, "Błędy ModBUS=1");
    EXPECT_EQ(s.label37, "Adr.aktywny");
    EXPECT_TRUE(f.notifier.boxes.empty());
}

TEST(Scanning, StartWithSilentControllerStaysOffAndCountsOne)
{
    ConsoleFixture f;
    f.startAt(1);
    const auto before = f.console.errorCount();
    f.notifier.boxes.clear();
    f.console.toggleScanning();
    EXPECT_EQ(f.notifier.boxes.size(), 1u);
    EXPECT_FALSE(f.console.scanning());
    EXPECT_EQ(f.console.errorCount(), before + 1);
    EXPECT_EQ(statusOf(f).button2, "&START");
}

TEST(Scanning, StopWhileControllerFellSilentCountsTwoWithoutBox)
{
    ConsoleFixture f;
    f.line.add(1);
    f.startAt(1);
    ASSERT_TRUE(f.console.scanning());
    f.line.find(1)->faults().silent = true;
    f.console.toggleScanning();
    EXPECT_TRUE(f.notifier.boxes.empty());
    EXPECT_FALSE(f.console.scanning());
    EXPECT_EQ(f.console.errorCount(), 2);
    EXPECT_TRUE(f.console.dataLoaded()) << "stop does not touch DataLoaded";
    const Status s = statusOf(f);
    expectScanning(s, false);
    EXPECT_EQ(s.label35, "ModBUS ERROR !!!");
    EXPECT_EQ(s.label36, "Błędy MODBUS=2");
    EXPECT_EQ(s.label37, "Adr.nieaktywny");
}

TEST(Scanning, TimerTickScansOnlyWhileScanningIsOn)
{
    ConsoleFixture f;
    f.startAt(1);
    f.line.add(1);
    const auto logSize = f.panel.log.size();
    f.console.scanTick();
    EXPECT_EQ(f.requestsTo(1), 0u);
    EXPECT_EQ(f.panel.log.size(), logSize) << "a tick with scanning off changes nothing";

    BusLog bus;
    bus.attach(f.line);
    f.console.toggleScanning();
    ASSERT_TRUE(f.console.scanning());
    bus.clear();
    f.console.scanTick();
    EXPECT_EQ(bus.take(), Strings({"1:R104x4", "1:R126x2", "1:R160x8"}));
    EXPECT_EQ(f.ctl("Label35").text, "TEST ModBUS = OK");
    EXPECT_EQ(f.ctl("Label66").text, "POŁĄCZONY ");
    EXPECT_EQ(f.ctl("Label36").text, "Błędy ModBUS=0");
}

TEST(Scanning, FailedScanKeepsDisplayCountsAndWrapsAt65536)
{
    ConsoleFixture f;
    f.line.add(1);
    f.startAt(1);
    f.console.scanTick();
    const std::string shownDry = f.ctl("Label5").text;
    f.line.find(1)->faults().silent = true;
    // The counter's top, one failed scan at a time (the paint log kept short).
    for (int i = 0; i < 65535; ++i) {
        f.console.scanTick();
        f.panel.log.clear();
    }
    ASSERT_EQ(f.console.errorCount(), 65535);
    const std::size_t painted = f.panel.log.size();
    f.console.scanTick();
    for (std::size_t i = painted; i < f.panel.log.size(); ++i)
        EXPECT_NE(f.panel.log[i].control, "Label5") << "a failed scan paints no measurement";
    EXPECT_EQ(f.console.errorCount(), 0);
    EXPECT_EQ(f.ctl("Label36").text, "Błędy ModBUS=0");
    EXPECT_EQ(f.ctl("Label36").fontColor, colours::kBlue);
    EXPECT_EQ(f.ctl("Label35").text, "TEST ModBUS ERROR !");
    EXPECT_EQ(f.ctl("Label35").fontColor, colours::kRed);
    EXPECT_EQ(f.ctl("Label5").text, shownDry);
    EXPECT_TRUE(f.console.scanning()) << "a failed scan does not stop scanning";
    EXPECT_TRUE(f.notifier.boxes.empty());
}

TEST(Scanning, NextTickRecoversWhenTheControllerAnswersAgain)
{
    ConsoleFixture f;
    f.line.add(1);
    f.startAt(1);
    auto& c = *f.line.find(1);
    c.faults().exceptionCode = 2;
    f.console.scanTick();
    EXPECT_EQ(f.ctl("Label35").text, "TEST ModBUS ERROR !");
    EXPECT_EQ(f.console.errorCount(), 1);
    c.faults().exceptionCode = 0;
    f.console.scanTick();
    EXPECT_EQ(f.ctl("Label35").text, "TEST ModBUS = OK");
    EXPECT_EQ(f.ctl("Label36").text, "Błędy ModBUS=1") << "only a module read resets the counter";
}

TEST(PortChange, SavesTheIndexAndReopens)
{
    ConsoleFixture f;
    f.line.add(1);
    f.startAt(1);
    int opened = 0;
    std::string device;
    f.link.opener = [&](const std::string& d, std::uint8_t, std::uint8_t) -> std::unique_ptr<torv::Port> {
        ++opened;
        device = d;
        return std::make_unique<torv::sim::SimPort>(f.line, f.clock);
    };
    const unsigned sent = f.requestsTo(1);
    f.panel.at("ComboBox2").listIndex = 3;
    f.console.choosePort();
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(device, torv::ResolveComDevice(3, f.dir.path())) << "COM4";
    EXPECT_EQ(f.loadSavedSettings().ComIndex, 3);
    EXPECT_EQ(f.requestsTo(1), sent) << "no transaction follows";
    EXPECT_TRUE(f.link.PortOpen);
}

TEST(Exit, CancelKeepsRunningOkClosesThePort)
{
    ConsoleFixture f;
    f.line.add(1);
    f.startAt(1);
    f.notifier.answerOk = false;
    f.console.quit();
    EXPECT_FALSE(f.panel.closed);
    EXPECT_TRUE(f.link.PortOpen);
    ASSERT_EQ(f.notifier.boxes.size(), 1u);
    EXPECT_EQ(f.notifier.boxes[0],
              (RecordingNotifier::Box{"question", "Czy zakończyć program?", "Koniec pracy..."}));
    f.notifier.answerOk = true;
    f.console.quit();
    EXPECT_TRUE(f.panel.closed);
    EXPECT_FALSE(f.link.PortOpen);
}

TEST(ContactLink, HoverLookAndOpenWithTheWholeCaption)
{
    ConsoleFixture f;
    // The window paints the look itself, with or without a console.
    f.panel.apply(torv::Console::ContactLinkLook(true));
    EXPECT_EQ(f.ctl("Label11").fontColor, colours::kRed);
    EXPECT_TRUE(f.ctl("Label11").underline);
    f.panel.apply(torv::Console::ContactLinkLook(false));
    EXPECT_EQ(f.ctl("Label11").fontColor, colours::kPurple);
    EXPECT_FALSE(f.ctl("Label11").underline);
    f.console.openContactLink();
    EXPECT_EQ(f.panel.openedLinks, std::vector<std::string>{f.ctl("Label11").text});
}

TEST(ParameterView, ARefreshNeverWritesTheAlarmByte)
{
    for (const int stored : {0, 1, 2, 255}) {
        ConsoleFixture f;
        auto& c = f.line.add(1);
        c.memory()[125] = static_cast<std::uint8_t>(stored);
        c.memory()[126] = 7;
        f.startAt(1);
        EXPECT_EQ(f.ctl("CheckBox1").checked, stored != 0) << stored;
        f.console.toggleScanning(); // STOP: a refresh from a module read
        f.console.toggleScanning(); // START: another
        EXPECT_EQ(c.memory()[125], stored) << "the controller keeps its byte";
        EXPECT_EQ(c.memory()[126], 7);
        EXPECT_EQ(f.writesTo(1), 0u) << stored;
        EXPECT_EQ(f.ctl("Label35").text, "TEST ModBUS = OK");
    }
}

} // namespace
