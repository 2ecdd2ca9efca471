#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "link/modbus_link.h"

namespace torv::bus_monitor {

// What the line carried, frame by frame, as the link saw it: each request,
// its reply (or the lack of one) and bytes dropped outside any reply. Kept
// in a ring of the last frames and counted per controller, for the bus
// monitor; recording costs a copy of a few bytes per frame.

enum class Direction : std::uint8_t { Request, Reply, Dropped };

enum class Outcome : std::uint8_t {
    Sent,        // a request
    Ok,
    NoReply,
    CrcError,
    WrongHeader,
    Exception,   // a Modbus exception reply, code in `exceptionCode`
    Noise,       // more bytes than a reply, drained
    Late,        // bytes that came after their transaction and were dropped
};

// Longest frame this master ever sends or takes (a 29-register read reply is 63).
inline constexpr std::size_t kKeptBytes = 64;
inline constexpr std::size_t kDefaultCapacity = 20000;

struct Frame {
    std::uint64_t atUs = 0;       // the link clock
    Direction direction = Direction::Request;
    Outcome outcome = Outcome::Sent;
    std::uint8_t address = 0;     // the addressed controller; a dropped frame's first byte
    std::uint8_t function = 0;    // the request's function
    std::uint8_t start = 0;       // the request's byte address
    std::uint8_t count = 0;       // the request's register count (1 for a write)
    std::uint8_t exceptionCode = 0;
    std::uint8_t keptBytes = 0;   // how many of `bytes` hold the frame
    std::uint32_t totalBytes = 0; // how many came (noise may exceed kKeptBytes)
    std::array<std::uint8_t, kKeptBytes> bytes{};
};

// The last `capacity` frames; each gets a sequence number, counting on
// across clears, so a view knows what it has shown.
class FrameRing {
public:
    explicit FrameRing(std::size_t capacity = kDefaultCapacity) : capacity_(capacity) {}
    void push(const Frame& frame);
    void clear() { first_ = end_; frames_.clear(); }
    std::uint64_t firstSeq() const { return first_; }
    std::uint64_t endSeq() const { return end_; }
    std::size_t size() const { return static_cast<std::size_t>(end_ - first_); }
    std::size_t capacity() const { return capacity_; }
    // Frame `seq`, firstSeq() <= seq < endSeq().
    const Frame& at(std::uint64_t seq) const { return frames_[static_cast<std::size_t>(seq % capacity_)]; }

private:
    std::size_t capacity_;
    std::vector<Frame> frames_;
    std::uint64_t first_ = 0, end_ = 0;
};

// The counters of one controller.
struct AddressStats {
    std::uint32_t requests = 0, good = 0, noReply = 0, crcErrors = 0, headerErrors = 0, exceptions = 0, noise = 0;
    std::uint32_t late = 0;                 // dropped bytes that began with its address
    std::optional<std::uint64_t> lastGoodUs; // the link clock
    bool operator==(const AddressStats&) const = default;
};

// Records what a link reports: hang `transaction` and `discard` on its observers.
class Recorder {
public:
    explicit Recorder(std::size_t capacity = kDefaultCapacity) : ring_(capacity) {}
    void transaction(const ModbusLink::Transaction& t);
    void discard(const ModbusLink::Discard& d);
    // Both observers of `link`, chained after any already there.
    void observe(ModbusLink& link);

    // The link clock's `clockUs` was the wall clock's `wallMs`: frame times
    // as the time of day, and the zero of the saved trace.
    void setOrigin(std::uint64_t clockUs, std::int64_t wallMs) { originUs_ = clockUs, originWallMs_ = wallMs; }
    std::uint64_t originUs() const { return originUs_; }
    std::int64_t wallMsOf(std::uint64_t atUs) const
    {
        return originWallMs_ + (static_cast<std::int64_t>(atUs) - static_cast<std::int64_t>(originUs_)) / 1000;
    }

    const FrameRing& frames() const { return ring_; }
    void clearFrames() { ring_.clear(); }
    const AddressStats& stats(std::uint8_t address) const { return stats_[address]; }
    void resetStats();
    // Grows with every change of the counters, so a view redraws only then.
    std::uint64_t statsGeneration() const { return statsGeneration_; }

private:
    FrameRing ring_;
    std::array<AddressStats, 256> stats_{};
    std::uint64_t statsGeneration_ = 0;
    std::uint64_t originUs_ = 0;
    std::int64_t originWallMs_ = 0;
};

// A reply's outcome refined from the link's judgement and its bytes: a
// wrong header that is a well-formed exception reply is an exception.
Outcome Classify(const ModbusLink::Transaction& t, std::uint8_t* exceptionCode);

// What a frame means in the controller's terms, with the decimal comma:
// "odczyt 104..111", "zapis P8 := 1,6 (bajt 120)", "zmiana adresu 5 → 7",
// a good reply's values ("T suchy 25,0 °C, T mokry 20,0 °C").
std::string Meaning(const Frame& frame);
// "zapytanie", "odpowiedź", "odrzucone".
std::string DirectionText(Direction direction);
// "OK", "brak odpowiedzi", "błąd CRC", "wyjątek Modbus 2", ...; empty for a request.
std::string OutcomeText(const Frame& frame);
// "01 03 00 68 00 04 C5 D7"; "… (1100 bajtów)" when not all were kept.
std::string HexText(const Frame& frame);
// "13:05:42.117" for `wallMs` milliseconds since the epoch, local time.
std::string ClockText(std::int64_t wallMs);

// One frame as a line of the simulator's trace (without line break), time
// in milliseconds from `originUs`: "      1234 ms  in  01 03 00 68 00 04 C5 D7"
// for a request, "out" with the bytes for a reply that came, and a word of
// what the master made of it where that was not OK: "no reply", "crc
// error", "wrong header", "exception 2", "noise 1100 bytes", "drop <bytes>".
std::vector<std::string> TraceLines(const Frame& frame, std::uint64_t originUs);

} // namespace torv::bus_monitor
