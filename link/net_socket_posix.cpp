#include "net_socket.h"

// TCP on POSIX: BSD sockets, non-blocking, poll for the waits.
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <arpa/inet.h>

#include "system_error_text.h"

namespace torv::net {

namespace {

std::string AddressText(const sockaddr* address)
{
    char text[INET6_ADDRSTRLEN] = {};
    const void* where = address->sa_family == AF_INET6
                            ? static_cast<const void*>(&reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr)
                            : static_cast<const void*>(&reinterpret_cast<const sockaddr_in*>(address)->sin_addr);
    return ::inet_ntop(address->sa_family, where, text, sizeof text) ? text : "?";
}

void SetOption(int fd, int level, int name, int value) { ::setsockopt(fd, level, name, &value, sizeof value); }

} // namespace

Resolved ResolveNow(const std::string& host, std::uint16_t port)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_NUMERICSERV | AI_ADDRCONFIG;
    addrinfo* found = nullptr;
    Resolved resolved;
    const int status = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (status != 0) {
        resolved.error = status == EAI_SYSTEM ? SystemErrorText(errno) : ::gai_strerror(status);
        return resolved;
    }
    for (const addrinfo* a = found; a; a = a->ai_next) {
        if (a->ai_addrlen > sizeof(Address::bytes))
            continue;
        Address address;
        std::memcpy(address.bytes.data(), a->ai_addr, a->ai_addrlen);
        address.length = static_cast<int>(a->ai_addrlen);
        address.text = AddressText(a->ai_addr);
        resolved.addresses.push_back(std::move(address));
    }
    ::freeaddrinfo(found);
    if (resolved.addresses.empty())
        resolved.error = "no address";
    return resolved;
}

Connecting StartConnect(const Address& address)
{
    const auto* where = reinterpret_cast<const sockaddr*>(address.bytes.data());
    const int fd = ::socket(where->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0)
        return {kNoSocket, Progress::Failed, SystemErrorText(errno)};
    SetOption(fd, IPPROTO_TCP, TCP_NODELAY, 1);
    // A device server that vanished without a word (power cut, cable out) is
    // noticed within about half a minute instead of the system's two hours.
    SetOption(fd, SOL_SOCKET, SO_KEEPALIVE, 1);
    SetOption(fd, IPPROTO_TCP, TCP_KEEPIDLE, 10);
    SetOption(fd, IPPROTO_TCP, TCP_KEEPINTVL, 5);
    SetOption(fd, IPPROTO_TCP, TCP_KEEPCNT, 3);
    if (::connect(fd, where, static_cast<socklen_t>(address.length)) == 0)
        return {fd, Progress::Connected, {}};
    if (errno == EINPROGRESS || errno == EINTR)
        return {fd, Progress::Pending, {}};
    Connecting failed{fd, Progress::Failed, SystemErrorText(errno)};
    return failed;
}

Progress AwaitConnect(Handle socket, int waitMs, std::string* error)
{
    pollfd p{static_cast<int>(socket), POLLOUT, 0};
    const int ready = ::poll(&p, 1, waitMs);
    if (ready < 0 && errno != EINTR) {
        if (error)
            *error = SystemErrorText(errno);
        return Progress::Failed;
    }
    if (ready <= 0)
        return Progress::Pending;
    int status = 0;
    socklen_t length = sizeof status;
    if (::getsockopt(static_cast<int>(socket), SOL_SOCKET, SO_ERROR, &status, &length) != 0)
        status = errno;
    if (status == 0)
        return Progress::Connected;
    if (error)
        *error = SystemErrorText(status);
    return Progress::Failed;
}

bool AwaitReadable(Handle socket, int waitMs)
{
    pollfd p{static_cast<int>(socket), POLLIN, 0};
    return ::poll(&p, 1, waitMs) > 0;
}

bool SendAll(Handle socket, const std::uint8_t* bytes, std::size_t n)
{
    while (n > 0) {
        const ssize_t sent = ::send(static_cast<int>(socket), bytes, n, MSG_NOSIGNAL);
        if (sent > 0) {
            bytes += sent;
            n -= static_cast<std::size_t>(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // A full send buffer: a peer that stopped reading. Wait a little, then give up on it.
            pollfd p{static_cast<int>(socket), POLLOUT, 0};
            if (::poll(&p, 1, 200) > 0)
                continue;
        }
        return false;
    }
    return true;
}

long Receive(Handle socket, std::uint8_t* buffer, std::size_t n)
{
    for (;;) {
        const ssize_t got = ::recv(static_cast<int>(socket), buffer, n, MSG_DONTWAIT);
        if (got > 0) {
            // Acknowledge at once: a server that holds a reply's last bytes
            // for our acknowledgement (Nagle's rule) would otherwise wait for
            // the delayed one, up to 40 ms per reply. The system clears this
            // after each use.
            SetOption(static_cast<int>(socket), IPPROTO_TCP, TCP_QUICKACK, 1);
            return static_cast<long>(got);
        }
        if (got == 0)
            return -1;
        if (errno == EINTR)
            continue;
        return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
    }
}

void Close(Handle socket)
{
    if (socket != kNoSocket)
        ::close(static_cast<int>(socket));
}

} // namespace torv::net
