#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "link/clock.h"
#include "link/modbus_link.h"
#include "sim/controller.h"
#include "sim/line.h"
#include "sim/sim_port.h"
#include "station/read_blk.h"
#include "station/station.h"
#include "support/recording_notifier.h"
#include "texts/transaction_boxes.h"

namespace {

using torv::testing::RecordingNotifier;

// Passes everything through to the simulator's port and notes each byte the
// tester sends, with the virtual time it left.
class TappedPort final : public torv::Port {
public:
    TappedPort(std::unique_ptr<torv::Port> inner, torv::Clock& clock, std::vector<std::uint8_t>& sent,
               std::uint64_t& lastSentUs)
        : inner_(std::move(inner)), clock_(clock), sent_(sent), lastSentUs_(lastSentUs)
    {
    }
    void transmit(std::uint8_t byte) override
    {
        sent_.push_back(byte);
        lastSentUs_ = clock_.nowUs();
        inner_->transmit(byte);
    }
    std::size_t bytesWaiting() override { return inner_->bytesWaiting(); }
    std::size_t read(std::uint8_t* buffer, std::size_t n) override { return inner_->read(buffer, n); }
    void close() override { inner_->close(); }

private:
    std::unique_ptr<torv::Port> inner_;
    torv::Clock& clock_;
    std::vector<std::uint8_t>& sent_;
    std::uint64_t& lastSentUs_;
};

class BlockReadTest : public ::testing::Test {
protected:
    // The block read as the window runs it, its failure boxed.
    void BlockRead(std::uint8_t address)
    {
        torv::Station station(link);
        station.onReportedFailure = [&](const torv::Exchange& e) {
            torv::ShowTransactionBox(notifier, e.function, e.outcome);
        };
        answered = station.readModule(address).ok;
    }

    BlockReadTest() : controller(line.add(1)), link(settings, clock)
    {
        // Distinct bytes everywhere, so a byte stored at the wrong place shows.
        for (int a = 0; a < 256; ++a)
            controller.memory()[static_cast<std::size_t>(a)] = static_cast<std::uint8_t>(a ^ 0x5A);
        controller.memory()[97] = 1; // its own address
        link.attachPort(std::make_unique<TappedPort>(std::make_unique<torv::sim::SimPort>(line, clock), clock,
                                                     sent, lastSentUs));
    }

    // Start addresses of the read requests sent (each request is 8 bytes).
    std::vector<int> requestedStarts() const
    {
        std::vector<int> starts;
        for (std::size_t i = 0; i + 8 <= sent.size(); i += 8) {
            EXPECT_EQ(sent[i], 1);     // slave address
            EXPECT_EQ(sent[i + 1], 3); // function 03
            EXPECT_EQ(sent[i + 5], 8); // 8 registers
            starts.push_back(sent[i + 3]);
        }
        EXPECT_EQ(sent.size() % 8, 0u);
        return starts;
    }

    torv::VirtualClock clock;
    torv::sim::Line line;
    torv::sim::Controller& controller;
    torv::PortSettings settings;
    RecordingNotifier notifier;
    torv::ModbusLink link;
    std::vector<std::uint8_t> sent;
    std::uint64_t lastSentUs = 0;
    bool answered = false; // the block read's last read was answered
};

TEST_F(BlockReadTest, ReadsTheWholeWindowInOrder)
{
    link.image.row(2).fill(0x11); // another controller's row
    BlockRead(1);

    EXPECT_TRUE(answered);
    EXPECT_TRUE(notifier.boxes.empty());
    EXPECT_EQ(requestedStarts(), (std::vector<int>{96, 104, 112, 120, 160, 128, 136, 144, 152}));
    const auto& memory = controller.memory();
    for (int a = 96; a <= 168; ++a) {
        if (a >= 160 && a <= 167)
            continue;
        EXPECT_EQ(link.image.at(1, a), memory[static_cast<std::size_t>(a)]) << a;
    }
    // The chamber model moves the temperatures while the block is read, so
    // the words need only be close to what the controller holds now.
    for (int a = 160; a <= 166; a += 2) {
        const int stored = link.image.at(1, a) * 256 + link.image.at(1, a + 1);
        const int now = memory[static_cast<std::size_t>(a)] * 256 + memory[static_cast<std::size_t>(a) + 1];
        EXPECT_NEAR(stored, now, 5) << a;
    }
    for (std::uint8_t b : link.image.row(2))
        ASSERT_EQ(b, 0x11) << "the read at 160 must drop bytes 169..175";
}

TEST_F(BlockReadTest, StopsAtTheThirdReadWithOneNotice)
{
    controller.faults().failFrom = 3;
    BlockRead(1);

    EXPECT_FALSE(answered);
    EXPECT_EQ(requestedStarts(), (std::vector<int>{96, 104, 112}));
    ASSERT_EQ(notifier.boxes.size(), 1u);
    EXPECT_EQ(notifier.boxes[0].text, "Brak komunikacji z modułem !!!");
    EXPECT_EQ(notifier.boxes[0].caption, "Uwaga !");
    for (int a = 96; a <= 168; ++a) {
        const std::uint8_t expected = a <= 119 ? controller.memory()[static_cast<std::size_t>(a)] : 0;
        EXPECT_EQ(link.image.at(1, a), expected) << a;
    }
    // After the failed read's wait, the six skipped reads still cost their pauses.
    EXPECT_GE(clock.nowUs() - lastSentUs, (150 + 6 * 5) * 1000u);
}

TEST_F(BlockReadTest, BadCrcOnTheFirstReadSendsNothingMore)
{
    controller.faults().badCrc = true;
    link.image.at(1, 100) = 0x77;
    BlockRead(1);

    EXPECT_FALSE(answered);
    EXPECT_EQ(requestedStarts(), std::vector<int>{96});
    ASSERT_EQ(notifier.boxes.size(), 1u);
    EXPECT_EQ(notifier.boxes[0].text, "Błąd CRC ramki !!!");
    EXPECT_EQ(link.image.at(1, 100), 0x77) << "a failed read leaves the image alone";
    EXPECT_GE(clock.nowUs() - lastSentUs, (150 + 8 * 5) * 1000u);
}

TEST_F(BlockReadTest, ASilentAddressFillsNothing)
{
    BlockRead(2);
    EXPECT_FALSE(answered);
    EXPECT_EQ(notifier.boxes.size(), 1u);
    EXPECT_EQ(sent.size(), 8u);
    for (std::uint8_t b : link.image.row(2))
        ASSERT_EQ(b, 0);
}

} // namespace
