// The simulator on a real pseudo-terminal, opened through its link the way
// the tester opens a serial port.
#include <chrono>
#include <filesystem>
#include <fstream>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "sim/pty_server.h"
#include "sim_frames.h"
#include "support/child_process.h"

using namespace torv::sim;
using namespace torv::sim::testing;
namespace fs = std::filesystem;

namespace {

// Generous: only a broken server takes this long, a slow machine does not.
constexpr int kGiveUpMs = 5000;

int openPort(const std::string& path, speed_t speed)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0)
        return fd;
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    cfsetspeed(&t, speed);
    tcsetattr(fd, TCSANOW, &t);
    return fd;
}

void setSpeed(int fd, speed_t speed)
{
    termios t{};
    tcgetattr(fd, &t);
    cfsetspeed(&t, speed);
    tcsetattr(fd, TCSANOW, &t);
}

// Reads until `n` bytes came or the server plainly is not answering.
Bytes readBytes(int fd, std::size_t n, int giveUpMs = kGiveUpMs)
{
    Bytes got;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(giveUpMs);
    while (got.size() < n && std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) > 0 && (p.revents & POLLIN)) {
            std::uint8_t buffer[64];
            const ssize_t r = ::read(fd, buffer, sizeof buffer);
            if (r > 0)
                got.insert(got.end(), buffer, buffer + r);
        }
    }
    return got;
}

Bytes expectedReply(PtyServer& server, Controller& c)
{
    std::lock_guard<std::mutex> lock(server.mutex());
    return withCrc({1, 3, 2, c.memory()[112], c.memory()[113]});
}

TEST(PtyServer, ServesThroughTheLinkAndRemovesItOnStop)
{
    torv::testing::TempDir dir;
    const fs::path base = dir.path();
    Line line;
    Controller& c = line.add(1);
    PtyServer server(line, PtyOptions{"COM1", base.string(), true});
    std::string error;
    ASSERT_TRUE(server.open(error)) << error;
    const fs::path link = base / "COM1";
    ASSERT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link), server.slavePath());
    server.start();

    const Bytes request = readRequest(1, 112, 1);
    int fd = openPort(link, B9600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, request.data(), request.size()), static_cast<ssize_t>(request.size()));
    EXPECT_EQ(readBytes(fd, 7), expectedReply(server, c));

    // At another speed the controller cannot make out the frame.
    setSpeed(fd, B19200);
    ASSERT_EQ(::write(fd, request.data(), request.size()), static_cast<ssize_t>(request.size()));
    EXPECT_TRUE(readBytes(fd, 1, 300).empty());
    {
        std::lock_guard<std::mutex> lock(server.mutex());
        EXPECT_EQ(c.requests(), 1u) << "the frame at 19200 baud never reached the controller";
    }

    // Closed with a reply unread and opened again, as the tester does on every
    // port change: the new opening starts with an empty queue.
    setSpeed(fd, B9600);
    ASSERT_EQ(::write(fd, request.data(), request.size()), static_cast<ssize_t>(request.size()));
    pollfd p{fd, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, kGiveUpMs), 1);
    const unsigned closes = server.clientCloses();
    ::close(fd);
    for (int waited = 0; server.clientCloses() == closes && waited < kGiveUpMs; waited += 10)
        usleep(10000);
    fd = openPort(link, B9600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, request.data(), request.size()), static_cast<ssize_t>(request.size()));
    EXPECT_EQ(readBytes(fd, 7), expectedReply(server, c));
    ::close(fd);

    server.stop();
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

TEST(PtyServer, ReplacesAStaleLinkButNoOtherFile)
{
    torv::testing::TempDir dir;
    const fs::path base = dir.path();
    Line line;
    line.add(1);
    fs::create_symlink("/dev/pts/nonexistent", base / "COM1");
    {
        PtyServer server(line, PtyOptions{"COM1", base.string(), true});
        std::string error;
        ASSERT_TRUE(server.open(error)) << error;
        EXPECT_EQ(fs::read_symlink(base / "COM1"), server.slavePath());
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(base / "COM1"))) << "the destructor removes the link";

    std::ofstream(base / "COM2") << "keep me";
    PtyServer server(line, PtyOptions{"COM2", base.string(), true});
    std::string error;
    EXPECT_FALSE(server.open(error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(fs::is_regular_file(base / "COM2"));
}

} // namespace
