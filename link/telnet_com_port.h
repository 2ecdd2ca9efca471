#pragma once
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "serial_port.h"

namespace torv {

// Telnet with the COM-PORT option (RFC 2217), the client's side: the bytes
// that set the server's serial line, the escaping of data, and the reading of
// what the server sends, which keeps telnet commands out of the line's data.
// Only the options below are taken; every other one is refused once.
class TelnetComPort {
public:
    static constexpr std::uint8_t kIac = 255, kDont = 254, kDo = 253, kWont = 252, kWill = 251, kSb = 250,
                                  kSe = 240;
    static constexpr std::uint8_t kBinary = 0, kEcho = 1, kSuppressGoAhead = 3, kComPort = 44;
    // COM-PORT commands the client sends; the server answers each with 100 more.
    static constexpr std::uint8_t kSetBaudRate = 1, kSetDataSize = 2, kSetParity = 3, kSetStopSize = 4,
                                  kSetControl = 5;

    // A fresh connection's state.
    void reset();
    // What the client says first: binary both ways, the COM-PORT option, then
    // the line: baud rate, 8 data bits, the parity, 1 stop bit, no flow
    // control, DTR and RTS low (a serial port's state at open).
    std::vector<std::uint8_t> greeting(const LineSettings& line) const;
    // One data byte as it goes on the connection: IAC doubled; a CR followed
    // by NUL while the server has not agreed to binary.
    void encode(std::uint8_t byte, std::vector<std::uint8_t>& out) const;
    // Reads what came: line data to `data`, the answers owed to `replies`.
    // A command cut at the end of `bytes` is completed by the next call.
    void decode(const std::uint8_t* bytes, std::size_t n, std::deque<std::uint8_t>& data,
                std::vector<std::uint8_t>& replies);

    // The server has taken the COM-PORT option and confirmed the four line
    // settings (as set, or with its own values: see `mismatch`).
    bool settled() const;
    // Why the line cannot be used as asked: the server refused the option, or
    // confirmed another speed or parity than `line`'s. Empty when all is well
    // or not known yet.
    std::string mismatch(const LineSettings& line) const;

private:
    void command(std::uint8_t verb, std::uint8_t option, std::vector<std::uint8_t>& replies);
    void subnegotiation();

    enum class State { Data, Iac, Verb, Sub, SubIac } state_ = State::Data;
    std::uint8_t verb_ = 0;
    bool afterCr_ = false;
    std::vector<std::uint8_t> sub_;
    bool comPortTaken_ = false, comPortRefused_ = false;
    bool serverSendsBinary_ = false, serverTakesBinary_ = false;
    bool clientSuppressesGoAhead_ = false, serverSuppressesGoAhead_ = false;
    std::vector<std::uint16_t> refused_; // answer << 8 | option, each given once
    std::optional<std::uint32_t> baud_;
    std::optional<std::uint8_t> dataSize_, parity_, stopSize_;
};

} // namespace torv
