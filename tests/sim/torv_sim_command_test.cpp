// The torv-sim command as the tester meets it: started, announced ready,
// opened as COM1 through the tester's own port code, stopped by a signal.
#include <filesystem>

#include <sys/wait.h>

#include <gtest/gtest.h>

#include "link/modbus_link.h"
#include "support/child_process.h"
#include "support/recording_notifier.h"
#include "support/shown_link.h"

namespace {

TEST(TorvSimCommand, AnswersTheTesterAtItsBaudAndCleansUp)
{
    torv::testing::TempDir dir;
    torv::testing::ChildProcess sim({TORV_SIM, "--address", "3", "--baud", "19200", "--dir", dir.path()},
                                    dir.path() + "/sim.log");
    ASSERT_TRUE(sim.waitForOutput("ready")) << sim.output();
    const std::string link = dir.path() + "/COM1";
    EXPECT_NE(sim.output().find(link), std::string::npos) << "the link path is announced";

    torv::PortSettings settings;
    settings.BaudIndex = 0; // 19200
    torv::SteadyClock clock;
    torv::testing::RecordingNotifier notifier;
    torv::ModbusLink bus(settings, clock);
    bus.workDir = dir.path();
    bus.Ustaw_COM();
    ASSERT_TRUE(bus.PortOpen);
    EXPECT_TRUE(torv::testing::ReadShown(bus, notifier, 3, 96, 2, true).ok());
    EXPECT_EQ(bus.image.at(3, 97), 3);
    EXPECT_EQ(bus.image.at(3, 99), 1) << "baud code of 19200";

    // The tester at 9600 cannot reach a controller at 19200.
    bus.CloseHandle();
    settings.BaudIndex = 1;
    bus.Ustaw_COM();
    ASSERT_TRUE(bus.PortOpen);
    EXPECT_FALSE(torv::testing::ReadShown(bus, notifier, 3, 96, 2, true).ok());
    ASSERT_FALSE(notifier.boxes.empty());
    EXPECT_EQ(notifier.boxes.back().text, "Brak komunikacji z modułem !!!");
    bus.CloseHandle();

    const int status = sim.stop();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

} // namespace
