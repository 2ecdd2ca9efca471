// The serial port on Windows: a COM port through the Win32 communications calls.
#include "serial_port.h"

#include <windows.h>

#include "system_error_text.h"

namespace torv {

namespace {

// A bare "COMn" opens as "\\.\COMn": without that prefix only COM1..COM9 open.
std::string DevicePath(const std::string& device)
{
    if (device.rfind("\\\\", 0) == 0)
        return device;
    return "\\\\.\\" + device;
}

OpenFailure kindOf(DWORD error)
{
    switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return OpenFailure::Held;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return OpenFailure::Missing;
    default: return OpenFailure::Other;
    }
}

bool configure(HANDLE h, const LineSettings& line)
{
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(h, &dcb))
        return false;
    dcb.BaudRate = static_cast<DWORD>(line.baud == 4800 || line.baud == 9600 ? line.baud : 19200);
    dcb.fBinary = TRUE;
    dcb.fParity = line.parity != Parity::None;
    dcb.Parity = line.parity == Parity::None ? NOPARITY : line.parity == Parity::Even ? EVENPARITY : ODDPARITY;
    dcb.ByteSize = 8;
    dcb.StopBits = ONESTOPBIT;
    // Some RS-485 converters take their direction or supply from DTR and RTS: both stay low.
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    return SetCommState(h, &dcb) != 0;
}

} // namespace

std::unique_ptr<SerialPort> SerialPort::open(const std::string& device, const LineSettings& line, OpenError* error)
{
    const auto failed = [error](HANDLE h, OpenFailure kind, DWORD why) {
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
        if (error)
            *error = OpenError{kind, static_cast<int>(why), SystemErrorText(static_cast<int>(why))};
        return nullptr;
    };
    // No sharing: a port another program holds is refused, not shared.
    HANDLE h = CreateFileA(DevicePath(device).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD why = GetLastError();
        return failed(h, kindOf(why), why);
    }
    SetupComm(h, 1024, 1024);
    DCB probe{};
    probe.DCBlength = sizeof probe;
    if (!GetCommState(h, &probe)) {
        const DWORD why = GetLastError();
        return failed(h, OpenFailure::NotSerialPort, why);
    }
    if (!configure(h, line)) {
        const DWORD why = GetLastError();
        return failed(h, OpenFailure::Other, why);
    }
    SetCommMask(h, EV_RXCHAR | EV_ERR);
    // Reads return at once with what has arrived; writes of one byte do not wait either.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    SetCommTimeouts(h, &timeouts);
    return std::unique_ptr<SerialPort>(new SerialPort(h));
}

SerialPort::~SerialPort() { close(); }

void SerialPort::transmit(std::uint8_t byte)
{
    if (!handle_ || failed_)
        return;
    if (!TransmitCommChar(static_cast<HANDLE>(handle_), static_cast<char>(byte))) {
        // A byte still queued refuses the next one; a vanished port refuses everything.
        COMSTAT status{};
        DWORD errors = 0;
        if (!ClearCommError(static_cast<HANDLE>(handle_), &errors, &status))
            failed_ = true;
    }
}

std::size_t SerialPort::bytesWaiting()
{
    if (!handle_ || failed_)
        return 0;
    COMSTAT status{};
    DWORD errors = 0;
    if (!ClearCommError(static_cast<HANDLE>(handle_), &errors, &status)) {
        // The adapter went away: silent until reopened.
        failed_ = true;
        return 0;
    }
    return status.cbInQue;
}

std::size_t SerialPort::read(std::uint8_t* buffer, std::size_t n)
{
    if (!handle_ || failed_)
        return 0;
    const std::size_t waiting = bytesWaiting();
    const DWORD wanted = static_cast<DWORD>(n < waiting ? n : waiting);
    if (wanted == 0)
        return 0;
    DWORD got = 0;
    if (!ReadFile(static_cast<HANDLE>(handle_), buffer, wanted, &got, nullptr)) {
        bytesWaiting(); // clears the error, or finds the port gone
        return 0;
    }
    return got;
}

void SerialPort::close()
{
    if (!handle_)
        return;
    CloseHandle(static_cast<HANDLE>(handle_));
    handle_ = nullptr;
}

} // namespace torv
