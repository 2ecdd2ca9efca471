#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The few TCP calls a network line needs, one implementation per system
// (net_socket_posix.cpp, net_socket_windows.cpp). Nothing here blocks for
// longer than the wait it is given.
namespace torv::net {

// One address of a peer as the system stores it (a sockaddr of any family).
struct Address {
    std::array<std::uint8_t, 128> bytes{};
    int length = 0;
    std::string text; // "127.0.0.1" or "::1", for messages
};

struct Resolved {
    std::vector<Address> addresses; // in the resolver's order
    std::string error;              // the resolver's own words when there are none
};

// Looks up `host` (a name or a numeric IPv4/IPv6 address) for TCP `port`.
// Blocks as long as the resolver takes: call it off the waiting thread when
// that must be bounded.
Resolved ResolveNow(const std::string& host, std::uint16_t port);

using Handle = std::intptr_t;
inline constexpr Handle kNoSocket = -1;

enum class Progress { Connected, Pending, Failed };

struct Connecting {
    Handle socket = kNoSocket; // kNoSocket when the attempt failed at once
    Progress progress = Progress::Failed;
    std::string error; // the system's words when Failed
};

// A non-blocking TCP socket to `address` with Nagle off (each byte leaves in
// its own segment) and keepalive on, its connect begun. A refused loopback
// connect may already be Failed here.
Connecting StartConnect(const Address& address);

// Waits up to `waitMs` (0: only looks) for a pending connect to finish.
// Failed carries the system's words in `error`; the socket stays open either
// way (Close it).
Progress AwaitConnect(Handle socket, int waitMs, std::string* error);

// Waits up to `waitMs` for bytes (or the peer's close) to be ready to read.
bool AwaitReadable(Handle socket, int waitMs);

// Sends all `n` bytes. False when the connection broke (never a signal).
bool SendAll(Handle socket, const std::uint8_t* bytes, std::size_t n);

// Reads what waits without blocking: the bytes read (> 0), 0 when nothing
// waits, -1 when the peer closed or the connection broke.
long Receive(Handle socket, std::uint8_t* buffer, std::size_t n);

void Close(Handle socket);

} // namespace torv::net
