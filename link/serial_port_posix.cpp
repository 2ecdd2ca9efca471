#include "serial_port.h"

// The serial port on Linux: a tty through termios.
#include <cerrno>
#include <fcntl.h>
#include <linux/magic.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include "system_error_text.h"

namespace torv {

namespace {

speed_t speedOf(int baud)
{
    switch (baud) {
    case 4800: return B4800;
    case 9600: return B9600;
    default: return B19200;
    }
}

// Told by the device opened, whatever name or link led to it: the slaves of
// Unix98 ptys are majors 136..143, the old BSD ones major 3; a pty node made
// elsewhere still lives on devpts.
bool pseudoTerminal(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISCHR(st.st_mode)) {
        const unsigned m = major(st.st_rdev);
        if ((m >= 136 && m <= 143) || m == 3)
            return true;
    }
    struct statfs fs {};
    return ::fstatfs(fd, &fs) == 0 && fs.f_type == DEVPTS_SUPER_MAGIC;
}

bool configure(int fd, const LineSettings& line)
{
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        return false;
    cfmakeraw(&tio);
    tio.c_iflag &= static_cast<tcflag_t>(~(IXON | IXOFF | IXANY | INPCK | IGNPAR | PARMRK | ISTRIP));
    tio.c_oflag &= static_cast<tcflag_t>(~OPOST);
    tio.c_cflag &= static_cast<tcflag_t>(~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | HUPCL));
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    if (line.parity != Parity::None) {
        tio.c_cflag |= PARENB;
        if (line.parity == Parity::Odd)
            tio.c_cflag |= PARODD;
        tio.c_iflag |= INPCK;
    }
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, speedOf(line.baud));
    cfsetospeed(&tio, speedOf(line.baud));
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

OpenFailure kindOf(int error)
{
    if (error == EWOULDBLOCK || error == EBUSY)
        return OpenFailure::Held;
    if (error == ENOENT)
        return OpenFailure::Missing;
    if (error == ENOTTY)
        return OpenFailure::NotSerialPort;
    return OpenFailure::Other;
}

} // namespace

std::unique_ptr<SerialPort> SerialPort::open(const std::string& device, const LineSettings& line, OpenError* error)
{
    const auto failed = [error](int fd, int why) {
        if (fd >= 0)
            ::close(fd);
        if (error)
            *error = OpenError{kindOf(why), why, SystemErrorText(why)};
        return nullptr;
    };
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return failed(-1, errno);
    // flock holds for root too (TIOCEXCL does not), so it is the lock that
    // keeps two testers off one line. Taken first so a refused open leaves
    // the holder's terminal state alone.
    if (!isatty(fd))
        return failed(fd, ENOTTY);
    if (flock(fd, LOCK_EX | LOCK_NB) != 0)
        return failed(fd, errno);
    ioctl(fd, TIOCEXCL);
    // A pty has no wire to carry parity, and some kernels refuse it there on
    // every open after the first: set without it; real ports keep it.
    LineSettings set = line;
    const bool leaveParityOff = line.parity != Parity::None && pseudoTerminal(fd);
    if (leaveParityOff)
        set.parity = Parity::None;
    if (!configure(fd, set)) {
        const int why = errno;
        ioctl(fd, TIOCNXCL);
        return failed(fd, why);
    }
    // The kernel raises DTR and RTS on open, and some RS-485 converters take
    // their direction or supply from them: both go low. A line without modem
    // control (a pseudo-terminal) refuses, and that is no fault.
    const int modemLines = TIOCM_DTR | TIOCM_RTS;
    ioctl(fd, TIOCMBIC, &modemLines);
    std::unique_ptr<SerialPort> port(new SerialPort(fd));
    port->parityLeftOff_ = leaveParityOff;
    return port;
}

SerialPort::~SerialPort() { close(); }

void SerialPort::noteError(int err)
{
    if (err == EIO || err == ENXIO || err == ENODEV || err == EBADF)
        failed_ = true;
}

void SerialPort::transmit(std::uint8_t byte)
{
    if (fd_ < 0 || failed_)
        return;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const ssize_t n = ::write(fd_, &byte, 1);
        if (n == 1)
            return;
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            // Output queue full (nobody draining the line): wait briefly, then
            // drop the byte rather than hang the tool.
            pollfd p{fd_, POLLOUT, 0};
            if (::poll(&p, 1, 100) > 0 && (p.revents & POLLOUT))
                continue;
            return;
        }
        noteError(errno);
        return;
    }
}

std::size_t SerialPort::bytesWaiting()
{
    if (fd_ < 0 || failed_)
        return 0;
    int n = 0;
    if (ioctl(fd_, FIONREAD, &n) != 0) {
        noteError(errno);
        return 0;
    }
    if (n == 0) {
        // A hung-up line reports nothing waiting; find out so it stays silent.
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)))
            failed_ = true;
    }
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

std::size_t SerialPort::read(std::uint8_t* buffer, std::size_t n)
{
    if (fd_ < 0 || failed_)
        return 0;
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = ::read(fd_, buffer + got, n - got);
        if (r > 0) {
            got += static_cast<std::size_t>(r);
            continue;
        }
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            noteError(errno);
        break;
    }
    return got;
}

void SerialPort::close()
{
    if (fd_ < 0)
        return;
    // TIOCEXCL outlives the descriptor on a pty: clear it or nobody can reopen.
    ioctl(fd_, TIOCNXCL);
    flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
}

} // namespace torv
