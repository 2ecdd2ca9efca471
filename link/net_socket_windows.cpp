#include "net_socket.h"

// TCP on Windows: Winsock 2, non-blocking sockets, select for the waits
// (WSAPoll never reports a refused connect before Windows 10 2004; select
// shows it among the exceptions).
#include <winsock2.h>
#include <ws2tcpip.h>
#include <mstcpip.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "system_error_text.h"
#include "wide_text.h"

namespace torv::net {

namespace {

// The probe count, which Windows 10 1703 and later take; mingw-w64's headers lack its name.
#ifdef TCP_KEEPCNT
constexpr int kKeepaliveProbes = TCP_KEEPCNT;
#else
constexpr int kKeepaliveProbes = 16;
#endif

// Winsock is started before its first use, once, by whichever thread comes
// first (a name may be looked up on a helper thread). It stays up until the
// program ends. Zero when it runs, else why not.
int WinsockFailure()
{
    static const int failure = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data);
    }();
    return failure;
}

SOCKET SocketOf(Handle handle) { return static_cast<SOCKET>(handle); }

std::string LastErrorText() { return SystemErrorText(WSAGetLastError()); }

std::string AddressText(const sockaddr* address)
{
    char text[INET6_ADDRSTRLEN] = {};
    const void* where = address->sa_family == AF_INET6
                            ? static_cast<const void*>(&reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr)
                            : static_cast<const void*>(&reinterpret_cast<const sockaddr_in*>(address)->sin_addr);
    return ::inet_ntop(address->sa_family, where, text, sizeof text) ? text : "?";
}

void SetOption(SOCKET s, int level, int name, int value)
{
    ::setsockopt(s, level, name, reinterpret_cast<const char*>(&value), sizeof value);
}

struct Readiness {
    int ready = 0;       // select's count, SOCKET_ERROR when it failed
    bool io = false;     // readable, or writable
    bool failed = false; // among the exceptions: a connect that failed
};

// Waits up to `waitMs` (0: only looks; negative: as long as it takes, as poll
// does) for `s` to be readable, or writable when `write`.
Readiness Wait(SOCKET s, bool write, int waitMs)
{
    fd_set io, exceptions;
    FD_ZERO(&io);
    FD_ZERO(&exceptions);
    FD_SET(s, &io);
    FD_SET(s, &exceptions);
    timeval wait{waitMs / 1000, (waitMs % 1000) * 1000};
    Readiness r;
    r.ready = ::select(0, write ? nullptr : &io, write ? &io : nullptr, &exceptions, waitMs < 0 ? nullptr : &wait);
    if (r.ready > 0) {
        r.io = FD_ISSET(s, &io) != 0;
        r.failed = FD_ISSET(s, &exceptions) != 0;
    }
    return r;
}

} // namespace

Resolved ResolveNow(const std::string& host, std::uint16_t port)
{
    Resolved resolved;
    if (const int failure = WinsockFailure()) {
        resolved.error = SystemErrorText(failure);
        return resolved;
    }
    // Windows does not list AI_NUMERICSERV among its flags: the port is digits anyway.
    ADDRINFOW hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_ADDRCONFIG;
    ADDRINFOW* found = nullptr;
    const int status = ::GetAddrInfoW(WideOf(host).c_str(), std::to_wstring(port).c_str(), &hints, &found);
    if (status != 0) {
        // Its result is a Winsock error code, which the system describes itself.
        resolved.error = SystemErrorText(status);
        return resolved;
    }
    for (const ADDRINFOW* a = found; a; a = a->ai_next) {
        if (a->ai_addrlen > sizeof(Address::bytes))
            continue;
        Address address;
        std::memcpy(address.bytes.data(), a->ai_addr, a->ai_addrlen);
        address.length = static_cast<int>(a->ai_addrlen);
        address.text = AddressText(a->ai_addr);
        resolved.addresses.push_back(std::move(address));
    }
    ::FreeAddrInfoW(found);
    if (resolved.addresses.empty())
        resolved.error = "no address";
    return resolved;
}

Connecting StartConnect(const Address& address)
{
    if (const int failure = WinsockFailure())
        return {kNoSocket, Progress::Failed, SystemErrorText(failure)};
    const auto* where = reinterpret_cast<const sockaddr*>(address.bytes.data());
    // Not inherited by programs this one starts, as CLOEXEC on POSIX.
    const SOCKET s = ::WSASocketW(where->sa_family, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                                  WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET)
        return {kNoSocket, Progress::Failed, LastErrorText()};
    const auto handle = static_cast<Handle>(s);
    u_long nonBlocking = 1;
    if (::ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
        Connecting failed{kNoSocket, Progress::Failed, LastErrorText()};
        ::closesocket(s);
        return failed;
    }
    SetOption(s, IPPROTO_TCP, TCP_NODELAY, 1);
    // A device server that vanished without a word (power cut, cable out) is
    // noticed within about half a minute instead of the system's two hours.
    SetOption(s, SOL_SOCKET, SO_KEEPALIVE, 1);
    tcp_keepalive keepalive{1, 10 * 1000, 5 * 1000};
    DWORD returned = 0;
    ::WSAIoctl(s, SIO_KEEPALIVE_VALS, &keepalive, sizeof keepalive, nullptr, 0, &returned, nullptr, nullptr);
    // Older systems refuse it and probe ten times: under a minute still.
    SetOption(s, IPPROTO_TCP, kKeepaliveProbes, 3);
    if (::connect(s, where, address.length) == 0)
        return {handle, Progress::Connected, {}};
    const int error = WSAGetLastError();
    if (error == WSAEWOULDBLOCK || error == WSAEINPROGRESS || error == WSAEINTR)
        return {handle, Progress::Pending, {}};
    return {handle, Progress::Failed, SystemErrorText(error)};
}

Progress AwaitConnect(Handle socket, int waitMs, std::string* error)
{
    const SOCKET s = SocketOf(socket);
    const Readiness r = Wait(s, true, waitMs);
    if (r.ready == SOCKET_ERROR) {
        if (error)
            *error = LastErrorText();
        return Progress::Failed;
    }
    if (r.ready == 0)
        return Progress::Pending;
    int status = 0;
    int length = sizeof status;
    if (::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&status), &length) != 0)
        status = WSAGetLastError();
    if (status == 0 && !r.failed)
        return Progress::Connected;
    // Among the exceptions without a code of its own: no connection, for no stated reason.
    if (error)
        *error = SystemErrorText(status != 0 ? status : WSAENOTCONN);
    return Progress::Failed;
}

bool AwaitReadable(Handle socket, int waitMs) { return Wait(SocketOf(socket), false, waitMs).ready > 0; }

bool SendAll(Handle socket, const std::uint8_t* bytes, std::size_t n)
{
    const SOCKET s = SocketOf(socket);
    while (n > 0) {
        const int piece = static_cast<int>(std::min<std::size_t>(n, INT_MAX));
        const int sent = ::send(s, reinterpret_cast<const char*>(bytes), piece, 0);
        if (sent > 0) {
            bytes += sent;
            n -= static_cast<std::size_t>(sent);
            continue;
        }
        const int error = sent < 0 ? WSAGetLastError() : 0;
        if (error == WSAEINTR)
            continue;
        // A full send buffer: a peer that stopped reading. Wait a little, then give up on it.
        if (error == WSAEWOULDBLOCK && Wait(s, true, 200).io)
            continue;
        return false;
    }
    return true;
}

long Receive(Handle socket, std::uint8_t* buffer, std::size_t n)
{
    const int most = static_cast<int>(std::min<std::size_t>(n, INT_MAX));
    for (;;) {
        const int got = ::recv(SocketOf(socket), reinterpret_cast<char*>(buffer), most, 0);
        if (got > 0)
            return got;
        if (got == 0)
            return -1;
        const int error = WSAGetLastError();
        if (error == WSAEINTR)
            continue;
        return error == WSAEWOULDBLOCK ? 0 : -1;
    }
}

void Close(Handle socket)
{
    if (socket != kNoSocket)
        ::closesocket(SocketOf(socket));
}

} // namespace torv::net
