// What every system's serial port and port names promise: a refused open says
// why in the same words, and COMn names the port each system has for it.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "link/com_device.h"
#include "link/serial_port.h"
#include "support/contract.h"

using torv::OpenFailure;
using torv::testing::Platform;
using torv::testing::RunsHere;
using torv::testing::ScratchDir;

namespace {

struct RefusedRow {
    Platform platform;
    std::string device; // under the scratch folder unless `absolute`
    bool absolute;
    bool regularFile;   // made there as a file first
    OpenFailure kind;
};

const RefusedRow kRefusedRows[] = {
    {Platform::Both, "COM200", false, false, OpenFailure::Missing},
    {Platform::Both, "Torv_LCD.set", false, true, OpenFailure::NotSerialPort},
    {Platform::Posix, "/nonexistent/ttyS0", true, false, OpenFailure::Missing},
    {Platform::Posix, "/dev/null", true, false, OpenFailure::NotSerialPort},
    // A bare COMn is the system's port of that name (here: none that high).
    {Platform::Windows, "COM200", true, false, OpenFailure::Missing},
    {Platform::Windows, "NUL", true, false, OpenFailure::NotSerialPort},
};

} // namespace

TEST(SerialPortContract, RefusedOpenSaysWhy)
{
    for (const RefusedRow& row : kRefusedRows) {
        if (!RunsHere(row.platform))
            continue;
        ScratchDir dir;
        const std::string device = row.absolute ? row.device : dir / row.device;
        if (row.regularFile)
            std::ofstream(device) << "12345678";
        torv::OpenError error;
        EXPECT_EQ(torv::SerialPort::open(device, {9600, torv::Parity::None}, &error), nullptr) << device;
        EXPECT_EQ(error.kind, row.kind) << device << ": " << error.text;
        EXPECT_NE(error.code, 0) << device;
        EXPECT_FALSE(error.text.empty()) << device;
    }
}

TEST(SerialPortContract, NameIsIndexPlusOneForAnyByte)
{
    const struct {
        std::uint8_t index;
        const char* name;
    } rows[] = {{0, "COM1"}, {9, "COM10"}, {12, "COM13"}, {255, "COM256"}};
    for (const auto& row : rows)
        EXPECT_EQ(torv::ComPortName(row.index), row.name) << int(row.index);
}

struct ResolveRow {
    Platform platform;
    std::uint8_t index;
    const char* linkInWorkDir; // an entry made in the working folder first, or nullptr
    const char* device;        // expected, under the working folder ("w/") or the device folder ("d/"), or as is
};

const ResolveRow kResolveRows[] = {
    {Platform::Posix, 2, nullptr, "d/ttyS2"},
    {Platform::Posix, 2, "COM3", "w/COM3"},
    {Platform::Posix, 12, "COM3", "d/ttyS12"},
    // Windows names its ports itself; an entry in the working folder changes nothing.
    {Platform::Windows, 0, nullptr, "COM1"},
    {Platform::Windows, 2, "COM3", "COM3"},
    {Platform::Windows, 12, nullptr, "COM13"},
    {Platform::Windows, 255, nullptr, "COM256"},
};

TEST(SerialPortContract, ComNamesResolveToThisSystemsPort)
{
    for (const ResolveRow& row : kResolveRows) {
        if (!RunsHere(row.platform))
            continue;
        ScratchDir work, devices;
        if (row.linkInWorkDir)
            std::ofstream(work / row.linkInWorkDir) << "x";
        const std::string expected = row.device;
        const std::string wanted = expected.rfind("w/", 0) == 0   ? work / expected.substr(2)
                                   : expected.rfind("d/", 0) == 0 ? devices / expected.substr(2)
                                                                  : expected;
        EXPECT_EQ(torv::ResolveComDevice(row.index, work.path().string(), devices.path().string()), wanted)
            << int(row.index);
    }
}
