#pragma once
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "clock.h"
#include "line_url.h"
#include "net_socket.h"
#include "port.h"
#include "serial_port.h"
#include "telnet_com_port.h"

namespace torv {

// A serial line behind a device server: the RTU bytes over TCP as they are
// (tcp://), or inside telnet with the server's line set by the COM-PORT
// option (rfc2217://). A connection that breaks reads as a silent line; the
// port connects again by itself at a later transmit, after a back-off of
// 1, 2, 4 ... 30 s, without blocking: a request sent meanwhile is held until
// the connection is ready, or dropped once no reply wait could still be
// waiting for it.
class NetworkPort final : public Port {
public:
    // Bounded by `connectMs` as a whole (the name lookup, the connection and,
    // for rfc2217, the server's confirmation of the line settings); a refused
    // connection fails at once. nullptr on failure, `error` telling why.
    static std::unique_ptr<NetworkPort> open(const LineUrl& url, const LineSettings& line, Clock& clock,
                                             OpenError* error = nullptr, unsigned connectMs = 3000);
    ~NetworkPort() override;
    NetworkPort(const NetworkPort&) = delete;
    NetworkPort& operator=(const NetworkPort&) = delete;

    void transmit(std::uint8_t byte) override;
    std::size_t bytesWaiting() override;
    std::size_t read(std::uint8_t* buffer, std::size_t n) override;
    void close() override;

    enum class Link { Up, Connecting, Down, Closed };
    struct State {
        Link link = Link::Closed;
        bool ready = false;            // Up and, for rfc2217, the line confirmed: data goes out
        unsigned connections = 0;      // made so far, the first one (at open) included
        std::uint64_t nextAttemptUs = 0; // when Down: the first transmit from then on connects again
        unsigned backoffMs = 0;        // the wait after the next failed attempt
    };
    State state() const;

private:
    NetworkPort(const LineUrl& url, const LineSettings& line, Clock& clock, net::Address address,
                unsigned connectMs);
    void advance();                 // moves a connection under way on, without waiting
    void beginAttempt();
    void connected();               // the socket is up: greet an rfc2217 server, or be ready
    void ready();                   // the line can carry data: send what is held
    void drop(bool attemptFailed);  // the connection is gone: back off
    void pull();                    // what the socket holds into data_
    void send(std::uint8_t byte);
    bool holdIsStale() const;

    LineUrl url_;
    LineSettings line_;
    Clock& clock_;
    net::Address address_;
    unsigned connectMs_;
    net::Handle socket_ = net::kNoSocket;
    Link link_ = Link::Down;
    bool settled_ = false;          // for rfc2217: the server confirmed the line settings
    std::string refusal_;           // why the server's line cannot be used as asked
    TelnetComPort telnet_;
    std::uint64_t attemptStartUs_ = 0;
    std::uint64_t nextAttemptUs_ = 0;
    unsigned backoffMs_ = 1000;
    unsigned connections_ = 0;
    std::vector<std::uint8_t> held_; // request bytes waiting for the connection
    std::uint64_t heldSinceUs_ = 0;
    std::deque<std::uint8_t> data_;  // received line bytes not yet read
};

} // namespace torv
