#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "port.h"

namespace torv {

enum class Parity { None, Even, Odd };

struct LineSettings {
    int baud = 9600;
    Parity parity = Parity::None;
};

// Index 0/1/2 -> 19200/9600/4800 baud, anything else 19200; parity index
// 0 none, 1 even, anything else odd.
LineSettings LineSettingsOf(std::uint8_t baudIndex, std::uint8_t parityIndex);

// Why a port could not be had, in words every system's port can say.
enum class OpenFailure {
    None,
    Missing,       // no such device
    Held,          // another program has it
    NotSerialPort, // it opened, but is no serial line
    Other,         // anything else: see the system's text
};

struct OpenError {
    OpenFailure kind = OpenFailure::None;
    int code = 0;     // the system's own number (errno, or the Windows error code)
    std::string text; // the system's words for `code`
};

// A serial port opened exclusively and set to raw 8 data bits, 1 stop bit,
// no flow control, reads that never block, with DTR and RTS low. A port that
// failed under us (adapter unplugged, hang-up) reads as silent until it is
// reopened. One implementation per system (serial_port_posix.cpp,
// serial_port_windows.cpp).
class SerialPort final : public Port {
public:
    // nullptr when the device cannot be opened, is not a serial port, or is
    // held by another program; `error`, when given, then tells why. On POSIX
    // `code` is the errno of the step that failed (EWOULDBLOCK or EBUSY for a
    // port another program holds, via flock or TIOCEXCL; ENOTTY for a file
    // that is no tty).
    static std::unique_ptr<SerialPort> open(const std::string& device, const LineSettings& line,
                                            OpenError* error = nullptr);
    ~SerialPort() override;
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    void transmit(std::uint8_t byte) override;
    std::size_t bytesWaiting() override;
    std::size_t read(std::uint8_t* buffer, std::size_t n) override;
    void close() override;

    bool failed() const { return failed_; }
    // True when parity was asked for but the device is a pseudo-terminal,
    // which carries none (and may refuse it): the line was set without it.
    bool parityLeftOff() const override { return parityLeftOff_; }
#ifdef _WIN32
private:
    explicit SerialPort(void* handle) : handle_(handle) {}
    void* handle_ = nullptr; // the HANDLE, nullptr once closed
#else
    int fd() const { return fd_; }

private:
    explicit SerialPort(int fd) : fd_(fd) {}
    void noteError(int err);
    int fd_ = -1;
#endif
    bool failed_ = false;
    bool parityLeftOff_ = false;
};

} // namespace torv
