// mbpoll (a libmodbus master we did not write) against our simulator: what it
// reads must be the simulated controller's memory, and its function 06 write
// must land there.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "support/child_process.h"

using namespace torv::testing;

namespace {

struct PollRun {
    int status;
    std::string output;
};

PollRun mbpoll(const TempDir& dir, const std::vector<std::string>& args)
{
    std::vector<std::string> argv = {"mbpoll", "-m", "rtu", "-b", "9600", "-P", "none", "-0", "-1", "-o", "2"};
    argv.insert(argv.end(), args.begin(), args.end());
    static int n = 0;
    ChildProcess p(argv, dir.path() + "/mbpoll" + std::to_string(++n) + ".log");
    const int status = p.wait(10000); // -1: it polls once and ends
    return {status, p.output()};
}

// The value mbpoll printed for reference `ref`.
long valueOf(const std::string& output, int ref)
{
    std::smatch m;
    const std::regex re("\\[" + std::to_string(ref) + "\\]:\\s*(0x[0-9A-Fa-f]+|-?\\d+)");
    if (!std::regex_search(output, m, re))
        return -1;
    return std::stol(m[1].str(), nullptr, 0);
}

TEST(Mbpoll, ReadsAndWritesTheSimulatedController)
{
    TempDir dir;
    ChildProcess sim({TORV_SIM, "--address", "5", "--baud", "9600", "--dir", dir.path(), "--trace"},
                     dir.path() + "/sim.log");
    ASSERT_TRUE(sim.waitForOutput("ready"));
    const std::string port = dir.path() + "/COM1";

    // Four registers from 96: words of bytes 96/97 (0, own address),
    // 98/99 (baud code 2 twice), 100/101, 102/103.
    const PollRun read = mbpoll(dir, {"-a", "5", "-r", "96", "-c", "4", port});
    ASSERT_NE(read.output.find("[96]"), std::string::npos) << read.output;
    EXPECT_EQ(valueOf(read.output, 96), 0x0005);
    EXPECT_EQ(valueOf(read.output, 97), 0x0202);

    const PollRun write = mbpoll(dir, {"-a", "5", "-r", "112", port, "7710"}); // 0x1E1E: both vent times 30
    EXPECT_NE(write.output.find("Written 1 references"), std::string::npos) << write.output;

    const PollRun back = mbpoll(dir, {"-a", "5", "-r", "112", "-c", "1", port});
    EXPECT_EQ(valueOf(back.output, 112), 7710) << back.output;
    sim.stop();
    // The bus monitor saw a function 06 request for register 112 (0x70).
    EXPECT_NE(sim.output().find("05 06 00 70 1E 1E"), std::string::npos) << sim.output();
}

} // namespace
