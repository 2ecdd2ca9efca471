#include "cli/bus.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "link/com_device.h"
#include "link/line_port.h"
#include "link/line_url.h"
#include "link/serial_port.h"
#include "texts/bus_texts.h"

namespace torv::cli {

void Message(const std::string& text)
{
    // A box's further lines, indented under the first.
    std::string lines;
    for (const char c : text)
        lines += c == '\r' ? std::string("\n  ") : std::string(1, c);
    std::fprintf(stderr, "torv-cli: %s\n", lines.c_str());
}

namespace {
int outputError = 0; // the first write to stdout that failed
} // namespace

void Print(const std::string& text)
{
    if (std::fputs(text.c_str(), stdout) == EOF && outputError == 0)
        outputError = errno;
}

bool OutputWritten()
{
    int error = outputError;
    if (std::fflush(stdout) != 0 && error == 0)
        error = errno;
    if (std::ferror(stdout) != 0 && error == 0)
        error = EIO;
    // Nothing is pending now; a stdout that was never open has lost nothing.
    if (std::fclose(stdout) != 0 && error == 0 && errno != EBADF)
        error = errno;
    if (error == 0)
        return true;
    Message(std::string("cannot write the output: ") + std::strerror(error));
    return false;
}

std::string Chamber(std::uint8_t address) { return "komora " + std::to_string(address); }

void TellFailure(const Result& result)
{
    if (const Exchange* failure = result.reportedFailure())
        Message(Chamber(failure->address) + ": " + FailureText(failure->function, failure->outcome));
}

Exit Bus::open(const Options& options)
{
    // A name that cannot even be examined (a link loop) is no missing file:
    // with no line settings to trust, nothing is sent.
    std::error_code error;
    const bool present = std::filesystem::exists(kSettingsFileName, error);
    if (error) {
        Message(std::string(kSettingsFileName) + ": " + error.message());
        return kUsage;
    }
    if (present) {
        settingsFile.LoadSettings(settings);
        // A missing file is the normal case here: defaults, no message.
        if (settingsFile.SettingsBad)
            for (const std::string& text : settingsProblems.texts)
                Message(std::string(kSettingsFileName) + ": " + text + " (COM1, 9600, none)");
    }
    std::optional<std::uint8_t> comIndex = settings.ComIndex;
    std::string device;
    if (options.port) {
        comIndex = ComIndexOf(*options.port);
        device = *options.port;
    }
    if (comIndex)
        device = ResolveComDevice(*comIndex, ".");
    settings.BaudIndex = options.baudIndex.value_or(settings.BaudIndex);
    settings.ParityIndex = options.parityIndex.value_or(settings.ParityIndex);
    link.replyRule = options.replyRule;

    device_ = device;
    portName_ = comIndex ? ComPortName(*comIndex) + " (" + device + ")" : device;
    return openPort() ? kDone : kPort;
}

bool Bus::openPort()
{
    OpenError error;
    std::unique_ptr<Port> port =
        OpenLinePort(device_, LineSettingsOf(settings.BaudIndex, settings.ParityIndex), clock, &error);
    if (!port) {
        const std::string why = error.kind == OpenFailure::Held
                                    ? "is in use by another program (the window of the tester?)"
                                : error.kind == OpenFailure::Missing       ? "does not exist"
                                : error.kind == OpenFailure::NotSerialPort ? "is not a serial port"
                                                                           : "cannot be opened: " + error.text;
        if (!portLost_)
            Message("port " + portName_ + " " + why);
        return false;
    }
    if (port->parityLeftOff() && !parityLeftOffTold_) {
        Message("port " + portName_ + texts::kParityLeftOff);
        parityLeftOffTold_ = true;
    }
    link.attachPort(std::move(port));
    // The window's settling pause after opening, before the first request.
    link.DelayMs(20);
    return true;
}

bool Bus::reopen()
{
    // A network line connects again by itself, after its back-off.
    if (IsLineUrl(device_))
        return true;
    link.CloseHandle();
    const bool opened = openPort();
    if (opened && portLost_)
        Message("port " + portName_ + " opened again");
    portLost_ = !opened;
    return opened;
}

Result Bus::blockRead(std::uint8_t address)
{
    Result result = station.readModule(address);
    TellFailure(result);
    return result;
}

} // namespace torv::cli
