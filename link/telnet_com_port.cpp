#include "telnet_com_port.h"

#include <algorithm>

namespace torv {

namespace {

constexpr std::uint8_t kCr = 13;

// COM-PORT parity codes.
std::uint8_t ParityCode(Parity parity)
{
    switch (parity) {
    case Parity::Odd: return 2;
    case Parity::Even: return 3;
    default: return 1;
    }
}

const char* ParityName(std::uint8_t code)
{
    switch (code) {
    case 1: return "none";
    case 2: return "odd";
    case 3: return "even";
    case 4: return "mark";
    case 5: return "space";
    default: return "unknown";
    }
}

// Options the client takes on its own side (the server's DO) and on the
// server's (its WILL).
bool TakenByClient(std::uint8_t option)
{
    return option == TelnetComPort::kBinary || option == TelnetComPort::kSuppressGoAhead ||
           option == TelnetComPort::kComPort;
}
bool TakenFromServer(std::uint8_t option)
{
    return option == TelnetComPort::kBinary || option == TelnetComPort::kSuppressGoAhead;
}

void Append(std::vector<std::uint8_t>& out, std::initializer_list<std::uint8_t> bytes)
{
    out.insert(out.end(), bytes.begin(), bytes.end());
}

// A COM-PORT subnegotiation; value bytes that are IAC are doubled.
void SubOption(std::vector<std::uint8_t>& out, std::uint8_t command, std::initializer_list<std::uint8_t> value)
{
    using T = TelnetComPort;
    Append(out, {T::kIac, T::kSb, T::kComPort, command});
    for (const std::uint8_t b : value) {
        out.push_back(b);
        if (b == T::kIac)
            out.push_back(b);
    }
    Append(out, {T::kIac, T::kSe});
}

} // namespace

void TelnetComPort::reset() { *this = TelnetComPort(); }

std::vector<std::uint8_t> TelnetComPort::greeting(const LineSettings& line) const
{
    std::vector<std::uint8_t> out;
    Append(out, {kIac, kWill, kBinary, kIac, kDo, kBinary, kIac, kWill, kComPort});
    const auto baud = static_cast<std::uint32_t>(line.baud);
    SubOption(out, kSetBaudRate,
              {static_cast<std::uint8_t>(baud >> 24), static_cast<std::uint8_t>(baud >> 16),
               static_cast<std::uint8_t>(baud >> 8), static_cast<std::uint8_t>(baud)});
    SubOption(out, kSetDataSize, {8});
    SubOption(out, kSetParity, {ParityCode(line.parity)});
    SubOption(out, kSetStopSize, {1});
    // No flow control, DTR off, RTS off: as the serial port leaves its lines.
    SubOption(out, kSetControl, {1});
    SubOption(out, kSetControl, {9});
    SubOption(out, kSetControl, {12});
    return out;
}

void TelnetComPort::encode(std::uint8_t byte, std::vector<std::uint8_t>& out) const
{
    out.push_back(byte);
    if (byte == kIac)
        out.push_back(kIac);
    else if (byte == kCr && !serverTakesBinary_)
        out.push_back(0);
}

void TelnetComPort::decode(const std::uint8_t* bytes, std::size_t n, std::deque<std::uint8_t>& data,
                           std::vector<std::uint8_t>& replies)
{
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t b = bytes[i];
        switch (state_) {
        case State::Data:
            if (b == kIac) {
                state_ = State::Iac;
                break;
            }
            // Outside binary a CR travels as CR NUL; the NUL is no line data.
            if (!(afterCr_ && b == 0 && !serverSendsBinary_))
                data.push_back(b);
            afterCr_ = b == kCr;
            break;
        case State::Iac:
            state_ = State::Data;
            if (b == kIac) {
                data.push_back(b);
                afterCr_ = false;
            } else if (b >= kWill) {
                verb_ = b;
                state_ = State::Verb;
            } else if (b == kSb) {
                sub_.clear();
                state_ = State::Sub;
            }
            // Any other command (NOP, go-ahead, break ...) carries nothing for the line.
            break;
        case State::Verb:
            command(verb_, b, replies);
            state_ = State::Data;
            break;
        case State::Sub:
            if (b == kIac)
                state_ = State::SubIac;
            else if (sub_.size() < 64)
                sub_.push_back(b);
            break;
        case State::SubIac:
            if (b == kIac) {
                if (sub_.size() < 64)
                    sub_.push_back(b);
                state_ = State::Sub;
            } else {
                // IAC SE ends it; anything else is a broken one, dropped whole.
                if (b == kSe)
                    subnegotiation();
                state_ = State::Data;
            }
            break;
        }
    }
}

void TelnetComPort::command(std::uint8_t verb, std::uint8_t option, std::vector<std::uint8_t>& replies)
{
    const auto refuseOnce = [&](std::uint8_t answer) {
        // A server repeating what was refused is not answered again: no loop.
        const std::uint16_t key = static_cast<std::uint16_t>(answer << 8 | option);
        if (std::find(refused_.begin(), refused_.end(), key) != refused_.end())
            return;
        refused_.push_back(key);
        Append(replies, {kIac, answer, option});
    };
    switch (verb) {
    case kDo:
        if (!TakenByClient(option))
            return refuseOnce(kWont);
        if (option == kComPort)
            comPortTaken_ = true;
        if (option == kBinary)
            serverTakesBinary_ = true;
        // Binary and COM-PORT were offered in the greeting: this DO is the answer.
        if (option == kSuppressGoAhead && !clientSuppressesGoAhead_) {
            clientSuppressesGoAhead_ = true;
            Append(replies, {kIac, kWill, option});
        }
        return;
    case kDont:
        if (option == kComPort)
            comPortRefused_ = true;
        if (option == kBinary)
            serverTakesBinary_ = false;
        return;
    case kWill:
        if (!TakenFromServer(option))
            return refuseOnce(kDont);
        if (option == kBinary)
            serverSendsBinary_ = true;
        if (option == kSuppressGoAhead && !serverSuppressesGoAhead_) {
            serverSuppressesGoAhead_ = true;
            Append(replies, {kIac, kDo, option});
        }
        return;
    case kWont:
        if (option == kBinary)
            serverSendsBinary_ = false;
        return;
    default: return;
    }
}

void TelnetComPort::subnegotiation()
{
    if (sub_.size() < 3 || sub_[0] != kComPort)
        return;
    const std::uint8_t answer = sub_[1];
    if (answer == 100 + kSetBaudRate && sub_.size() >= 6)
        baud_ = static_cast<std::uint32_t>(sub_[2]) << 24 | static_cast<std::uint32_t>(sub_[3]) << 16 |
                static_cast<std::uint32_t>(sub_[4]) << 8 | sub_[5];
    else if (answer == 100 + kSetDataSize)
        dataSize_ = sub_[2];
    else if (answer == 100 + kSetParity)
        parity_ = sub_[2];
    else if (answer == 100 + kSetStopSize)
        stopSize_ = sub_[2];
}

bool TelnetComPort::settled() const
{
    return comPortTaken_ && baud_ && dataSize_ && parity_ && stopSize_;
}

std::string TelnetComPort::mismatch(const LineSettings& line) const
{
    if (comPortRefused_)
        return "the server does not take RFC 2217 line settings";
    if (baud_ && *baud_ != static_cast<std::uint32_t>(line.baud))
        return "the server set its line to " + std::to_string(*baud_) + " baud, not " + std::to_string(line.baud);
    if (parity_ && *parity_ != ParityCode(line.parity))
        return std::string("the server set parity ") + ParityName(*parity_) + ", not " +
               ParityName(ParityCode(line.parity));
    if (dataSize_ && *dataSize_ != 8)
        return "the server set " + std::to_string(*dataSize_) + " data bits, not 8";
    if (stopSize_ && *stopSize_ != 1)
        return "the server set stop size " + std::to_string(*stopSize_) + ", not 1";
    return {};
}

} // namespace torv
