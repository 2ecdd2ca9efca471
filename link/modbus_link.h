#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "clock.h"
#include "memory_image.h"
#include "port.h"
#include "port_settings.h"

namespace torv {

// Timing of the transactions.
inline constexpr unsigned kReadPollMs = 150;
inline constexpr unsigned kWritePollMs = 50;
inline constexpr int kMostPolls = 11;
inline constexpr std::size_t kRxBufferSize = 1025;

// When a reply is taken as complete.
enum class ReplyRule : std::uint8_t {
    // A whole poll period brought no new byte: the window's rule, the timing
    // these controllers are known to work with.
    Quiet,
    // The bytes of the reply expected are in (8 for a write echo, 5 + 2n for
    // a read of n registers, 5 for an exception reply); a reply short of them
    // after the first period is waited for by the quiet rule. The line is then
    // left idle a Modbus frame gap (3.5 characters) before the next request.
    Frame,
};

// The bus spine: the port handle, the blocking Modbus RTU transactions
// (functions 03 and 06 only) and the device memory image they fill.
// One thread; every call runs to its end.
class ModbusLink {
public:
    ModbusLink(PortSettings& settings, Clock& clock);
    ~ModbusLink();
    ModbusLink(const ModbusLink&) = delete;
    ModbusLink& operator=(const ModbusLink&) = delete;

    // Opens "COM" + (ComIndex + 1) with the line settings of BaudIndex and
    // ParityIndex; false (and PortOpen false) when the port cannot be had.
    bool Ustaw_COM();
    // Closes the port handle; harmless when none is open.
    void CloseHandle();
    // Uses an already open port (tests, in-process simulator).
    void attachPort(std::unique_ptr<Port> port);

    // How the link judged a reply.
    enum class Outcome : std::uint8_t {
        Ok,
        NoReply,   // not a byte came
        BadHeader, // address, function or length not the request's
        BadCrc,
        Noise,     // more bytes than any reply has: drained and dropped
    };
    // What a transaction did: how its reply was judged and the reply's bytes
    // (valid until the next transaction). Nothing sent: not ok, no bytes.
    struct Reply {
        bool sent = false;
        Outcome outcome = Outcome::NoReply;
        std::span<const std::uint8_t> bytes;
        bool ok() const { return sent && outcome == Outcome::Ok; }
    };

    // Read `count` registers at byte address `start` of slave `address`; an
    // answered read fills the image. Without an open port, or for an address
    // outside 1..250 (0 would reach every controller of the line at once),
    // nothing is sent and the transaction counts as failed: an earlier
    // success must not make unsent work look done.
    Reply Read_Modbus_Byte(std::uint8_t address, std::uint8_t start, std::uint8_t count);
    // Write `value` (high byte first on the line) to register `start` of
    // slave `address`; refused as a read is.
    Reply Load_Modbus_Byte(std::uint8_t address, std::uint8_t start, std::uint16_t value);
    // The register the image holds at bytes start, start+1 of `address`, as a
    // write sends it; 0 where the image holds no such bytes.
    std::uint16_t imageWord(std::uint8_t address, std::uint8_t start) const;
    // CRC of the first `length` frame-buffer bytes, stored low byte first right behind them.
    void CRC16(std::size_t length);
    // A pause between transactions or a reply poll: an idle wait of the clock.
    void DelayMs(unsigned ms);

    bool PortOpen = false;
    // The window keeps Quiet; torv-cli may choose Frame.
    ReplyRule replyRule = ReplyRule::Quiet;
    MemoryImage image;

    // How Ustaw_COM opens a device: the serial port or a network line, or a stand-in in tests.
    // Returns nullptr when the device cannot be had.
    using PortOpener = std::function<std::unique_ptr<Port>(const std::string& device, std::uint8_t baudIndex,
                                                           std::uint8_t parityIndex)>;
    PortOpener opener;

    // Told of every transaction that went on the line, after its checks: for
    // bus monitors and for tests that hold the controller to what the tool saw.
    struct Transaction {
        std::uint8_t function; // 0x03 or 0x06
        std::uint8_t address;
        std::uint8_t start;
        std::uint8_t count;    // registers read; 1 for a write
        bool ok;               // the reply was judged good
        Outcome outcome = Outcome::Ok;
        std::span<const std::uint8_t> request; // the 8 bytes sent
        std::span<const std::uint8_t> reply;   // what came (of noise, its first bytes)
        std::size_t replyBytes = 0;            // how many came
        std::uint64_t sentUs = 0;              // the request's last byte left
        std::uint64_t judgedUs = 0;            // the reply was taken and checked
    };
    std::function<void(const Transaction&)> onTransaction;
    // Bytes dropped before a request went out: a reply that came after its
    // transaction gave up, or anything else the line carried meanwhile.
    struct Discard {
        std::span<const std::uint8_t> bytes; // the first of them
        std::size_t total;
        std::uint64_t atUs;
    };
    std::function<void(const Discard&)> onDiscard;

    // Where COMn links are looked for; the process's working directory by default.
    std::string workDir = ".";
    // The device that the last Ustaw_COM resolved (for diagnostics).
    const std::string& deviceName() const { return device_; }
    // The open port was set without the parity of the settings (a pseudo-terminal).
    bool PortParityLeftOff() const { return port_ && port_->parityLeftOff(); }

    Clock& clock() { return clock_; }
    PortSettings& settings() { return settings_; }

    // Buffers of the last transaction, visible for tests.
    const std::array<std::uint8_t, 64>& frameBuffer() const { return FrameBuffer; }
    std::size_t received() const { return rxCount_; }
    // Poll periods the last reply wait took (1..11), for timing measurements.
    int lastPolls() const { return lastPolls_; }

private:
    // Drains what waits; returns whether anything did. Keeps the first bytes in `dropped_`.
    bool drain();
    void discardStaleBytes();
    // `tag` is what the reply can be told apart by besides address and
    // function: the byte count of a read, the register of a write echo.
    void awaitLateReply(std::uint8_t address, std::uint8_t function, std::uint8_t tag);
    void notePossibleLateReply(std::uint8_t address, std::uint8_t function, std::uint8_t tag,
                               std::size_t replyLength, unsigned pollMs);
    // Tells the observer of the transaction just judged; returns what it did.
    Reply report(std::uint8_t function, std::uint8_t address, std::uint8_t start, std::uint8_t count,
                 Outcome outcome);
    void sendByte(std::size_t index, std::uint8_t byte);
    // The six header bytes and their CRC, byte by byte.
    void sendRequest(const std::uint8_t (&request)[6]);
    void waitQuietLine(unsigned pollMs);
    void collectReply();
    // The reply to the request just sent, by the link's rule: `expected`
    // bytes for a good one, 5 when its function byte is `function` | 0x80.
    void awaitReply(unsigned pollMs, std::size_t expected, std::uint8_t function);
    void awaitFrame(unsigned pollMs, std::size_t expected, std::uint8_t function);
    // Moves waiting bytes into the reply buffer, at most up to `upTo`; a
    // burst beyond the buffer is drained as noise.
    void takeWaiting(std::size_t upTo);
    std::uint64_t characterUs() const;
    // Reply byte i when it arrived in this transaction.
    bool rxIs(std::size_t i, std::uint8_t value) const { return i < rxCount_ && RxBuffer[i] == value; }
    std::uint8_t rxOrZero(std::size_t i) const { return i < rxCount_ ? RxBuffer[i] : 0; }

    PortSettings& settings_;
    Clock& clock_;
    std::unique_ptr<Port> port_;
    std::string device_;
    std::array<std::uint8_t, 64> FrameBuffer{};
    std::array<std::uint8_t, kRxBufferSize> RxBuffer{};
    std::size_t rxCount_ = 0;
    // The request as sent and when it was complete, for the observer.
    std::array<std::uint8_t, 8> request_{};
    std::uint64_t sentUs_ = 0;
    // Bytes drained without being a reply: how many, and the first of them.
    std::array<std::uint8_t, 64> dropped_{};
    std::size_t droppedTotal_ = 0;
    bool noise_ = false;
    std::size_t lastWaiting_ = 0;
    int lastPolls_ = 0;
    // Frame rule: when the line has been idle a frame gap after the last reply.
    std::uint64_t lineFreeUs_ = 0;
    // A failed request whose reply may still be on its way. RTU replies carry
    // no request identity: a late reply to a request of the same address,
    // function and count would pass every check of the next one.
    struct LateReply {
        bool possible = false;
        std::uint8_t address = 0, function = 0, tag = 0;
        unsigned pollMs = 0;
        std::uint64_t untilUs = 0;
    } late_;
};

} // namespace torv
