#include "modbus_link.h"

#include "com_device.h"
#include "crc16.h"
#include "line_port.h"

#include <algorithm>

namespace torv {

ModbusLink::ModbusLink(PortSettings& settings, Clock& clock)
    : settings_(settings), clock_(clock)
{
    // A network line is given no longer to connect than a reply is waited for:
    // the window waits on it.
    opener = [this](const std::string& device, std::uint8_t baudIndex,
                    std::uint8_t parityIndex) -> std::unique_ptr<Port> {
        return OpenLinePort(device, LineSettingsOf(baudIndex, parityIndex), clock_, nullptr,
                            static_cast<unsigned>(kMostPolls) * kReadPollMs);
    };
}

ModbusLink::~ModbusLink() { CloseHandle(); }

void ModbusLink::CloseHandle()
{
    if (port_) {
        port_->close();
        port_.reset();
    }
    PortOpen = false;
}

void ModbusLink::attachPort(std::unique_ptr<Port> port)
{
    CloseHandle();
    late_.possible = false;
    port_ = std::move(port);
    PortOpen = port_ != nullptr;
}

bool ModbusLink::Ustaw_COM()
{
    device_ = ResolveComDevice(settings_.ComIndex, workDir);
    port_.reset();
    late_.possible = false;
    auto port = opener(device_, settings_.BaudIndex, settings_.ParityIndex);
    if (!port) {
        PortOpen = false;
        return false;
    }
    port_ = std::move(port);
    PortOpen = true;
    return true;
}

void ModbusLink::DelayMs(unsigned ms) { torv::IdleMs(clock_, ms); }

void ModbusLink::CRC16(std::size_t length)
{
    const std::uint16_t crc = crc16(FrameBuffer.data(), length);
    FrameBuffer[length] = static_cast<std::uint8_t>(crc & 0xFF);
    FrameBuffer[length + 1] = static_cast<std::uint8_t>(crc >> 8);
}

bool ModbusLink::drain()
{
    droppedTotal_ = 0;
    std::array<std::uint8_t, 256> sink{};
    while (port_->bytesWaiting() > 0) {
        const std::size_t n = port_->read(sink.data(), sink.size());
        if (n == 0)
            break;
        if (droppedTotal_ < dropped_.size())
            std::copy_n(sink.begin(), std::min(n, dropped_.size() - droppedTotal_), dropped_.begin() + droppedTotal_);
        droppedTotal_ += n;
    }
    return droppedTotal_ > 0;
}

void ModbusLink::discardStaleBytes()
{
    // A reply that came after its transaction gave up would otherwise head the
    // next reply; with the same address, function and count it would pass
    // every check and put another request's bytes into the image. Nothing
    // that arrives before our last request byte can answer this request.
    if (drain() && onDiscard)
        onDiscard({{dropped_.data(), std::min(droppedTotal_, dropped_.size())}, droppedTotal_, clock_.nowUs()});
}

void ModbusLink::notePossibleLateReply(std::uint8_t address, std::uint8_t function, std::uint8_t tag,
                                       std::size_t replyLength, unsigned pollMs)
{
    // A whole reply's worth of bytes came: nothing more is owed.
    if (rxCount_ >= replyLength) {
        late_.possible = false;
        return;
    }
    // A slow controller is as late for a write as for a read: the longest
    // reply wait bounds how long a late reply is looked out for.
    late_ = {true, address, function, tag, pollMs,
             clock_.nowUs() + static_cast<std::uint64_t>(kMostPolls) * kReadPollMs * 1000u};
}

void ModbusLink::awaitLateReply(std::uint8_t address, std::uint8_t function, std::uint8_t tag)
{
    if (!late_.possible)
        return;
    if (clock_.nowUs() >= late_.untilUs) {
        late_.possible = false;
        return;
    }
    if (late_.address != address || late_.function != function || late_.tag != tag)
        return; // any late reply would fail this request's header check
    // Let the late reply come and go (or its time run out) before asking again.
    bool heard = false;
    while (clock_.nowUs() < late_.untilUs) {
        DelayMs(late_.pollMs);
        const std::size_t waiting = port_->bytesWaiting();
        discardStaleBytes();
        if (waiting > 0)
            heard = true;
        else if (heard)
            break;
    }
    late_.possible = false;
}

void ModbusLink::sendByte(std::size_t index, std::uint8_t byte)
{
    FrameBuffer[index] = byte;
    discardStaleBytes();
    port_->transmit(byte);
    // Never idle: a byte sent late splits the frame at the controller.
    torv::DelayMs(clock_, static_cast<unsigned>(settings_.BaudIndex) + 1u);
}

void ModbusLink::waitQuietLine(unsigned pollMs)
{
    int polls = 0;
    for (;;) {
        const std::size_t q0 = port_->bytesWaiting();
        DelayMs(pollMs);
        ++polls;
        lastWaiting_ = port_->bytesWaiting();
        lastPolls_ = polls;
        if (polls > kMostPolls - 1 || q0 == lastWaiting_)
            return;
    }
}

std::uint64_t ModbusLink::characterUs() const
{
    // Eleven bits a character: start, eight data, parity or a second stop, stop.
    return 11'000'000u / static_cast<std::uint64_t>(LineSettingsOf(settings_.BaudIndex, settings_.ParityIndex).baud);
}

void ModbusLink::takeWaiting(std::size_t upTo)
{
    if (noise_)
        return;
    const std::size_t waiting = port_->bytesWaiting();
    if (rxCount_ + waiting > kRxBufferSize) {
        noise_ = drain();
        rxCount_ = 0;
        return;
    }
    const std::size_t want = std::min(waiting, upTo > rxCount_ ? upTo - rxCount_ : 0);
    if (want > 0)
        rxCount_ += port_->read(RxBuffer.data() + rxCount_, want);
}

void ModbusLink::awaitReply(unsigned pollMs, std::size_t expected, std::uint8_t function)
{
    if (replyRule == ReplyRule::Frame) {
        awaitFrame(pollMs, expected, function);
        return;
    }
    waitQuietLine(pollMs);
    collectReply();
}

void ModbusLink::awaitFrame(unsigned pollMs, std::size_t expected, std::uint8_t function)
{
    rxCount_ = 0;
    noise_ = false;
    // How many bytes make the reply whole, as far as its function byte tells.
    const auto whole = [&] {
        return rxCount_ >= 2 && RxBuffer[1] == (function | 0x80u) ? std::size_t{5} : expected;
    };
    const auto complete = [&] { return !noise_ && rxCount_ > 0 && rxCount_ >= whole(); };
    // The first period, looked at a character time at a time: a whole reply
    // ends the wait at once; bytes after it stay for the next request's drain.
    const std::uint64_t periodEnd = clock_.nowUs() + pollMs * 1000u;
    lastPolls_ = 1;
    while (!complete()) {
        clock_.idleUntilUs(std::min(periodEnd, clock_.nowUs() + characterUs()));
        takeWaiting(rxCount_ < 2 ? std::min<std::size_t>(2, expected) : whole());
        if (rxCount_ >= 2)
            takeWaiting(whole());
        if (clock_.nowUs() >= periodEnd)
            break;
    }
    // Short of a whole reply (or nothing at all): the quiet rule from here on,
    // so a slow or chopped reply is waited for as the window waits for it.
    // Noise has been drained and fails the reply anyway: no need to wait on it.
    if (!complete() && rxCount_ > 0 && !noise_) {
        std::size_t before = rxCount_;
        while (lastPolls_ < kMostPolls) {
            DelayMs(pollMs);
            ++lastPolls_;
            takeWaiting(kRxBufferSize);
            if (noise_ || rxCount_ == before)
                break;
            before = rxCount_;
        }
    }
    lineFreeUs_ = clock_.nowUs() + (7 * characterUs() + 1) / 2;
}

void ModbusLink::collectReply()
{
    rxCount_ = 0;
    noise_ = false;
    std::size_t waiting = lastWaiting_;
    if (waiting == 0)
        return;
    if (waiting > kRxBufferSize) {
        // A burst of line noise: drain it so the next transaction starts on a
        // clean queue, and let this one fail on the empty reply.
        noise_ = drain();
        return;
    }
    rxCount_ = port_->read(RxBuffer.data(), waiting);
}

ModbusLink::Reply ModbusLink::report(std::uint8_t function, std::uint8_t address, std::uint8_t start,
                                     std::uint8_t count, Outcome outcome)
{
    if (outcome == Outcome::BadHeader && noise_)
        outcome = Outcome::Noise;
    else if (outcome == Outcome::BadHeader && rxCount_ == 0)
        outcome = Outcome::NoReply;
    const std::span<const std::uint8_t> reply =
        noise_ ? std::span<const std::uint8_t>(dropped_.data(), std::min(droppedTotal_, dropped_.size()))
               : std::span<const std::uint8_t>(RxBuffer.data(), rxCount_);
    if (onTransaction) {
        Transaction t{};
        t.function = function;
        t.address = address;
        t.start = start;
        t.count = count;
        t.ok = outcome == Outcome::Ok;
        t.outcome = outcome;
        t.request = request_;
        t.reply = reply;
        t.replyBytes = noise_ ? droppedTotal_ : rxCount_;
        t.sentUs = sentUs_;
        t.judgedUs = clock_.nowUs();
        onTransaction(t);
    }
    return {true, outcome, reply};
}

void ModbusLink::sendRequest(const std::uint8_t (&request)[6])
{
    // The frame gap after a reply taken early; the quiet rule always leaves more.
    if (lineFreeUs_ > clock_.nowUs())
        clock_.sleepUntilUs(lineFreeUs_);
    for (std::size_t i = 0; i < 6; ++i)
        sendByte(i, request[i]);
    CRC16(6);
    const std::uint8_t crcLow = FrameBuffer[6], crcHigh = FrameBuffer[7];
    sendByte(6, crcLow);
    sendByte(7, crcHigh);
    std::copy_n(FrameBuffer.begin(), request_.size(), request_.begin());
    sentUs_ = clock_.nowUs();
}

ModbusLink::Reply ModbusLink::Read_Modbus_Byte(std::uint8_t address, std::uint8_t start, std::uint8_t count)
{
    if (!PortOpen || !port_ || !IsSlaveAddress(address))
        return {};
    awaitLateReply(address, 0x03, count);
    const std::uint8_t request[6] = {address, 0x03, 0x00, start, 0x00, count};
    sendRequest(request);

    awaitReply(kReadPollMs, 5u + 2u * std::min<std::size_t>(count, 29), 0x03);

    // The reply's header and data, over which its CRC is recomputed. Count is
    // capped so a caller's out-of-range count cannot run past the buffer.
    const std::size_t dataBytes = 2u * std::min<std::size_t>(count, 29);
    const std::size_t headerAndData = dataBytes + 3;
    for (std::size_t i = 0; i < headerAndData; ++i)
        FrameBuffer[i] = rxOrZero(i);
    CRC16(headerAndData);

    if (!rxIs(0, address) || !rxIs(1, 0x03) || !rxIs(2, static_cast<std::uint8_t>(2u * count))) {
        notePossibleLateReply(address, 0x03, count, headerAndData + 2, kReadPollMs);
        return report(0x03, address, start, count, Outcome::BadHeader);
    }
    if (!rxIs(headerAndData, FrameBuffer[headerAndData]) || !rxIs(headerAndData + 1, FrameBuffer[headerAndData + 1])) {
        notePossibleLateReply(address, 0x03, count, headerAndData + 2, kReadPollMs);
        return report(0x03, address, start, count, Outcome::BadCrc);
    }
    for (std::size_t i = 0; i < dataBytes; ++i) {
        const int byteAddress = start + static_cast<int>(i);
        if (MemoryImage::holds(address, byteAddress))
            image.at(address, byteAddress) = RxBuffer[3 + i];
    }
    return report(0x03, address, start, count, Outcome::Ok);
}

std::uint16_t ModbusLink::imageWord(std::uint8_t address, std::uint8_t start) const
{
    if (!MemoryImage::holds(address, start) || !MemoryImage::holds(address, start + 1))
        return 0;
    return static_cast<std::uint16_t>(image.at(address, start) << 8 | image.at(address, start + 1));
}

ModbusLink::Reply ModbusLink::Load_Modbus_Byte(std::uint8_t address, std::uint8_t start, std::uint16_t value)
{
    if (!PortOpen || !port_ || !IsSlaveAddress(address))
        return {};
    awaitLateReply(address, 0x06, start);
    const std::uint8_t request[6] = {address, 0x06, 0x00, start, static_cast<std::uint8_t>(value >> 8),
                                     static_cast<std::uint8_t>(value & 0xFF)};
    sendRequest(request);

    awaitReply(kWritePollMs, 8, 0x06);

    for (std::size_t i = 0; i < 6; ++i)
        FrameBuffer[i] = rxOrZero(i);
    CRC16(6);

    if (!rxIs(0, address) || !rxIs(1, 0x06) || !rxIs(3, start)) {
        notePossibleLateReply(address, 0x06, start, 8, kWritePollMs);
        return report(0x06, address, start, 1, Outcome::BadHeader);
    }
    if (!rxIs(6, FrameBuffer[6]) || !rxIs(7, FrameBuffer[7])) {
        notePossibleLateReply(address, 0x06, start, 8, kWritePollMs);
        return report(0x06, address, start, 1, Outcome::BadCrc);
    }
    return report(0x06, address, start, 1, Outcome::Ok);
}

} // namespace torv
