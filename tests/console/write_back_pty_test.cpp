// Write-back, the baud rate change and the reset through a real serial port:
// the simulator serves a pseudo-terminal, the console talks to it on the
// real clock, and the requests are checked as the simulator received them.
#include <gtest/gtest.h>

#include "app/console/console.h"
#include "bus_log.h"
#include "recorded_panel.h"
#include "sim/pty_server.h"
#include "support/child_process.h"
#include "support/recording_notifier.h"
#include "support/shown_link.h"

using namespace torv::testing;
using Box = RecordingNotifier::Box;
using Strings = std::vector<std::string>;

namespace {

class PtyConsole : public ::testing::Test {
protected:
    // One controller at `address`, served on COM1 of the test's directory;
    // the settings file names the same address.
    void serve(std::uint8_t address)
    {
        {
            std::lock_guard<std::mutex> lock(server.mutex());
            controller = &line.add(address);
            bus.attach(line);
        }
        std::string error;
        ASSERT_TRUE(server.open(error)) << error;
        server.start();
        console.useSeparator(",");
        link.workDir = dir.path();
        panel.onCheckBoxClick = [this] { console.switchAlarm(); };
        torv::PortSettings s;
        s.ModuleAddress = address;
        RecordingNotifier quiet;
        torv::SettingsFile(quiet, dir.path()).SaveSettings(s);
    }
    // Start-up at `address`, then scanning stopped: the state ZAPIS works in.
    // Its reads take the frame rule, so they spend no real-time quiet
    // periods; what the test does afterwards takes the window's rule.
    void loaded(std::uint8_t address)
    {
        link.replyRule = torv::ReplyRule::Frame;
        console.start();
        console.toggleScanning(); // STOP
        link.replyRule = torv::ReplyRule::Quiet;
        ASSERT_TRUE(link.PortOpen);
        ASSERT_TRUE(console.dataLoaded());
        ASSERT_FALSE(console.scanning());
        ASSERT_EQ(console.activeAddress(), address);
        bus.clear();
        notifier.boxes.clear();
    }
    std::uint8_t memory(int byte)
    {
        std::lock_guard<std::mutex> lock(server.mutex());
        return controller->memory()[static_cast<std::size_t>(byte)];
    }
    torv::PortSettings saved()
    {
        torv::PortSettings s;
        RecordingNotifier quiet;
        torv::SettingsFile(quiet, dir.path()).LoadSettings(s);
        return s;
    }

    TempDir dir;
    torv::sim::Line line;
    torv::sim::PtyServer server{line, torv::sim::PtyOptions{"COM1", dir.path(), true}};
    torv::sim::Controller* controller = nullptr;
    BusLog bus;
    torv::SteadyClock clock;
    RecordingNotifier notifier;
    torv::PortSettings settings;
    torv::ModbusLink link{settings, clock};
    torv::SettingsFile settingsFile{notifier, dir.path()};
    RecordedPanel panel;
    torv::Console console{link, settingsFile, notifier, panel};
};

TEST_F(PtyConsole, AddressChangeAndAFieldInOneWriteBack)
{
    ASSERT_NO_FATAL_FAILURE(serve(5));
    ASSERT_NO_FATAL_FAILURE(loaded(5));
    panel.stepAddressSpinner(2);
    console.chooseAddress(); // nobody at 7 yet
    panel.at("Edit7").text = "0,1";
    bus.clear();
    notifier.boxes.clear();

    console.writeBack();
    Strings expected{"5:R96x1", "5:W96=0,7", "7:R96x2", "7:W120=1,10", "7:R120x2"};
    for (int start : {96, 104, 112, 120, 160, 128, 136, 144, 152})
        expected.push_back("7:R" + std::to_string(start) + "x8");
    EXPECT_EQ(bus.take(), expected);
    EXPECT_EQ(notifier.boxes,
              std::vector<Box>({{"question", "Czy napewno chcesz zmienić adres modułu ?\rStary adres=5, nowy adres=7",
                                 "Modyfikacja adresu."},
                                {"notice", "Zmieniono adres na: 7 !!!", "Zapis OK!"}}));
    EXPECT_EQ(memory(97), 7);
    EXPECT_EQ(memory(120), 1);
    EXPECT_EQ(saved().ModuleAddress, 7);
    EXPECT_TRUE(console.dataLoaded()) << "the refresh read the controller at its new address";
}

TEST_F(PtyConsole, BaudChangeMovesControllerAndTesterToTheNewSpeed)
{
    ASSERT_NO_FATAL_FAILURE(serve(1));
    ASSERT_NO_FATAL_FAILURE(loaded(1));
    panel.at("ComboBox1").listIndex = 0; // 19 200 b/s
    console.changeModuleBaud();
    EXPECT_EQ(bus.take(), Strings({"1:W98=1,2", "1:R98x2", "1:W100=1,0"}));
    EXPECT_EQ(memory(99), 1) << "the controller restarted at 19200 baud";
    EXPECT_EQ(saved().BaudIndex, 0);

    // The line checks speeds: only a tester at 19200 baud is heard now.
    EXPECT_TRUE(torv::testing::ReadShown(link, notifier, 1, 96, 2, true).ok());
    EXPECT_EQ(bus.take(), Strings{"1:R96x2"});
}

// A pty takes no parity: every reopening after a parity change still opens
// the port and the line still answers; stderr says why, once.
TEST_F(PtyConsole, ParityChangesOnThePtyKeepThePortOpenAndAreToldOnce)
{
    ASSERT_NO_FATAL_FAILURE(serve(1));
    link.Ustaw_COM();
    notifier.answerOk = false; // the tester alone changes parity
    ::testing::internal::CaptureStderr();
    for (const int parity : {1, 1, 2}) {
        panel.at("ComboBox3").listIndex = parity;
        console.changeModuleParity();
        ASSERT_TRUE(link.PortOpen) << "parity " << parity;
    }
    const std::string told = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(told, "port COM1 (" + link.deviceName() + ") is a pseudo-terminal, which carries no parity: opened without it\n");
    EXPECT_EQ(saved().ParityIndex, 2);
    EXPECT_TRUE(link.Read_Modbus_Byte(1, 96, 2).ok());
    EXPECT_EQ(notifier.boxes.size(), 3u) << "the three questions, no port error";
}

TEST_F(PtyConsole, BaudChangeCancelledMovesOnlyTheTester)
{
    ASSERT_NO_FATAL_FAILURE(serve(1));
    link.Ustaw_COM();
    notifier.answerOk = false;
    panel.at("ComboBox1").listIndex = 2; // 4 800 b/s
    console.changeModuleBaud();
    EXPECT_EQ(saved().BaudIndex, 2);
    // The controller stays at 9600 baud and cannot make out a frame at 4800.
    EXPECT_FALSE(link.Read_Modbus_Byte(1, 96, 2).ok());
    EXPECT_EQ(bus.take(), Strings{"1:R96x2"}) << "the cancelled change sent nothing";
    EXPECT_EQ(memory(99), 2);
}

TEST_F(PtyConsole, ResetFromTheTopOfTheCounterSendsZero)
{
    ASSERT_NO_FATAL_FAILURE(serve(1));
    {
        std::lock_guard<std::mutex> lock(server.mutex());
        controller->memory()[100] = 255;
    }
    link.Ustaw_COM();
    console.resetModule();
    EXPECT_EQ(bus.take(), Strings({"1:R100x2", "1:W100=0,0"}));
    EXPECT_EQ(memory(100), 0);
}

} // namespace
