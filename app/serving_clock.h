#pragma once
#include <cstdint>
#include <functional>

#include "link/clock.h"

class QWidget;

// The window's bus clock. The link's idle waits (reply polls, pauses between
// transactions) serve the window's events meanwhile: it repaints what was
// uncovered or changed and the desktop sees it answer. What the operator
// does to it in that time is dropped, not kept for later, and no handler
// starts: the bus work in progress is the only work. The pause behind each
// request byte serves nothing, so a frame keeps its spacing.
class ServingClock final : public torv::Clock {
public:
    // Time from `base` when given (tests run the bus on a virtual clock),
    // else the monotonic clock.
    explicit ServingClock(torv::Clock* base = nullptr) : base_(base ? *base : steady_) {}
    ServingClock(const ServingClock&) = delete;
    ServingClock& operator=(const ServingClock&) = delete;

    std::uint64_t nowUs() override { return base_.nowUs(); }
    void sleepUntilUs(std::uint64_t deadlineUs) override { base_.sleepUntilUs(deadlineUs); }
    void idleUntilUs(std::uint64_t deadlineUs) override;

    // True while a wait serves events: a handler reached now was not called
    // by the work that waits, and must not start.
    static bool serving();
    // A top-level window whose input is served even then: it starts no bus work.
    static void serveInputOf(QWidget* window);

    // A top-level window whose input is kept, not dropped, during any bus
    // work, and handed over once the work is over (it starts no bus work of
    // its own from that input while the line is busy).
    static void keepInputOf(QWidget* window);

    // For bus work that gives way to the operator (the plant overview's
    // scans): while on, the operator's input is kept instead of dropped, and
    // inputKept() tells the work to end at its next transaction's end. Off,
    // the input kept is handed over again, in order, to run as if it came
    // now: one event at a time, each after the last one's handling (and the
    // bus work it started) has ended, never while bus work is serving or
    // `setReplayGate`'s predicate says the line is not free.
    static void keepInput(bool on);
    static bool inputKept();
    // Kept input still to be handed over: bus work that gives way waits for it.
    static bool replayPending();
    static void setReplayGate(std::function<bool()> lineFree);

    // How the waits went since the last reset: the longest stretch between
    // two event rounds, and the most an idle wait ended after its deadline.
    struct Stats {
        std::uint64_t longestGapUs = 0;
        std::uint64_t latestEndUs = 0;
        std::uint64_t rounds = 0;
    };
    const Stats& stats() const { return stats_; }
    // Starts a measurement now: the first stretch runs from here.
    void resetStats();
    std::uint64_t lastRoundUs() const { return lastRoundUs_; }

private:
    void serveRound();

    torv::SteadyClock steady_;
    torv::Clock& base_;
    Stats stats_;
    std::uint64_t lastRoundUs_ = 0;
};
