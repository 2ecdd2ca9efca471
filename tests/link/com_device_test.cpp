#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "link/com_device.h"
#include "link/serial_port.h"

namespace fs = std::filesystem;

namespace {

struct TempDir {
    fs::path path;
    TempDir()
    {
        char tmpl[] = "/tmp/torv-com-XXXXXX";
        path = mkdtemp(tmpl);
    }
    ~TempDir() { fs::remove_all(path); }
    void touch(const std::string& name) { std::ofstream(path / name).put('x'); }
};

// The port names of an index are rows of serial_port_contract_test.cpp.

TEST(ComPort, ResolutionPrefersWorkDirLinkThenUsbThenSerial)
{
    TempDir work, dev;
    const std::string w = work.path.string(), d = dev.path.string();
    EXPECT_EQ(torv::ResolveComDevice(2, w, d), d + "/ttyS2");
    dev.touch("ttyUSB2");
    EXPECT_EQ(torv::ResolveComDevice(2, w, d), d + "/ttyUSB2");
    fs::create_symlink("/dev/null-does-not-exist", work.path / "COM3");
    EXPECT_EQ(torv::ResolveComDevice(2, w, d), w + "/COM3") << "a link counts even when dangling";
    EXPECT_EQ(torv::ResolveComDevice(1, w, d), d + "/ttyS1") << "other indexes unaffected";
    EXPECT_EQ(torv::ResolveComDevice(12, w, d), d + "/ttyS12");
}

TEST(ComPort, LineSettingsFromIndexes)
{
    struct Case {
        std::uint8_t baudIndex, parityIndex;
        int baud;
        torv::Parity parity;
    };
    const Case cases[] = {
        {0, 0, 19200, torv::Parity::None}, {1, 1, 9600, torv::Parity::Even}, {2, 2, 4800, torv::Parity::Odd},
        {7, 3, 19200, torv::Parity::Odd},  {255, 255, 19200, torv::Parity::Odd},
    };
    for (const auto& c : cases) {
        const auto line = torv::LineSettingsOf(c.baudIndex, c.parityIndex);
        EXPECT_EQ(line.baud, c.baud) << int(c.baudIndex);
        EXPECT_EQ(line.parity, c.parity) << int(c.parityIndex);
    }
}

} // namespace
