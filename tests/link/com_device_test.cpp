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

TEST(ComPort, ARegularFileNamesANetworkLineByItsFirstLine)
{
    TempDir work;
    const std::string w = work.path.string();
    const struct {
        const char* content;
        std::string device; // empty: the file itself
    } rows[] = {
        {"tcp://192.168.5.20:4001\n# hala 2\n", "tcp://192.168.5.20:4001"},
        {"rfc2217://[fd00::7]:2217\r\n", "rfc2217://[fd00::7]:2217"},
        {"rfc2217://gw:2217  \n", "rfc2217://gw:2217"},
        {"tcp://gw\n", "tcp://gw"}, // no port: the opening says so, not the resolution
        {"# tcp://gw:4001\n", ""},
        {"\x00\x01\x01\x00", ""},
        {"", ""},
    };
    for (const auto& row : rows) {
        std::ofstream(work.path / "COM2", std::ios::binary | std::ios::trunc) << row.content;
        EXPECT_EQ(torv::ResolveComDevice(1, w, "/dev"), row.device.empty() ? w + "/COM2" : row.device) << row.content;
    }
    // Followed through a link, as the settings file is.
    std::ofstream(work.path / "hall.url") << "tcp://gw:4001\n";
    fs::create_symlink(work.path / "hall.url", work.path / "COM4");
    EXPECT_EQ(torv::ResolveComDevice(3, w, "/dev"), "tcp://gw:4001");
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
