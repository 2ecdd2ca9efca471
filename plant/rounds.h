#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "plant/chamber_list.h"
#include "station/station.h"

namespace torv::plant {

// A chamber that failed this many scans in a row is asked only every
// kDeadEveryRounds-th round until it answers again, so it does not slow the round.
inline constexpr int kDeadAfterFailures = 3;
inline constexpr unsigned kDeadEveryRounds = 5;

// Which chamber the plant scans next, and when: a round over the list in its
// order every period (a round that overran is followed at once), one scan at
// a time. Times are a monotonic clock's microseconds.
class Rounds {
public:
    // The chambers in their order; one that stays keeps its failures, a new
    // one is asked in the round under way.
    void setChambers(const std::vector<std::uint8_t>& addresses);
    void setPeriodSeconds(int seconds);

    // The chamber to scan now, or nothing: the round is done (or nothing is
    // listed), and dueUs() tells when to ask again.
    std::optional<std::uint8_t> next(std::uint64_t nowUs);
    // The scan of `address` ended; a stopped scan is tried again next.
    void scanned(std::uint8_t address, const Result& scan);
    std::uint64_t dueUs() const { return due_; }
    // A round is under way: its next chamber may be asked at once.
    bool inRound() const { return inRound_; }

    // Rounds begun so far (the first is 1).
    unsigned round() const { return round_; }
    // Failed scans in a row.
    int failures(std::uint8_t address) const;
    // Failed often enough to be asked only every kDeadEveryRounds-th round.
    bool resting(std::uint8_t address) const { return failures(address) >= kDeadAfterFailures; }

private:
    struct State {
        int failures = 0;
        unsigned askRound = 0; // due in this round and the ones after it; done for rounds before it
    };

    std::vector<std::uint8_t> order_;
    std::map<std::uint8_t, State> state_;
    std::uint64_t periodUs_ = kDefaultRoundSeconds * 1000000ull;
    std::uint64_t roundStart_ = 0;
    std::uint64_t due_ = 0;
    unsigned round_ = 0;
    bool inRound_ = false;
};

// One step of the plant's work: the measurement scan of the chamber that is
// due, if any, stopped early when `stop` says the line is wanted. The result
// has gone to `rounds` already.
std::optional<Result> ScanDue(Rounds& rounds, Station& station, std::uint64_t nowUs,
                              const std::function<bool()>& stop = {});

} // namespace torv::plant
