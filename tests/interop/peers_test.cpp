// Our master against slaves we did not write, over a socat pseudo-terminal
// pair. The tool treats register r as byte addresses r (high) and r+1 (low);
// the peers hold ordinary 16-bit registers, so image byte r must equal the
// high byte of the peer's register r and byte r+1 its low byte.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include "link/modbus_link.h"
#include "support/child_process.h"
#include "support/recording_notifier.h"
#include "support/shown_link.h"

using namespace torv::testing;

namespace {

struct Peer {
    const char* name;
    std::vector<std::string> command; // the device path is appended before the id and baud
    std::function<std::uint16_t(int)> initial;
};

void PrintTo(const Peer& peer, std::ostream* os) { *os << peer.name; }

std::uint16_t pymodbusInitial(int r) { return static_cast<std::uint16_t>((((r * 7 + 3) & 0xFF) << 8) | ((r * 13 + 5) & 0xFF)); }
std::uint16_t libmodbusInitial(int r) { return static_cast<std::uint16_t>((((r * 5 + 1) & 0xFF) << 8) | ((r * 11 + 9) & 0xFF)); }

class PeerLine {
public:
    PeerLine(const Peer& peer, int slaveId)
    {
        socat_ = std::make_unique<ChildProcess>(
            std::vector<std::string>{"socat", "pty,raw,echo=0,link=" + dir_.path() + "/peer",
                                     "pty,raw,echo=0,link=" + dir_.path() + "/COM1"},
            dir_.path() + "/socat.log");
        ready_ = waitForPath(dir_.path() + "/peer") && waitForPath(dir_.path() + "/COM1");
        if (!ready_)
            return;
        auto argv = peer.command;
        argv.push_back(dir_.path() + "/peer");
        argv.push_back(std::to_string(slaveId));
        argv.push_back("9600");
        peer_ = std::make_unique<ChildProcess>(argv, dir_.path() + "/peer.log");
        ready_ = peer_->waitForOutput("ready");
        settings.BaudIndex = 1; // 9600
        link.workDir = dir_.path();
        link.Ustaw_COM();
        ready_ = ready_ && link.PortOpen;
    }
    ~PeerLine()
    {
        link.CloseHandle();
        if (peer_)
            peer_->stop();
        if (socat_)
            socat_->stop();
    }
    bool ready() const { return ready_; }
    std::string peerLog() const { return peer_ ? peer_->output() : std::string(); }

    torv::PortSettings settings;
    torv::SteadyClock clock;
    RecordingNotifier notifier;
    torv::ModbusLink link{settings, clock};

private:
    TempDir dir_;
    std::unique_ptr<ChildProcess> socat_, peer_;
    bool ready_ = false;
};

class Peers : public ::testing::TestWithParam<Peer> {};

TEST_P(Peers, ReadsWhatThePeerHoldsAndWritesWhatItStores)
{
    const Peer& peer = GetParam();
    PeerLine line(peer, 17);
    ASSERT_TRUE(line.ready()) << peer.name << ": " << line.peerLog();
    auto& link = line.link;

    for (int start : {96, 104, 160, 152}) {
        ASSERT_TRUE(torv::testing::ReadShown(link, line.notifier, 17, static_cast<std::uint8_t>(start), 8, true).ok())
            << peer.name << " read at " << start;
        for (int reg = start; reg < start + 8; ++reg) {
            const std::uint16_t v = peer.initial(reg);
            const int hiByte = start + 2 * (reg - start), loByte = hiByte + 1;
            if (hiByte <= torv::kLastByte) {
                EXPECT_EQ(link.image.at(17, hiByte), v >> 8) << peer.name << " register " << reg;
            }
            if (loByte <= torv::kLastByte) {
                EXPECT_EQ(link.image.at(17, loByte), v & 0xFF) << peer.name << " register " << reg;
            }
        }
    }

    // Write register 119 from image bytes 119 (high) and 120 (low).
    link.image.at(17, 119) = 0x01;
    link.image.at(17, 120) = 0x2A;
    EXPECT_TRUE(torv::testing::LoadShown(link, line.notifier, 17, 119, true).ok()) << peer.name;
    ASSERT_EQ(line.notifier.boxes.size(), 1u);
    EXPECT_EQ(line.notifier.boxes[0].text, "Zapis danych poprawny !!!");

    EXPECT_TRUE(torv::testing::ReadShown(link, line.notifier, 17, 119, 1, true).ok());
    EXPECT_EQ(link.image.at(17, 119), 0x01);
    EXPECT_EQ(link.image.at(17, 120), 0x2A);
    EXPECT_NE(line.peerLog().find("SET 119 298"), std::string::npos) << peer.name << ": " << line.peerLog();

    // Another slave id on the same line stays silent.
    EXPECT_FALSE(link.Read_Modbus_Byte(18, 96, 1).ok());
}

INSTANTIATE_TEST_SUITE_P(Interop, Peers,
                         ::testing::Values(Peer{"pymodbus", {"/usr/bin/python3", PYMODBUS_SLAVE}, pymodbusInitial},
                                           Peer{"libmodbus", {LIBMODBUS_SLAVE}, libmodbusInitial}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
