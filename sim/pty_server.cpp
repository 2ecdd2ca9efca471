#include "sim/pty_server.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace torv::sim {

namespace {

// Longest sleep between looks at the line; bounds how late a reply byte or a stop can be.
constexpr int kIdlePollMs = 10;
// While no client holds the slave open the master reports hang-up at once; retry at this pace.
constexpr unsigned kHungUpRetryUs = 20000;

struct SpeedEntry {
    speed_t speed;
    unsigned baud;
};
constexpr SpeedEntry kSpeeds[] = {
    {B1200, 1200},   {B2400, 2400},   {B4800, 4800},   {B9600, 9600},
    {B19200, 19200}, {B38400, 38400}, {B57600, 57600}, {B115200, 115200},
};

// The speed the client set on the slave; a pty master reports the slave's settings.
unsigned clientBaud(int master)
{
    termios t{};
    if (tcgetattr(master, &t) != 0)
        return 0;
    const speed_t speed = cfgetospeed(&t);
    for (const auto& e : kSpeeds)
        if (e.speed == speed)
            return e.baud;
    return 1; // a speed no controller runs at
}

std::string errnoText(const std::string& what) { return what + ": " + std::strerror(errno); }

} // namespace

PtyServer::PtyServer(Line& line, PtyOptions options) : line_(line), options_(std::move(options)) {}

PtyServer::~PtyServer() { stop(); }

bool PtyServer::open(std::string& error)
{
    namespace fs = std::filesystem;
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) {
        error = errnoText("posix_openpt");
        return false;
    }
    // A new pty is cooked and echoes: it would read back our own replies and eat 0x03 as an interrupt.
    termios t{};
    if (tcgetattr(master_, &t) == 0) {
        cfmakeraw(&t);
        cfsetspeed(&t, B9600);
        tcsetattr(master_, TCSANOW, &t);
    }
    char name[128] = {};
    if (grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name) != 0) {
        error = errnoText("pty setup");
        ::close(master_);
        master_ = -1;
        return false;
    }
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    slavePath_ = name;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        line_.options().checkBaud = options_.checkBaud;
    }

    std::error_code ec;
    const fs::path link = fs::absolute(fs::path(options_.dir) / options_.linkName, ec).lexically_normal();
    const auto status = fs::symlink_status(link, ec);
    if (fs::exists(status) && !fs::is_symlink(status)) {
        error = link.string() + " exists and is not a link; not replacing it";
        stop();
        return false;
    }
    // Made aside and renamed over, so a stale link of an earlier run is replaced in one step.
    const fs::path temporary = link.string() + ".new" + std::to_string(getpid());
    fs::remove(temporary, ec);
    fs::create_symlink(slavePath_, temporary, ec);
    if (!ec)
        fs::rename(temporary, link, ec);
    if (ec) {
        error = link.string() + ": " + ec.message();
        fs::remove(temporary, ec);
        stop();
        return false;
    }
    linkPath_ = link.string();
    return true;
}

void PtyServer::start()
{
    quit_ = false;
    thread_ = std::thread([this] { run(quit_); });
}

void PtyServer::stop()
{
    quit_ = true;
    if (thread_.joinable())
        thread_.join();
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
    removeLink();
}

void PtyServer::removeLink()
{
    if (linkPath_.empty())
        return;
    // Only our own link: another instance may have taken the name meanwhile.
    std::error_code ec;
    if (std::filesystem::read_symlink(linkPath_, ec) == slavePath_ && !ec)
        std::filesystem::remove(linkPath_, ec);
    linkPath_.clear();
}

void PtyServer::flushClientInput()
{
    // A pty keeps unread bytes across a close; a serial port opened anew starts
    // empty, so late replies must not greet the next client.
    const int slave = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave >= 0) {
        tcflush(slave, TCIOFLUSH);
        ::close(slave);
    }
}

void PtyServer::run(const std::atomic<bool>& quit)
{
    while (!quit && master_ >= 0)
        serveOnce();
}

void PtyServer::serveOnce()
{
    int timeoutMs = kIdlePollMs;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const std::uint64_t now = clock_.nowUs();
        if (const auto due = line_.nextDueUs())
            timeoutMs = *due <= now ? 0 : static_cast<int>(std::min<std::uint64_t>(kIdlePollMs, (*due - now + 999) / 1000));
    }
    pollfd p{master_, POLLIN, 0};
    bool hungUp = false;
    if (::poll(&p, 1, timeoutMs) > 0) {
        if (p.revents & POLLIN) {
            std::uint8_t buffer[512];
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n > 0) {
                std::lock_guard<std::mutex> lock(mutex_);
                line_.setLineBaud(clientBaud(master_));
                line_.receive(buffer, static_cast<std::size_t>(n), clock_.nowUs());
            } else if (n < 0 && errno == EIO) {
                hungUp = true;
            }
        } else if (p.revents & (POLLHUP | POLLERR)) {
            hungUp = true;
        }
    }
    if (hungUp) {
        // Nobody has the port open: keep the controllers alive and wait for the next client.
        if (clientOpen_) {
            flushClientInput();
            ++clientCloses_;
        }
        clientOpen_ = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            line_.advance(clock_.nowUs());
            line_.discardOutput();
        }
        clock_.sleepUntilUs(clock_.nowUs() + kHungUpRetryUs);
        return;
    }
    clientOpen_ = true;
    std::vector<std::uint8_t> out;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        out = line_.takeDue(clock_.nowUs());
    }
    std::size_t sent = 0;
    while (sent < out.size()) {
        const ssize_t n = ::write(master_, out.data() + sent, out.size() - sent);
        if (n <= 0)
            break; // client gone or not reading: the bytes are lost, as on a wire
        sent += static_cast<std::size_t>(n);
    }
}

} // namespace torv::sim
