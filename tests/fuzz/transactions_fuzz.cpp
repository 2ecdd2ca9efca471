// Both bus transactions against any reply bytes, cut into any pieces that
// arrive at any times on the virtual clock.
//
// Input, repeated until it ends (at most kMostTransactions times):
//   op      bit 0 write (else read), bit 1 show the boxes, bits 2-3 BaudIndex,
//           bit 4 port closed for this call
//   address, start, and for a read the register count
//   pieces  low 4 bits: how many pieces of reply follow (0..15)
//   piece   arrival time (16 bits, little-endian, in 100 µs steps from the
//           call), length, then that many bytes
// Pieces may land before the request is complete, after the reply wait has
// ended (stale bytes for the next call), or overlap one another.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "link/crc16.h"
#include "link/modbus_link.h"
#include "support/recording_notifier.h"
#include "support/shown_link.h"
#include "timed_port.h"

namespace {

using torv::MemoryImage;
using torv::fuzz::FuzzInput;
using torv::fuzz::require;
using torv::fuzz::TimedPort;
using ReadBytes = std::vector<TimedPort::ReadByte>;

constexpr std::uint64_t kMs = 1000;
constexpr std::uint64_t kTimeStepUs = 100;
constexpr int kMostTransactions = 16;
// The largest read whose reply fits the frame buffer; larger counts are
// checked for memory safety and the image range only.
constexpr unsigned kMostCheckedCount = 29;

struct Call {
    bool write;
    bool showBoxes;
    bool portClosed;
    std::uint8_t baudIndex;
    std::uint8_t address;
    std::uint8_t start;
    std::uint8_t count;
};

std::vector<std::uint8_t> withCrc(std::vector<std::uint8_t> frame)
{
    const std::uint16_t crc = torv::crc16(frame.data(), frame.size());
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    return frame;
}

// True when bytes [0, n) of the reply are followed by their CRC, low byte first.
bool crcHolds(const ReadBytes& r, std::size_t n)
{
    if (r.size() < n + 2)
        return false;
    std::vector<std::uint8_t> v;
    for (std::size_t i = 0; i < n; ++i)
        v.push_back(r[i].value);
    const std::uint16_t crc = torv::crc16(v.data(), v.size());
    return r[n].value == (crc & 0xFF) && r[n + 1].value == (crc >> 8);
}

bool byteIs(const ReadBytes& r, std::size_t i, std::uint8_t v) { return i < r.size() && r[i].value == v; }

void checkBoxes(const torv::testing::RecordingNotifier& notifier, std::size_t before, const Call& call, bool ok,
                const char* failureText)
{
    namespace texts = torv::texts;
    const std::size_t added = notifier.boxes.size() - before;
    require(notifier.beeps == 0, "a transaction beeped");
    const bool boxExpected = call.showBoxes && (call.write || !ok);
    if (!boxExpected) {
        require(added == 0, "a box was shown that nobody asked for");
        return;
    }
    require(added == 1, "not exactly one box for the transaction");
    const auto& box = notifier.boxes.back();
    require(box.kind == "notice", "the transaction's box is not a notice");
    if (ok) {
        require(box.text == texts::kWriteOk && box.caption == texts::kCaptionReply, "wrong box for a confirmed write");
        return;
    }
    require(box.text == failureText && box.caption == texts::kCaptionWarning, "wrong box for the failure");
}

void runCall(torv::ModbusLink& link, torv::VirtualClock& clock, TimedPort& port,
             torv::testing::RecordingNotifier& notifier, const Call& call, FuzzInput& in)
{
    const std::uint64_t t0 = clock.nowUs();
    const int pieces = in.byte() & 0x0F;
    for (int i = 0; i < pieces && !in.empty(); ++i) {
        const std::uint64_t at = t0 + in.word() * kTimeStepUs;
        const std::uint8_t* bytes = nullptr;
        const std::size_t n = in.take(in.byte(), bytes);
        port.arrive(at, bytes, n);
    }

    const MemoryImage before = link.image;
    const std::size_t boxesBefore = notifier.boxes.size();
    port.beginTransaction();
    link.settings().BaudIndex = call.baudIndex;
    link.PortOpen = !call.portClosed;

    const torv::ModbusLink::Reply got =
        call.write ? torv::testing::LoadShown(link, notifier, call.address, call.start, call.showBoxes)
                   : torv::testing::ReadShown(link, notifier, call.address, call.start, call.count, call.showBoxes);
    const bool accepted = got.ok();

    // A closed port, or an address no single controller answers at (0 is
    // the broadcast): nothing goes on the line.
    if (call.portClosed || !torv::IsSlaveAddress(call.address)) {
        require(port.sent.empty(), "sent on a closed port or to no controller's address");
        // Unsent work must not look done, whatever the call before it did.
        require(!got.sent && !accepted, "an unsent call counted as a success");
        for (int a = 0; a <= torv::kMaxAddress; ++a)
            require(link.image.row(a) == before.row(a), "an unsent call changed the image");
        require(notifier.boxes.size() == boxesBefore, "an unsent call showed a box");
        require(clock.nowUs() == t0, "an unsent call waited");
        link.PortOpen = true;
        return;
    }

    // The request went out whole and in order.
    std::vector<std::uint8_t> request;
    if (call.write) {
        const bool inImage =
            MemoryImage::holds(call.address, call.start) && MemoryImage::holds(call.address, call.start + 1);
        const std::uint8_t high = inImage ? before.at(call.address, call.start) : 0;
        const std::uint8_t low = inImage ? before.at(call.address, call.start + 1) : 0;
        request = withCrc({call.address, 0x06, 0x00, call.start, high, low});
    } else {
        request = withCrc({call.address, 0x03, 0x00, call.start, 0x00, call.count});
    }
    require(port.sent == request, "the request frame is wrong");

    // A request like a failed one may first wait out that one's late reply,
    // at most the longest reply wait and one more poll.
    const std::uint64_t started = port.sentAtUs.front();
    require(started - t0 <= (torv::kMostPolls + 1) * torv::kReadPollMs * kMs, "waited too long before sending");
    // Sending takes BaudIndex + 1 ms a byte; the reply wait one to eleven polls.
    const std::uint64_t sending = 8 * (call.baudIndex + 1u) * kMs;
    const std::uint64_t poll = (call.write ? torv::kWritePollMs : torv::kReadPollMs) * kMs;
    const std::uint64_t took = clock.nowUs() - started;
    require(took >= sending + poll && took <= sending + torv::kMostPolls * poll, "the transaction took the wrong time");

    // Nothing that was on the line before the last request byte is read as reply.
    const ReadBytes& reply = port.afterRequest;
    for (const auto& b : reply)
        require(b.arrivedUs > port.sentAtUs.back(), "a stale byte was taken into the reply");

    // The link reads a reply only when it fits its receive buffer.
    const bool readable = reply.size() <= torv::kRxBufferSize;
    bool headerOk = false;
    bool valid = false;
    const char* failureText = nullptr;
    if (call.write) {
        headerOk = readable && byteIs(reply, 0, call.address) && byteIs(reply, 1, 0x06) && byteIs(reply, 3, call.start);
        valid = headerOk && crcHolds(reply, 6);
        failureText = headerOk ? torv::texts::kWriteCrcError : torv::texts::kNoWriteAck;
    } else {
        const std::size_t dataBytes = 2u * call.count;
        headerOk = readable && byteIs(reply, 0, call.address) && byteIs(reply, 1, 0x03) &&
                   byteIs(reply, 2, static_cast<std::uint8_t>(dataBytes));
        valid = headerOk && crcHolds(reply, dataBytes + 3);
        failureText = headerOk ? torv::texts::kReadCrcError : torv::texts::kNoCommunication;
    }
    if (call.write || call.count <= kMostCheckedCount) {
        require(accepted == valid, accepted ? "an invalid reply was accepted" : "a valid reply was rejected");
        checkBoxes(notifier, boxesBefore, call, valid, failureText);
    } else {
        require(!accepted || headerOk, "a reply with a wrong header was accepted");
    }

    // The image: never touched by a write or a failed read; a good read changes
    // only the requested bytes of the requested address, to the reply's data.
    const int first = call.start;
    const int last = call.start + 2 * call.count - 1;
    for (int a = 0; a <= torv::kMaxAddress; ++a) {
        const bool readRow = !call.write && accepted && a >= 1 && a == call.address;
        if (!readRow) {
            require(link.image.row(a) == before.row(a), "the image changed without a good read");
            continue;
        }
        for (int b = torv::kFirstByte; b <= torv::kLastByte; ++b) {
            const std::uint8_t now = link.image.at(a, b);
            if (b < first || b > last)
                require(now == before.at(a, b), "a good read changed bytes outside its range");
            else if (call.count <= kMostCheckedCount)
                require(now == reply[3 + (b - first)].value, "the image does not hold the reply's data");
        }
    }

    auto& outcome = torv::fuzz::lastOutcome();
    ++(accepted ? outcome.accepted : outcome.rejected);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    torv::fuzz::lastOutcome() = {};
    torv::PortSettings settings;
    torv::VirtualClock clock;
    torv::testing::RecordingNotifier notifier;
    torv::ModbusLink link(settings, clock);
    auto owned = std::make_unique<TimedPort>(clock);
    TimedPort& port = *owned;
    link.attachPort(std::move(owned));
    // A recognisable image, so a write's data and a read's changes both show.
    for (int a = 1; a <= torv::kMaxAddress; ++a)
        for (int b = torv::kFirstByte; b <= torv::kLastByte; ++b)
            link.image.at(a, b) = static_cast<std::uint8_t>(a * 31 + b);

    FuzzInput in(data, size);
    for (int n = 0; n < kMostTransactions && !in.empty(); ++n) {
        Call call{};
        const std::uint8_t op = in.byte();
        call.write = op & 0x01;
        call.showBoxes = op & 0x02;
        call.baudIndex = (op >> 2) & 0x03;
        call.portClosed = op & 0x10;
        call.address = in.byte();
        call.start = in.byte();
        call.count = call.write ? 1 : in.byte();
        runCall(link, clock, port, notifier, call, in);
    }
    return 0;
}
