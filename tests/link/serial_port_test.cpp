// The link on real pseudo-terminals: termios settings, exclusive open, a
// transaction through the kernel, and a line that disappears under the tool.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "link/modbus_link.h"
#include "link/serial_port.h"
#include "sim/pty_server.h"
#include "support/recording_notifier.h"
#include "support/shown_link.h"
#include "support/scripted_port.h"

namespace fs = std::filesystem;
using torv::testing::RecordingNotifier;
using Bytes = std::vector<std::uint8_t>;

namespace {

struct Pty {
    int master = -1;
    std::string slave;
    Pty()
    {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        grantpt(master);
        unlockpt(master);
        slave = ptsname(master);
        termios t{};
        tcgetattr(master, &t);
        cfmakeraw(&t);
        tcsetattr(master, TCSANOW, &t);
    }
    ~Pty() { closeMaster(); }
    void closeMaster()
    {
        if (master >= 0)
            ::close(master);
        master = -1;
    }
    // Reads exactly n bytes from the master side, or fewer on timeout.
    Bytes readFrame(std::size_t n, int timeoutMs = 2000) const
    {
        Bytes out;
        while (out.size() < n) {
            pollfd p{master, POLLIN, 0};
            if (poll(&p, 1, timeoutMs) <= 0)
                break;
            std::uint8_t buf[64];
            const ssize_t r = ::read(master, buf, std::min<std::size_t>(sizeof buf, n - out.size()));
            if (r <= 0)
                break;
            out.insert(out.end(), buf, buf + r);
        }
        return out;
    }
};

struct WorkDir {
    fs::path path;
    WorkDir()
    {
        char tmpl[] = "/tmp/torv-pty-XXXXXX";
        path = mkdtemp(tmpl);
    }
    ~WorkDir() { fs::remove_all(path); }
    void link(const std::string& name, const std::string& target)
    {
        fs::remove(path / name);
        fs::create_symlink(target, path / name);
    }
};

struct Tester {
    torv::PortSettings settings;
    torv::SteadyClock clock;
    RecordingNotifier notifier;
    torv::ModbusLink link{settings, clock};
    explicit Tester(const fs::path& dir) { link.workDir = dir.string(); }
};

TEST(SerialPort, OpensTheWorkDirLinkRawAtTheChosenSpeed)
{
    struct Case {
        std::uint8_t baudIndex;
        speed_t speed;
    };
    for (const Case c : {Case{0, B19200}, Case{1, B9600}, Case{2, B4800}, Case{9, B19200}}) {
        Pty pty;
        WorkDir dir;
        dir.link("COM1", pty.slave);
        Tester t(dir.path);
        t.settings.BaudIndex = c.baudIndex;
        torv::testing::OpenShown(t.link, t.notifier);
        ASSERT_TRUE(t.link.PortOpen);
        EXPECT_TRUE(t.notifier.boxes.empty());
        EXPECT_EQ(t.link.deviceName(), (dir.path / "COM1").string());

        termios tio{};
        ASSERT_EQ(tcgetattr(pty.master, &tio), 0); // the master reports the slave's settings
        EXPECT_EQ(cfgetospeed(&tio), c.speed);
        EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(tio.c_cflag & (CSTOPB | CRTSCTS | HUPCL), 0u);
        EXPECT_EQ(tio.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
        EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
        EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL | INLCR), 0u);
        EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    }
}

// A pty carries no parity, and a kernel may refuse it there on any open after
// the first: it is left off, and the port says so for its caller to tell.
TEST(SerialPort, SimulatorsPtyOpensWithParityAskedEveryTime)
{
    WorkDir dir;
    torv::sim::Line line;
    torv::sim::PtyServer server{line, torv::sim::PtyOptions{"COM1", dir.path.string(), true}};
    std::string why;
    ASSERT_TRUE(server.open(why)) << why;
    const std::string com1 = (dir.path / "COM1").string();
    for (const torv::Parity parity : {torv::Parity::Even, torv::Parity::Even, torv::Parity::Odd, torv::Parity::None}) {
        torv::OpenError error;
        const auto port = torv::SerialPort::open(com1, {9600, parity}, &error);
        ASSERT_TRUE(port) << "parity " << int(parity) << ": " << error.text;
        EXPECT_EQ(port->parityLeftOff(), parity != torv::Parity::None);
        termios tio{};
        ASSERT_EQ(tcgetattr(port->fd(), &tio), 0);
        EXPECT_EQ(tio.c_cflag & (PARENB | PARODD), 0u);
        EXPECT_EQ(tio.c_iflag & INPCK, 0u);
        EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B9600)) << "the rest of the line as asked";
    }
}

TEST(SerialPort, SecondOpenerIsRefusedUntilTheFirstCloses)
{
    Pty pty;
    WorkDir dir;
    dir.link("COM1", pty.slave);
    Tester first(dir.path), second(dir.path);
    torv::testing::OpenShown(first.link, first.notifier);
    ASSERT_TRUE(first.link.PortOpen);

    torv::testing::OpenShown(second.link, second.notifier);
    EXPECT_FALSE(second.link.PortOpen);
    EXPECT_EQ(second.notifier.beeps, 1);
    ASSERT_EQ(second.notifier.boxes.size(), 1u);
    EXPECT_EQ(second.notifier.boxes[0],
              (RecordingNotifier::Box{"error", "Niewłaściwa nazwa portu COM1\r lub jest on aktywny !!!", "Error"}));

    first.link.CloseHandle();
    EXPECT_FALSE(first.link.PortOpen);
    torv::testing::OpenShown(second.link, second.notifier);
    EXPECT_TRUE(second.link.PortOpen) << "closing must release both the lock and TIOCEXCL";
}

TEST(SerialPort, MissingPortGivesThePortErrorWithItsName)
{
    WorkDir dir;
    Tester t(dir.path);
    t.settings.ComIndex = 200; // nothing named COM201, /dev/ttyUSB200 or /dev/ttyS200
    torv::testing::OpenShown(t.link, t.notifier);
    EXPECT_FALSE(t.link.PortOpen);
    ASSERT_EQ(t.notifier.boxes.size(), 1u);
    EXPECT_EQ(t.notifier.boxes[0].text, "Niewłaściwa nazwa portu COM201\r lub jest on aktywny !!!");
    const torv::ModbusLink::Reply reply = torv::testing::ReadShown(t.link, t.notifier, 1, 96, 1, true);
    EXPECT_FALSE(reply.sent);
    EXPECT_FALSE(reply.ok()) << "nothing was sent, so nothing succeeded";
    EXPECT_EQ(t.notifier.boxes.size(), 1u);
}

TEST(SerialPort, NonTerminalIsNotAPort)
{
    WorkDir dir;
    dir.link("COM1", "/dev/null");
    Tester t(dir.path);
    torv::testing::OpenShown(t.link, t.notifier);
    EXPECT_FALSE(t.link.PortOpen);
}

// The reason a refused open gives, which a caller without the window's box
// turns into its own message: held by another program, missing, no tty.
TEST(SerialPort, RefusedOpenTellsWhy)
{
    Pty pty;
    const auto held = torv::SerialPort::open(pty.slave, {});
    ASSERT_TRUE(held);
    const struct {
        std::string device;
        int error;
        torv::OpenFailure kind;
    } cases[] = {
        {pty.slave, EWOULDBLOCK, torv::OpenFailure::Held},
        {"/nonexistent/ttyS0", ENOENT, torv::OpenFailure::Missing},
        {"/dev/null", ENOTTY, torv::OpenFailure::NotSerialPort},
    };
    for (const auto& c : cases) {
        torv::OpenError error;
        EXPECT_EQ(torv::SerialPort::open(c.device, {}, &error), nullptr) << c.device;
        EXPECT_EQ(error.code, c.error) << c.device;
        EXPECT_EQ(error.kind, c.kind) << c.device;
        EXPECT_EQ(error.text, std::strerror(c.error)) << c.device;
    }
}

TEST(SerialPort, ReadAndWriteThroughTheKernel)
{
    Pty pty;
    WorkDir dir;
    dir.link("COM1", pty.slave);
    Tester t(dir.path);
    t.settings.BaudIndex = 0;
    torv::testing::OpenShown(t.link, t.notifier);
    ASSERT_TRUE(t.link.PortOpen);

    std::thread controller([&] {
        const Bytes req = pty.readFrame(8);
        if (req != torv::testing::withCrc({3, 0x03, 0, 120, 0, 2}))
            return;
        const Bytes reply = torv::testing::withCrc({3, 0x03, 4, 11, 22, 33, 44});
        (void)!::write(pty.master, reply.data(), reply.size());
        const Bytes write = pty.readFrame(8);
        (void)!::write(pty.master, write.data(), write.size()); // echo
    });
    EXPECT_TRUE(torv::testing::ReadShown(t.link, t.notifier, 3, 120, 2, true).ok());
    EXPECT_EQ(t.link.image.at(3, 120), 11);
    EXPECT_EQ(t.link.image.at(3, 123), 44);
    t.link.image.at(3, 125) = 1;
    EXPECT_TRUE(torv::testing::LoadShown(t.link, t.notifier, 3, 125, false).ok());
    controller.join();
    EXPECT_TRUE(t.notifier.boxes.empty());
}

TEST(SerialPort, LineVanishingMidTransactionFailsQuietlyAndReopens)
{
    WorkDir dir;
    Tester t(dir.path);
    auto pty = std::make_unique<Pty>();
    dir.link("COM1", pty->slave);
    torv::testing::OpenShown(t.link, t.notifier);
    ASSERT_TRUE(t.link.PortOpen);

    std::thread unplug([&] {
        pty->readFrame(3); // the request has started
        pty->closeMaster();
    });
    const bool unplugged = torv::testing::ReadShown(t.link, t.notifier, 1, 96, 8, true).ok();
    unplug.join();
    EXPECT_FALSE(unplugged);
    EXPECT_EQ(t.notifier.boxes.size(), 1u);
    EXPECT_FALSE(torv::testing::LoadShown(t.link, t.notifier, 1, 96, false).ok());

    // The adapter is back (a new device behind the same name) and reselected.
    Pty back;
    dir.link("COM1", back.slave);
    t.link.CloseHandle();
    torv::testing::OpenShown(t.link, t.notifier);
    ASSERT_TRUE(t.link.PortOpen);
    std::thread controller([&] {
        if (back.readFrame(8).size() == 8) {
            const Bytes reply = torv::testing::withCrc({1, 0x03, 2, 0, 1});
            (void)!::write(back.master, reply.data(), reply.size());
        }
    });
    const bool replugged = t.link.Read_Modbus_Byte(1, 96, 1).ok();
    controller.join();
    EXPECT_TRUE(replugged);
    EXPECT_EQ(t.link.image.at(1, 97), 1);
}

} // namespace
