#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "controller/memory_map.h"
#include "link/modbus_link.h"

namespace torv {

using LinkOutcome = ModbusLink::Outcome;

// One request on the line and how the link judged its reply.
struct Exchange {
    std::uint8_t function = 0; // 0x03 read, 0x06 write
    std::uint8_t address = 0;
    std::uint8_t start = 0;
    std::uint8_t count = 0;    // registers read; 1 for a write
    LinkOutcome outcome = LinkOutcome::Ok;
    // The window tells the operator of this exchange's failure in a box.
    bool reported = false;
    // What a read that answered brought, byte `start` first (2 x count bytes).
    std::array<std::uint8_t, 16> data{};

    bool ok() const { return outcome == LinkOutcome::Ok; }
    bool isWrite() const { return function == 0x06; }
};

// What a station operation did: every exchange in order, and the controller's
// image row afterwards. `ok` is whether the operation's last transaction was
// answered (the station's state the next write depends on); an operation that
// found nothing to send leaves it as it was.
struct Result {
    std::uint8_t address = 0;
    bool ok = false;
    bool stopped = false; // the caller stopped it between two transactions
    std::vector<Exchange> exchanges;
    ImageRow row{};

    bool sent() const { return !exchanges.empty(); }
    // Every request sent was answered: what the row holds of them was read now.
    bool allAnswered() const;
    // The first failure the window would box; nullptr when none.
    const Exchange* reportedFailure() const;
    // Whether a write went out (answered or not).
    bool wrote() const;
    // Whether any write went unanswered (no echo, or a bad one).
    bool writeUnconfirmed() const;
};

} // namespace torv
