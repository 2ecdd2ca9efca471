#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "link/clock.h"
#include "link/network_port.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using T = torv::TelnetComPort;
using Link = torv::NetworkPort::Link;
using namespace std::chrono_literals;

// A device server on loopback that does what the test tells it: it sends
// `onAccept` to each connection it takes and keeps what each one sent.
class ScriptedServer {
public:
    explicit ScriptedServer(Bytes onAccept = {}) : onAccept_(std::move(onAccept))
    {
        listen(0);
        thread_ = std::thread([this] { run(); });
    }
    ~ScriptedServer()
    {
        stop_ = true;
        thread_.join();
        for (const int fd : connections_)
            if (fd >= 0)
                ::close(fd);
        if (listener_ >= 0)
            ::close(listener_);
    }
    int port() const { return port_; }
    std::string url(const char* scheme) const { return std::string(scheme) + "://127.0.0.1:" + std::to_string(port_); }

    void setOnAccept(Bytes bytes)
    {
        const std::lock_guard lock(mutex_);
        onAccept_ = std::move(bytes);
    }
    // Waits for the n-th connection (1-based); false when it did not come.
    bool waitConnection(std::size_t n)
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 5s, [&] { return received_.size() >= n; });
    }
    std::size_t connectionCount()
    {
        const std::lock_guard lock(mutex_);
        return received_.size();
    }
    // What connection `n` (1-based) has sent once at least `bytes` came, or all it sent within the wait.
    Bytes waitReceived(std::size_t n, std::size_t bytes)
    {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, 5s, [&] { return received_.size() >= n && received_[n - 1].size() >= bytes; });
        return received_.size() >= n ? received_[n - 1] : Bytes{};
    }
    void send(const Bytes& bytes)
    {
        const std::lock_guard lock(mutex_);
        ASSERT_FALSE(connections_.empty());
        ASSERT_EQ(::send(connections_.back(), bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(bytes.size()));
    }
    void hangUp()
    {
        const std::lock_guard lock(mutex_);
        ::close(connections_.back());
        connections_.back() = -1;
    }
    void stopListening()
    {
        const std::lock_guard lock(mutex_);
        ::close(listener_);
        listener_ = -1;
    }
    void listenAgain()
    {
        const std::lock_guard lock(mutex_);
        listen(port_);
    }

private:
    void listen(int port)
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        socklen_t length = sizeof address;
        ASSERT_EQ(::bind(listener_, reinterpret_cast<sockaddr*>(&address), length), 0);
        ASSERT_EQ(::listen(listener_, 4), 0);
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    void run()
    {
        while (!stop_) {
            std::vector<pollfd> fds;
            {
                const std::lock_guard lock(mutex_);
                fds.push_back({listener_, POLLIN, 0});
                for (const int fd : connections_)
                    fds.push_back({fd, POLLIN, 0});
            }
            if (::poll(fds.data(), fds.size(), 20) <= 0)
                continue;
            const std::lock_guard lock(mutex_);
            if (fds[0].fd >= 0 && fds[0].fd == listener_ && (fds[0].revents & POLLIN)) {
                const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
                if (fd >= 0) {
                    if (!onAccept_.empty())
                        ::send(fd, onAccept_.data(), onAccept_.size(), MSG_NOSIGNAL);
                    connections_.push_back(fd);
                    received_.emplace_back();
                }
            }
            for (std::size_t i = 1; i < fds.size(); ++i) {
                if (!(fds[i].revents & (POLLIN | POLLHUP)) || connections_[i - 1] != fds[i].fd)
                    continue;
                std::uint8_t buffer[256];
                const ssize_t got = ::recv(fds[i].fd, buffer, sizeof buffer, MSG_DONTWAIT);
                if (got > 0)
                    received_[i - 1].insert(received_[i - 1].end(), buffer, buffer + got);
                else if (got == 0) {
                    ::close(fds[i].fd);
                    connections_[i - 1] = -1;
                }
            }
            changed_.notify_all();
        }
    }

    Bytes onAccept_;
    int listener_ = -1;
    int port_ = 0;
    std::vector<int> connections_;
    std::vector<Bytes> received_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

Bytes Confirmations(int baud = 9600, std::uint8_t parity = 1)
{
    Bytes out{T::kIac, T::kDo, T::kBinary, T::kIac, T::kWill, T::kBinary, T::kIac, T::kDo, T::kComPort};
    const auto b = static_cast<std::uint32_t>(baud);
    for (const Bytes& answer : {Bytes{101, std::uint8_t(b >> 24), std::uint8_t(b >> 16), std::uint8_t(b >> 8), std::uint8_t(b)},
                                Bytes{102, 8}, Bytes{103, parity}, Bytes{104, 1}}) {
        out.insert(out.end(), {T::kIac, T::kSb, T::kComPort});
        out.insert(out.end(), answer.begin(), answer.end());
        out.insert(out.end(), {T::kIac, T::kSe});
    }
    return out;
}

std::unique_ptr<torv::NetworkPort> Open(const std::string& text, torv::Clock& clock, torv::OpenError* error = nullptr,
                                        unsigned connectMs = 3000, torv::LineSettings line = {9600, torv::Parity::None})
{
    const torv::LineUrlParse parsed = torv::ParseLineUrl(text);
    EXPECT_TRUE(parsed.url) << text;
    return parsed.url ? torv::NetworkPort::open(*parsed.url, line, clock, error, connectMs) : nullptr;
}

// What the port holds once `n` bytes have come (or all that came within the wait).
Bytes ReadWhenIn(torv::Port& port, std::size_t n)
{
    const auto until = std::chrono::steady_clock::now() + 5s;
    while (port.bytesWaiting() < n && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(2ms);
    Bytes out(port.bytesWaiting());
    out.resize(port.read(out.data(), out.size()));
    return out;
}

// Moves a connection under way on until it settles on `link` (or the wait ends).
Link SettleOn(torv::NetworkPort& port, Link link)
{
    const auto until = std::chrono::steady_clock::now() + 5s;
    while (port.state().link != link && std::chrono::steady_clock::now() < until) {
        port.bytesWaiting();
        std::this_thread::sleep_for(2ms);
    }
    return port.state().link;
}

TEST(NetworkPort, RawTcpCarriesEveryByteAsItIsBothWays)
{
    ScriptedServer server;
    torv::VirtualClock clock;
    const auto port = Open(server.url("tcp"), clock);
    ASSERT_TRUE(port);
    ASSERT_TRUE(server.waitConnection(1));
    const Bytes request{0x01, 0xFF, 0x0D, 0x00, 0xFF};
    for (const std::uint8_t b : request)
        port->transmit(b);
    EXPECT_EQ(server.waitReceived(1, request.size()), request) << "no telnet escaping on a transparent line";
    server.send({0xFF, 0xFF, 0x00, 0x0D});
    EXPECT_EQ(ReadWhenIn(*port, 4), (Bytes{0xFF, 0xFF, 0x00, 0x0D}));
    EXPECT_EQ(port->state().connections, 1u);
    port->close();
    port->transmit(0x01);
    EXPECT_EQ(port->bytesWaiting(), 0u);
    EXPECT_EQ(port->state().link, Link::Closed) << "a closed port never connects again";
}

TEST(NetworkPort, OpenFailsWithTheReason)
{
    ScriptedServer refused;
    const int refusedPort = refused.port();
    refused.stopListening();
    ScriptedServer silent, notComPort({T::kIac, T::kDont, T::kComPort}), slowLine(Confirmations(4800)),
        oddLine(Confirmations(9600, 2));
    const struct {
        std::string url;
        const char* says;
    } rows[] = {
        {"tcp://127.0.0.1:" + std::to_string(refusedPort), "Connection refused"},
        {"rfc2217://127.0.0.1:" + std::to_string(refusedPort), "Connection refused"},
        {"tcp://nohost.invalid:4001", "nohost.invalid: "},
        {silent.url("rfc2217"), "did not confirm the line settings within 300 ms"},
        {notComPort.url("rfc2217"), "does not take RFC 2217"},
        {slowLine.url("rfc2217"), "4800 baud, not 9600"},
        {oddLine.url("rfc2217"), "parity odd, not none"},
    };
    torv::VirtualClock clock;
    for (const auto& row : rows) {
        torv::OpenError error;
        EXPECT_EQ(Open(row.url, clock, &error, 300), nullptr) << row.url;
        EXPECT_EQ(error.kind, torv::OpenFailure::Other) << row.url;
        EXPECT_NE(error.text.find(row.says), std::string::npos) << row.url << " -> " << error.text;
    }
}

TEST(NetworkPort, Rfc2217SetsTheLineAndKeepsTelnetOutOfTheData)
{
    ScriptedServer server(Confirmations(19200, 3));
    torv::VirtualClock clock;
    const auto port = Open(server.url("rfc2217"), clock, nullptr, 3000, {19200, torv::Parity::Even});
    ASSERT_TRUE(port);
    const Bytes greeting = T().greeting({19200, torv::Parity::Even});
    EXPECT_EQ(server.waitReceived(1, greeting.size()), greeting);
    for (const std::uint8_t b : {0x01, 0xFF, 0x0D})
        port->transmit(b);
    Bytes expected = greeting;
    expected.insert(expected.end(), {0x01, 0xFF, 0xFF, 0x0D});
    EXPECT_EQ(server.waitReceived(1, expected.size()), expected) << "IAC doubled; binary agreed: CR alone";
    // Negotiation in the middle of a reply: never line data, answered once.
    server.send({0x01, T::kIac, T::kWill, 99, 0x03, T::kIac, T::kIac, T::kIac, T::kWill, 99, 0x04});
    EXPECT_EQ(ReadWhenIn(*port, 4), (Bytes{0x01, 0x03, 0xFF, 0x04}));
    expected.insert(expected.end(), {T::kIac, T::kDont, 99});
    EXPECT_EQ(server.waitReceived(1, expected.size()), expected);
}

TEST(NetworkPort, ABrokenConnectionIsSilentThenMadeAgainAfterEachBackOff)
{
    ScriptedServer server;
    torv::VirtualClock clock;
    const auto port = Open(server.url("tcp"), clock);
    ASSERT_TRUE(port);
    ASSERT_TRUE(server.waitConnection(1));
    server.hangUp();
    ASSERT_EQ(SettleOn(*port, Link::Down), Link::Down);
    EXPECT_EQ(port->state().nextAttemptUs, clock.nowUs() + 1'000'000) << "a working line is tried again after 1 s";

    clock.advanceUs(999'000);
    port->transmit(0x11);
    EXPECT_EQ(port->state().link, Link::Down) << "no attempt before the back-off has passed";
    clock.advanceUs(1'000);
    port->transmit(0x22);
    ASSERT_EQ(SettleOn(*port, Link::Up), Link::Up);
    EXPECT_EQ(port->state().connections, 2u);
    port->transmit(0x33);
    EXPECT_EQ(server.waitReceived(2, 2), (Bytes{0x22, 0x33})) << "the byte of the reconnecting transmit is not lost";

    // The server is gone for good: each failed attempt doubles the wait, up to 30 s.
    server.stopListening();
    server.hangUp();
    ASSERT_EQ(SettleOn(*port, Link::Down), Link::Down);
    std::vector<std::uint64_t> waitsMs{(port->state().nextAttemptUs - clock.nowUs()) / 1000};
    for (int attempt = 0; attempt < 6; ++attempt) {
        clock.advanceUs(port->state().nextAttemptUs - clock.nowUs());
        port->transmit(0x44);
        ASSERT_EQ(SettleOn(*port, Link::Down), Link::Down);
        waitsMs.push_back((port->state().nextAttemptUs - clock.nowUs()) / 1000);
    }
    EXPECT_EQ(waitsMs, (std::vector<std::uint64_t>{1000, 2000, 4000, 8000, 16000, 30000, 30000}));
    EXPECT_EQ(port->state().connections, 2u);

    // Back again: the next attempt connects and the back-off starts over.
    server.listenAgain();
    clock.advanceUs(port->state().nextAttemptUs - clock.nowUs());
    port->transmit(0x55);
    ASSERT_EQ(SettleOn(*port, Link::Up), Link::Up);
    EXPECT_EQ(server.waitReceived(3, 1), (Bytes{0x55}));
    server.hangUp();
    ASSERT_EQ(SettleOn(*port, Link::Down), Link::Down);
    EXPECT_EQ(port->state().nextAttemptUs - clock.nowUs(), 1'000'000u);
}

// After a reconnection an rfc2217 server must confirm the line before a
// request goes out; a request held longer than any reply wait is dropped.
TEST(NetworkPort, ARequestWaitsForTheServersConfirmationButNotForever)
{
    for (const bool stale : {false, true}) {
        ScriptedServer server(Confirmations());
        torv::VirtualClock clock;
        const auto port = Open(server.url("rfc2217"), clock);
        ASSERT_TRUE(port);
        ASSERT_TRUE(server.waitConnection(1));
        server.setOnAccept({});
        server.hangUp();
        ASSERT_EQ(SettleOn(*port, Link::Down), Link::Down);
        clock.advanceUs(1'000'000);
        const Bytes request{0x01, 0x03, 0x00, 0x00, 0x00, 0x02, 0xC4, 0x0B};
        for (const std::uint8_t b : request)
            port->transmit(b);
        const Bytes greeting = T().greeting({9600, torv::Parity::None});
        ASSERT_EQ(server.waitReceived(2, greeting.size()), greeting) << "held until the line is confirmed";
        if (stale)
            clock.advanceUs(1'700'000);
        server.send(Confirmations());
        const auto until = std::chrono::steady_clock::now() + 5s;
        while (!port->state().ready && std::chrono::steady_clock::now() < until)
            port->bytesWaiting();
        port->transmit(0x42);
        Bytes expected = greeting;
        if (!stale)
            expected.insert(expected.end(), request.begin(), request.end());
        expected.push_back(0x42);
        EXPECT_EQ(server.waitReceived(2, expected.size()), expected) << (stale ? "stale" : "fresh");
    }
}

} // namespace
