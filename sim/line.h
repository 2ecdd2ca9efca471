#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "sim/controller.h"

namespace torv::sim {

struct LineOptions {
    // A partial frame is dropped after this much silence ...
    unsigned partialSilenceMs = 50;
    // ... or, when strict, after 3.5 character times.
    bool strictTiming = false;
    // Ignore frames sent at another baud rate than the addressed controller's
    // (needs setLineBaud; a real line garbles them).
    bool checkBaud = false;
    // Real seconds per programme hour.
    double hourSeconds = 60.0;
    // Controller's turnaround between the request's last byte and its reply.
    unsigned processingUs = 2000;
    // Bits per character on the wire (start, 8 data, stop; 11 with parity).
    unsigned bitsPerByte = 10;
    // Probability per request of one random fault (soak tests).
    double randomFaults = 0.0;
    // Baud code given to controllers made by add().
    std::uint8_t startBaudCode = 2;
    // Chambers and programme clocks stand still: two testers reading one
    // after the other see the same values.
    bool still = false;
    // Each piece of bytes read from the master is traced ("rx ..."), so the
    // pauses between a request's bytes can be measured.
    bool traceBytes = false;
};

// Timestamped text lines of the bus monitor.
using TraceSink = std::function<void(std::uint64_t nowUs, const std::string& text)>;

// A line of simulated controllers. No I/O and no threads: the owner feeds it
// the master's bytes and collects the reply bytes, both against a time in
// microseconds that never goes backwards.
class Line {
public:
    explicit Line(LineOptions options = {}, std::uint32_t seed = 1);

    // Adds a controller (an existing one when the address is served already).
    Controller& add(std::uint8_t address);
    // The first controller at `address`, or nullptr.
    Controller* find(std::uint8_t address);
    std::size_t size() const { return controllers_.size(); }
    Controller& at(std::size_t index) { return *controllers_.at(index); }

    void receive(const std::uint8_t* data, std::size_t n, std::uint64_t nowUs);
    std::vector<std::uint8_t> takeDue(std::uint64_t nowUs);
    void advance(std::uint64_t nowUs);
    // When the next reply byte falls due, if one is queued.
    std::optional<std::uint64_t> nextDueUs() const;
    // Reply bytes nobody will read (the master closed the port).
    void discardOutput() { out_.clear(); }

    LineOptions& options() { return options_; }
    // The master's baud rate, 0 when unknown (no baud check then).
    void setLineBaud(unsigned baud) { lineBaud_ = baud; }
    void setTrace(TraceSink sink) { trace_ = std::move(sink); }
    void seed(std::uint32_t value) { random_.seed(value); }

private:
    struct OutByte {
        std::uint64_t dueUs;
        std::uint8_t value;
    };
    struct Reply {
        std::vector<std::uint8_t> bytes; // with CRC
        Faults faults;
        unsigned baud;
    };

    void parse(std::uint64_t nowUs);
    void dispatch(const std::vector<std::uint8_t>& frame, std::uint64_t nowUs);
    std::optional<Reply> serveOne(Controller& c, const std::vector<std::uint8_t>& frame);
    Faults randomFault(const Faults& base);
    void schedule(const Reply& reply, std::uint64_t nowUs);
    bool hears(const Controller& c) const;
    std::uint64_t silenceUs() const;
    void trace(std::uint64_t nowUs, const std::string& what, const std::uint8_t* data, std::size_t n);

    LineOptions options_;
    std::vector<std::unique_ptr<Controller>> controllers_;
    std::vector<std::uint8_t> rx_;
    std::uint64_t lastRxUs_ = 0;
    std::deque<OutByte> out_;
    std::uint64_t modelUs_ = 0;
    bool modelStarted_ = false;
    unsigned lineBaud_ = 0;
    TraceSink trace_;
    std::mt19937 random_;
};

// Serves one request frame (CRC already checked) at controller `c`: the reply
// without CRC, or nothing for functions that do not answer.
std::vector<std::uint8_t> serveRequest(Controller& c, const std::vector<std::uint8_t>& frame);

} // namespace torv::sim
