// What every system's TCP calls promise, against a listener of the test's own
// on loopback standing in for the device server: addresses and the resolver's
// words, a refused connect in the system's words, bytes both ways, the ends of
// a connection, and waits that do not wait when told not to.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "link/net_socket.h"
#include "link/system_error_text.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

namespace net = torv::net;

namespace {

// The device server's end, made with the system's own calls: the one part of
// this file that differs between the systems. It hands out net handles, so the
// seam's own calls serve both ends of a connection.
#ifdef _WIN32
using Native = SOCKET;
constexpr int kRefused = WSAECONNREFUSED;
bool MakeNonBlocking(net::Handle s)
{
    u_long on = 1;
    return ::ioctlsocket(static_cast<SOCKET>(s), FIONBIO, &on) == 0;
}
// The listener may come before the first call of the seam, which starts Winsock itself.
void StartSockets()
{
    static const bool started = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
}
#else
using Native = int;
constexpr int kRefused = ECONNREFUSED;
bool MakeNonBlocking(net::Handle s)
{
    const int fd = static_cast<int>(s);
    return ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK) == 0;
}
void StartSockets() {}
#endif

class Listener {
public:
    // Bound to `family`'s loopback address on a port the system picks. Not
    // listening, it refuses every connect; listening with `backlog` 0 and
    // accepting nothing, it leaves all connects but the first waiting.
    Listener(int family, bool listening, int backlog = 4)
    {
        StartSockets();
        socket_ = static_cast<net::Handle>(::socket(family, SOCK_STREAM, IPPROTO_TCP));
        sockaddr_storage address{};
        if (family == AF_INET6) {
            auto* six = reinterpret_cast<sockaddr_in6*>(&address);
            six->sin6_family = AF_INET6;
            six->sin6_addr = in6addr_loopback;
        } else {
            auto* four = reinterpret_cast<sockaddr_in*>(&address);
            four->sin_family = AF_INET;
            four->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        }
        const socklen_t size = family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
        socklen_t length = size;
        const auto s = static_cast<Native>(socket_);
        if (socket_ == net::kNoSocket || ::bind(s, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            (listening && ::listen(s, backlog) != 0) ||
            ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            net::Close(socket_);
            socket_ = net::kNoSocket;
            return;
        }
        port_ = ntohs(family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                                         : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
    }
    ~Listener() { net::Close(socket_); }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    bool ok() const { return socket_ != net::kNoSocket; }
    std::uint16_t port() const { return port_; }

    // The next connection, non-blocking, after up to 5 s; kNoSocket when none came.
    net::Handle Accept()
    {
        if (!net::AwaitReadable(socket_, 5000))
            return net::kNoSocket;
        const auto s = static_cast<Native>(socket_);
        const auto peer = static_cast<net::Handle>(::accept(s, nullptr, nullptr));
        if (peer != net::kNoSocket && !MakeNonBlocking(peer)) {
            net::Close(peer);
            return net::kNoSocket;
        }
        return peer;
    }

private:
    net::Handle socket_ = net::kNoSocket;
    std::uint16_t port_ = 0;
};

// Closes what it holds.
struct Socket {
    net::Handle handle = net::kNoSocket;
    ~Socket() { net::Close(handle); }
};

struct LoopbackRow {
    int family;
    const char* host;
};

const LoopbackRow kLoopbackRows[] = {{AF_INET, "127.0.0.1"}, {AF_INET6, "::1"}};

// A connect to `host`:`port` run to its end (up to 5 s); the system's words in `error` when it failed.
net::Progress ConnectTo(const char* host, std::uint16_t port, Socket& socket, std::string* error)
{
    const net::Resolved resolved = net::ResolveNow(host, port);
    if (resolved.addresses.empty()) {
        *error = "not resolved: " + resolved.error;
        return net::Progress::Failed;
    }
    net::Connecting started = net::StartConnect(resolved.addresses.front());
    socket.handle = started.socket;
    *error = started.error;
    if (started.progress != net::Progress::Pending)
        return started.progress;
    return net::AwaitConnect(socket.handle, 5000, error);
}

// Up to `n` bytes, as they come within 5 s of each other.
std::vector<std::uint8_t> ReadUpTo(net::Handle socket, std::size_t n)
{
    std::vector<std::uint8_t> got;
    std::uint8_t buffer[16];
    while (got.size() < n && net::AwaitReadable(socket, 5000)) {
        const long r = net::Receive(socket, buffer, std::min(sizeof buffer, n - got.size()));
        if (r <= 0)
            break;
        got.insert(got.end(), buffer, buffer + r);
    }
    return got;
}

} // namespace

TEST(NetSocketContract, NumericAddressesResolveAsWritten)
{
    for (const LoopbackRow& row : kLoopbackRows) {
        if (!Listener(row.family, false).ok())
            continue; // no such loopback here
        const net::Resolved resolved = net::ResolveNow(row.host, 502);
        ASSERT_EQ(resolved.addresses.size(), 1u) << row.host << ": " << resolved.error;
        EXPECT_EQ(resolved.addresses.front().text, row.host);
        EXPECT_EQ(resolved.error, "") << row.host;
    }
}

TEST(NetSocketContract, NameUnderInvalidDoesNotResolveAndSaysWhy)
{
    const net::Resolved resolved = net::ResolveNow("chamber-hall.invalid", 4001);
    EXPECT_TRUE(resolved.addresses.empty());
    EXPECT_FALSE(resolved.error.empty());
    // The resolver's own failure, not a code lost on the way ("Success", "error 0").
    EXPECT_NE(resolved.error, torv::SystemErrorText(0));
    EXPECT_NE(resolved.error, "no address");
}

TEST(NetSocketContract, RefusedConnectSaysWhyInTheSystemsWords)
{
    for (const LoopbackRow& row : kLoopbackRows) {
        Listener closedPort(row.family, false);
        if (!closedPort.ok())
            continue;
        Socket socket;
        std::string error;
        EXPECT_EQ(ConnectTo(row.host, closedPort.port(), socket, &error), net::Progress::Failed) << row.host;
        EXPECT_EQ(error, torv::SystemErrorText(kRefused)) << row.host;
    }
}

TEST(NetSocketContract, BytesGoBothWaysAndEachEndSeesTheOthersClose)
{
    // Every value a frame may carry, the ones C strings and telnet treat specially among them.
    const std::vector<std::uint8_t> request = {0x01, 0x03, 0x00, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0x0D, 0x0A, 0x80};
    const std::vector<std::uint8_t> reply = {0x00, 0xFF, 0x01, 0x83, 0x02, 0xFF, 0x00, 0xC0, 0xF1};
    for (const LoopbackRow& row : kLoopbackRows) {
        Listener server(row.family, true);
        if (!server.ok())
            continue;
        SCOPED_TRACE(row.host);
        Socket line, peer;
        std::string error;
        ASSERT_EQ(ConnectTo(row.host, server.port(), line, &error), net::Progress::Connected) << error;
        peer.handle = server.Accept();
        ASSERT_NE(peer.handle, net::kNoSocket);

        std::uint8_t byte = 0;
        EXPECT_EQ(net::Receive(line.handle, &byte, 1), 0) << "nothing was sent yet";
        EXPECT_EQ(net::Receive(peer.handle, &byte, 1), 0) << "nothing was sent yet";
        ASSERT_TRUE(net::SendAll(line.handle, request.data(), request.size()));
        EXPECT_EQ(ReadUpTo(peer.handle, request.size()), request);
        ASSERT_TRUE(net::SendAll(peer.handle, reply.data(), reply.size()));
        EXPECT_EQ(ReadUpTo(line.handle, reply.size()), reply);
        EXPECT_EQ(net::Receive(line.handle, &byte, 1), 0) << "all was read";

        net::Close(peer.handle);
        peer.handle = net::kNoSocket;
        EXPECT_TRUE(net::AwaitReadable(line.handle, 5000)) << "the close is news to read";
        EXPECT_EQ(net::Receive(line.handle, &byte, 1), -1);
        // The first send after the peer left may still be taken; the peer's
        // reset to it makes a later one fail.
        int sends = 0;
        while (sends < 20 && net::SendAll(line.handle, request.data(), request.size())) {
            ++sends;
            net::AwaitReadable(line.handle, 100);
        }
        EXPECT_LT(sends, 20) << "sends to a closed peer went on succeeding";
    }
}

TEST(NetSocketContract, LookingAtAPendingConnectDoesNotWait)
{
    // A listener that accepts nothing, its one place taken: the next connect stays pending.
    Listener server(AF_INET, true, 0);
    ASSERT_TRUE(server.ok());
    Socket first, second;
    std::string error;
    ASSERT_EQ(ConnectTo("127.0.0.1", server.port(), first, &error), net::Progress::Connected) << error;
    const net::Resolved resolved = net::ResolveNow("127.0.0.1", server.port());
    ASSERT_FALSE(resolved.addresses.empty()) << resolved.error;
    const net::Connecting started = net::StartConnect(resolved.addresses.front());
    second.handle = started.socket;
    if (started.progress == net::Progress::Failed)
        GTEST_SKIP() << "this system refuses a connect to a full queue: " << started.error;
    ASSERT_EQ(started.progress, net::Progress::Pending);
    EXPECT_EQ(net::AwaitConnect(second.handle, 0, &error), net::Progress::Pending) << error;
    EXPECT_EQ(net::AwaitConnect(second.handle, 100, &error), net::Progress::Pending) << error;
    EXPECT_FALSE(net::AwaitReadable(second.handle, 0));
}
