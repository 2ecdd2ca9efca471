#include "sim/line.h"

#include <algorithm>
#include <cstdio>

#include "link/frame_text.h"
#include "sim/frame.h"

namespace torv::sim {

namespace {

// Longest request there is (function 16 with 255 data bytes); more waiting bytes can only be garbage.
constexpr std::size_t kLongestFrame = 264;

std::uint64_t byteTimeUs(unsigned bitsPerByte, unsigned baud)
{
    return (static_cast<std::uint64_t>(bitsPerByte) * 1000000u + baud - 1) / baud;
}

enum class RandomKind { Silent, BadCrc, WrongAddress, WrongFunction, Exception, Garbage, Delay, Split, Count };

} // namespace

Line::Line(LineOptions options, std::uint32_t seed) : options_(options), random_(seed) {}

Controller& Line::add(std::uint8_t address)
{
    if (Controller* c = find(address))
        return *c;
    controllers_.push_back(std::make_unique<Controller>(address, options_.startBaudCode));
    return *controllers_.back();
}

Controller* Line::find(std::uint8_t address)
{
    for (auto& c : controllers_)
        if (c->address() == address)
            return c.get();
    return nullptr;
}

void Line::advance(std::uint64_t nowUs)
{
    if (!modelStarted_) {
        modelStarted_ = true;
        modelUs_ = nowUs;
    } else if (nowUs > modelUs_ && !options_.still) {
        for (auto& c : controllers_)
            c->advanceModel(nowUs - modelUs_, options_.hourSeconds);
        modelUs_ = nowUs;
    }
    if (!rx_.empty() && nowUs > lastRxUs_ && nowUs - lastRxUs_ > silenceUs()) {
        trace(nowUs, "drop partial", rx_.data(), rx_.size());
        rx_.clear();
    }
}

void Line::receive(const std::uint8_t* data, std::size_t n, std::uint64_t nowUs)
{
    if (n == 0)
        return;
    advance(nowUs);
    if (options_.traceBytes)
        trace(nowUs, "rx", data, n);
    rx_.insert(rx_.end(), data, data + n);
    lastRxUs_ = nowUs;
    parse(nowUs);
}

std::vector<std::uint8_t> Line::takeDue(std::uint64_t nowUs)
{
    advance(nowUs);
    std::vector<std::uint8_t> due;
    while (!out_.empty() && out_.front().dueUs <= nowUs) {
        due.push_back(out_.front().value);
        out_.pop_front();
    }
    return due;
}

std::optional<std::uint64_t> Line::nextDueUs() const
{
    if (out_.empty())
        return std::nullopt;
    return out_.front().dueUs;
}

std::uint64_t Line::silenceUs() const
{
    if (!options_.strictTiming)
        return static_cast<std::uint64_t>(options_.partialSilenceMs) * 1000u;
    unsigned baud = lineBaud_;
    if (baud == 0) {
        const Controller* c = nullptr;
        for (const auto& each : controllers_)
            if (!rx_.empty() && each->address() == rx_[0])
                c = each.get();
        baud = c ? c->baudRate() : 9600;
    }
    return byteTimeUs(options_.bitsPerByte, baud) * 7 / 2;
}

void Line::parse(std::uint64_t nowUs)
{
    while (auto span = findFrame(rx_)) {
        if (span->offset > 0)
            trace(nowUs, "skip", rx_.data(), span->offset);
        const auto first = rx_.begin() + static_cast<std::ptrdiff_t>(span->offset);
        std::vector<std::uint8_t> frame(first, first + static_cast<std::ptrdiff_t>(span->length));
        rx_.erase(rx_.begin(), first + static_cast<std::ptrdiff_t>(span->length));
        dispatch(frame, nowUs);
    }
    if (rx_.size() > 2 * kLongestFrame) {
        const std::size_t drop = rx_.size() - kLongestFrame;
        trace(nowUs, "skip", rx_.data(), drop);
        rx_.erase(rx_.begin(), rx_.begin() + static_cast<std::ptrdiff_t>(drop));
    }
}

bool Line::hears(const Controller& c) const
{
    return !options_.checkBaud || lineBaud_ == 0 || lineBaud_ == c.baudRate();
}

void Line::dispatch(const std::vector<std::uint8_t>& frame, std::uint64_t nowUs)
{
    trace(nowUs, "in ", frame.data(), frame.size());
    const std::uint8_t address = frame[0];
    if (address == 0) {
        for (auto& c : controllers_) {
            const Faults& f = c->faults();
            const bool dead = f.silent || f.exceptionCode != 0 || (f.failFrom != 0 && c->requests() >= f.failFrom);
            if (hears(*c) && !dead)
                serveRequest(*c, frame);
        }
        return;
    }

    std::vector<Reply> replies;
    bool served = false;
    for (std::size_t i = 0; i < controllers_.size(); ++i) {
        Controller& c = *controllers_[i];
        if (c.address() != address)
            continue;
        served = true;
        if (!hears(c)) {
            trace(nowUs, "garbled at " + std::to_string(lineBaud_) + " baud, controller at "
                      + std::to_string(c.baudRate()), nullptr, 0);
            continue;
        }
        if (auto reply = serveOne(c, frame))
            replies.push_back(std::move(*reply));
        else
            trace(nowUs, "silent", nullptr, 0);
    }
    if (!served)
        trace(nowUs, "nobody at " + std::to_string(address), nullptr, 0);
    if (replies.empty())
        return;
    // Two controllers at one address drive the line at once: the master gets a mix of both.
    Reply& sent = replies.front();
    for (std::size_t i = 1; i < replies.size(); ++i) {
        const auto& other = replies[i].bytes;
        sent.bytes.resize(std::max(sent.bytes.size(), other.size()), 0xFF);
        for (std::size_t b = 0; b < other.size(); ++b)
            sent.bytes[b] &= other[b];
        trace(nowUs, "collision", nullptr, 0);
    }
    schedule(sent, nowUs);
}

std::optional<Line::Reply> Line::serveOne(Controller& c, const std::vector<std::uint8_t>& frame)
{
    c.noteRequest();
    Faults f = c.faults();
    if (options_.randomFaults > 0.0 && std::bernoulli_distribution(std::min(options_.randomFaults, 1.0))(random_))
        f = randomFault(f);
    if (f.silent || (f.failFrom != 0 && c.requests() >= f.failFrom))
        return std::nullopt;

    // The reply leaves at the speed the request came in, even when the write restarts the controller.
    Reply reply{{}, f, c.baudRate()};
    reply.bytes = f.exceptionCode != 0 ? exceptionReply(frame[0], frame[1], f.exceptionCode) : serveRequest(c, frame);
    if (f.wrongAddress)
        reply.bytes[0] = static_cast<std::uint8_t>(reply.bytes[0] % kMaxSlaveAddress + 1);
    if (f.wrongFunction)
        reply.bytes[1] ^= 0x01;
    appendCrc(reply.bytes);
    if (f.badCrc)
        reply.bytes.back() ^= 0x5A;
    return reply;
}

Faults Line::randomFault(const Faults& base)
{
    Faults f = base;
    auto pick = [this](unsigned lo, unsigned hi) { return std::uniform_int_distribution<unsigned>(lo, hi)(random_); };
    switch (static_cast<RandomKind>(pick(0, static_cast<unsigned>(RandomKind::Count) - 1))) {
    case RandomKind::Silent: f.silent = true; break;
    case RandomKind::BadCrc: f.badCrc = true; break;
    case RandomKind::WrongAddress: f.wrongAddress = true; break;
    case RandomKind::WrongFunction: f.wrongFunction = true; break;
    case RandomKind::Exception: f.exceptionCode = exception::DeviceFailure; break;
    case RandomKind::Garbage: f.garbageBytes = pick(1, 8); break;
    case RandomKind::Delay: f.replyDelayMs = pick(50, 1500); break;
    case RandomKind::Split:
        f.splitPieces = pick(2, 4);
        f.splitGapMs = pick(20, 200);
        break;
    case RandomKind::Count: break;
    }
    return f;
}

void Line::schedule(const Reply& reply, std::uint64_t nowUs)
{
    const Faults& f = reply.faults;
    const std::uint64_t byteUs = byteTimeUs(options_.bitsPerByte, reply.baud);
    std::uint64_t t = nowUs + options_.processingUs + static_cast<std::uint64_t>(f.replyDelayMs) * 1000u;
    if (!out_.empty())
        t = std::max(t, out_.back().dueUs); // one driver: replies queue behind each other
    const std::uint64_t start = t;

    std::uniform_int_distribution<unsigned> anyByte(0, 255);
    for (unsigned i = 0; i < f.garbageBytes; ++i) {
        t += byteUs;
        out_.push_back({t, static_cast<std::uint8_t>(anyByte(random_))});
    }
    const std::size_t n = reply.bytes.size();
    const std::size_t pieces = f.splitPieces > 1 ? std::min<std::size_t>(f.splitPieces, n) : 1;
    std::size_t next = 0;
    for (std::size_t p = 0; p < pieces; ++p) {
        if (p > 0)
            t += static_cast<std::uint64_t>(f.splitGapMs) * 1000u;
        const std::size_t size = n / pieces + (p < n % pieces ? 1 : 0);
        for (std::size_t i = 0; i < size; ++i, ++next) {
            t += byteUs;
            out_.push_back({t, reply.bytes[next]});
        }
    }
    trace(start, "out", reply.bytes.data(), reply.bytes.size());
}

void Line::trace(std::uint64_t nowUs, const std::string& what, const std::uint8_t* data, std::size_t n)
{
    if (!trace_)
        return;
    trace_(nowUs, n ? what + " " + HexBytes(data, n) : what);
}

} // namespace torv::sim
