#include "plant/rounds.h"

#include <algorithm>

namespace torv::plant {

void Rounds::setChambers(const std::vector<std::uint8_t>& addresses)
{
    std::map<std::uint8_t, State> kept;
    for (const std::uint8_t a : addresses) {
        const auto it = state_.find(a);
        kept[a] = it != state_.end() ? it->second : State{0, round_ > 0 ? round_ : 1};
    }
    state_ = std::move(kept);
    order_ = addresses;
}

void Rounds::setPeriodSeconds(int seconds)
{
    periodUs_ = static_cast<std::uint64_t>(std::max(seconds, 1)) * 1000000ull;
    if (round_ > 0)
        due_ = roundStart_ + periodUs_;
}

std::optional<std::uint8_t> Rounds::next(std::uint64_t nowUs)
{
    if (!inRound_) {
        if (round_ > 0 && nowUs < due_)
            return std::nullopt;
        // A round that overran its period is followed at once.
        roundStart_ = round_ == 0 ? nowUs : std::max(roundStart_ + periodUs_, nowUs);
        due_ = roundStart_ + periodUs_;
        ++round_;
        inRound_ = true;
    }
    for (const std::uint8_t a : order_)
        if (state_[a].askRound <= round_)
            return a;
    inRound_ = false;
    return std::nullopt;
}

void Rounds::scanned(std::uint8_t address, const Result& scan)
{
    const auto it = state_.find(address);
    if (it == state_.end() || scan.stopped)
        return; // removed meanwhile, or asked again when the line is free
    State& s = it->second;
    s.failures = scan.allAnswered() ? 0 : s.failures + 1;
    s.askRound = round_ + (s.failures >= kDeadAfterFailures ? kDeadEveryRounds : 1);
}

int Rounds::failures(std::uint8_t address) const
{
    const auto it = state_.find(address);
    return it == state_.end() ? 0 : it->second.failures;
}

std::optional<Result> ScanDue(Rounds& rounds, Station& station, std::uint64_t nowUs, const std::function<bool()>& stop)
{
    const std::optional<std::uint8_t> address = rounds.next(nowUs);
    if (!address)
        return std::nullopt;
    Result scan = station.scan(*address, stop);
    rounds.scanned(*address, scan);
    return scan;
}

} // namespace torv::plant
