#include "network_port.h"

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "modbus_link.h"

namespace torv {

namespace {

constexpr unsigned kFirstBackoffMs = 1000;
constexpr unsigned kLongestBackoffMs = 30000;
// A held request is worth sending only while its reply could still be waited for.
constexpr std::uint64_t kHoldUs = static_cast<std::uint64_t>(kMostPolls) * kReadPollMs * 1000u;

using Steady = std::chrono::steady_clock;

int MsLeft(Steady::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Steady::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

std::string Seconds(unsigned ms)
{
    return ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
}

// The resolver may hang on a broken name server: it runs on a thread of its
// own, and a lookup that outlives the wait is left to finish there alone.
net::Resolved ResolveWithin(const std::string& host, std::uint16_t port, Steady::time_point deadline,
                            unsigned boundMs)
{
    struct Lookup {
        std::mutex mutex;
        std::condition_variable done;
        std::optional<net::Resolved> result;
    };
    auto lookup = std::make_shared<Lookup>();
    std::thread([lookup, host, port] {
        net::Resolved resolved = net::ResolveNow(host, port);
        const std::lock_guard lock(lookup->mutex);
        lookup->result = std::move(resolved);
        lookup->done.notify_all();
    }).detach();
    std::unique_lock lock(lookup->mutex);
    if (!lookup->done.wait_until(lock, deadline, [&] { return lookup->result.has_value(); }))
        return {{}, "the name lookup took longer than " + Seconds(boundMs)};
    return std::move(*lookup->result);
}

OpenError Failure(std::string text) { return {OpenFailure::Other, 0, std::move(text)}; }

// Connects to one address within the deadline: the socket, or why not.
net::Handle ConnectWithin(const net::Address& address, Steady::time_point deadline, unsigned boundMs,
                          std::string& why)
{
    net::Connecting attempt = net::StartConnect(address);
    net::Progress progress = attempt.progress;
    why = attempt.error;
    while (progress == net::Progress::Pending) {
        const int left = MsLeft(deadline);
        if (left == 0) {
            why = "no connection within " + Seconds(boundMs);
            break;
        }
        progress = net::AwaitConnect(attempt.socket, left, &why);
    }
    if (progress == net::Progress::Connected)
        return attempt.socket;
    net::Close(attempt.socket);
    return net::kNoSocket;
}

} // namespace

NetworkPort::NetworkPort(const LineUrl& url, const LineSettings& line, Clock& clock, net::Address address,
                         unsigned connectMs)
    : url_(url), line_(line), clock_(clock), address_(std::move(address)), connectMs_(connectMs)
{
}

NetworkPort::~NetworkPort() { close(); }

std::unique_ptr<NetworkPort> NetworkPort::open(const LineUrl& url, const LineSettings& line, Clock& clock,
                                               OpenError* error, unsigned connectMs)
{
    const auto fail = [&](std::string text) -> std::unique_ptr<NetworkPort> {
        if (error)
            *error = Failure(std::move(text));
        return nullptr;
    };
    const Steady::time_point deadline = Steady::now() + std::chrono::milliseconds(connectMs);
    const net::Resolved resolved = ResolveWithin(url.host, url.port, deadline, connectMs);
    if (resolved.addresses.empty())
        return fail(url.host + ": " + resolved.error);

    std::string why;
    for (const net::Address& address : resolved.addresses) {
        const net::Handle socket = ConnectWithin(address, deadline, connectMs, why);
        if (socket == net::kNoSocket) {
            if (MsLeft(deadline) == 0)
                break;
            continue;
        }
        std::unique_ptr<NetworkPort> port(new NetworkPort(url, line, clock, address, connectMs));
        port->socket_ = socket;
        port->link_ = Link::Connecting;
        port->connected();
        // An rfc2217 server confirms the line before the port is handed out.
        while (port->link_ == Link::Up && !port->settled_) {
            const int left = MsLeft(deadline);
            if (left == 0)
                return fail("the server did not confirm the line settings within " + Seconds(connectMs));
            net::AwaitReadable(port->socket_, left);
            port->pull();
        }
        if (port->link_ != Link::Up)
            return fail(port->refusal_.empty() ? "the server closed the connection" : port->refusal_);
        return port;
    }
    return fail(why);
}

void NetworkPort::connected()
{
    ++connections_;
    link_ = Link::Up;
    settled_ = url_.scheme == LineScheme::Tcp;
    if (url_.scheme == LineScheme::Rfc2217) {
        telnet_.reset();
        const std::vector<std::uint8_t> greeting = telnet_.greeting(line_);
        if (!net::SendAll(socket_, greeting.data(), greeting.size()))
            return drop(true);
    }
    if (settled_)
        ready();
}

void NetworkPort::ready()
{
    settled_ = true;
    backoffMs_ = kFirstBackoffMs;
    if (holdIsStale())
        held_.clear();
    std::vector<std::uint8_t> held;
    held.swap(held_);
    for (const std::uint8_t byte : held)
        send(byte);
}

void NetworkPort::drop(bool attemptFailed)
{
    net::Close(socket_);
    socket_ = net::kNoSocket;
    link_ = Link::Down;
    settled_ = false;
    // A connection that worked is tried again after the first back-off; each
    // failed attempt doubles the next wait.
    const unsigned wait = attemptFailed ? backoffMs_ : kFirstBackoffMs;
    nextAttemptUs_ = clock_.nowUs() + static_cast<std::uint64_t>(wait) * 1000u;
    backoffMs_ = std::min(wait * 2, kLongestBackoffMs);
}

void NetworkPort::beginAttempt()
{
    net::Connecting attempt = net::StartConnect(address_);
    attemptStartUs_ = clock_.nowUs();
    socket_ = attempt.socket;
    link_ = Link::Connecting;
    if (attempt.progress == net::Progress::Failed)
        return drop(true);
    if (attempt.progress == net::Progress::Connected)
        connected();
}

void NetworkPort::advance()
{
    if (link_ == Link::Connecting) {
        std::string why;
        const net::Progress progress = net::AwaitConnect(socket_, 0, &why);
        if (progress == net::Progress::Connected)
            connected();
        else if (progress == net::Progress::Failed ||
                 clock_.nowUs() - attemptStartUs_ >= static_cast<std::uint64_t>(connectMs_) * 1000u)
            drop(true);
    }
    if (link_ == Link::Up && !settled_) {
        pull();
        if (link_ == Link::Up && !settled_ &&
            clock_.nowUs() - attemptStartUs_ >= static_cast<std::uint64_t>(connectMs_) * 1000u)
            drop(true);
    }
}

bool NetworkPort::holdIsStale() const { return !held_.empty() && clock_.nowUs() - heldSinceUs_ > kHoldUs; }

void NetworkPort::send(std::uint8_t byte)
{
    if (url_.scheme == LineScheme::Tcp) {
        if (!net::SendAll(socket_, &byte, 1))
            drop(false);
        return;
    }
    std::vector<std::uint8_t> bytes;
    telnet_.encode(byte, bytes);
    if (!net::SendAll(socket_, bytes.data(), bytes.size()))
        drop(false);
}

void NetworkPort::transmit(std::uint8_t byte)
{
    if (link_ == Link::Closed)
        return;
    if (link_ == Link::Down && clock_.nowUs() >= nextAttemptUs_)
        beginAttempt();
    advance();
    if (link_ == Link::Up && settled_)
        return send(byte);
    if (link_ == Link::Down)
        return; // a silent line until the back-off has passed
    if (holdIsStale())
        held_.clear();
    if (held_.empty())
        heldSinceUs_ = clock_.nowUs();
    // One request's worth: anything beyond is no request of ours.
    if (held_.size() < 256)
        held_.push_back(byte);
}

void NetworkPort::pull()
{
    std::array<std::uint8_t, 512> chunk{};
    std::vector<std::uint8_t> replies;
    while (link_ == Link::Up) {
        const long got = net::Receive(socket_, chunk.data(), chunk.size());
        if (got == 0)
            break;
        if (got < 0) {
            if (url_.scheme == LineScheme::Rfc2217 && !settled_)
                refusal_ = telnet_.mismatch(line_);
            drop(!settled_);
            break;
        }
        const auto n = static_cast<std::size_t>(got);
        if (url_.scheme == LineScheme::Tcp) {
            data_.insert(data_.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(n));
            continue;
        }
        telnet_.decode(chunk.data(), n, data_, replies);
        if (!replies.empty()) {
            const bool sent = net::SendAll(socket_, replies.data(), replies.size());
            replies.clear();
            if (!sent) {
                drop(!settled_);
                break;
            }
        }
        if (!settled_) {
            refusal_ = telnet_.mismatch(line_);
            if (!refusal_.empty()) {
                drop(true);
                break;
            }
            if (telnet_.settled())
                ready();
        }
    }
}

std::size_t NetworkPort::bytesWaiting()
{
    if (link_ == Link::Closed)
        return 0;
    advance();
    if (link_ == Link::Up)
        pull();
    return data_.size();
}

std::size_t NetworkPort::read(std::uint8_t* buffer, std::size_t n)
{
    const std::size_t taken = std::min(n, data_.size());
    std::copy_n(data_.begin(), taken, buffer);
    data_.erase(data_.begin(), data_.begin() + static_cast<std::ptrdiff_t>(taken));
    return taken;
}

void NetworkPort::close()
{
    net::Close(socket_);
    socket_ = net::kNoSocket;
    link_ = Link::Closed;
    held_.clear();
    data_.clear();
}

NetworkPort::State NetworkPort::state() const
{
    return {link_, link_ == Link::Up && settled_, connections_, nextAttemptUs_, backoffMs_};
}

} // namespace torv
