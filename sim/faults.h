#pragma once
#include <cstdint>

namespace torv::sim {

// Misbehaviour of one simulated controller. Faults that corrupt the reply
// still let the request act (the controller did its job, the line did not);
// a silent controller or one answering with an exception does not act.
struct Faults {
    bool silent = false;            // never answers
    unsigned replyDelayMs = 0;      // extra delay before the reply starts
    unsigned splitPieces = 0;       // >1: reply sent in this many pieces ...
    unsigned splitGapMs = 0;        // ... with this gap between pieces
    bool badCrc = false;            // reply CRC corrupted
    bool wrongAddress = false;      // reply carries another address
    bool wrongFunction = false;     // reply carries another function code
    std::uint8_t exceptionCode = 0; // non-zero: answer every request with this Modbus exception
    unsigned garbageBytes = 0;      // a burst of this many random bytes sent before each reply
    unsigned failFrom = 0;          // n > 0: silent from the n-th request (1-based, counting requests addressed to it) on
};

} // namespace torv::sim
