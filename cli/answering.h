#pragma once
#include <map>

namespace torv::cli {

// Whether each chamber answered its last read, for log and serve: a chamber
// that stops or starts answering is told once, not every round.
struct Answering {
    std::map<int, bool> last;
    bool anyFailed = false; // any read, since the first

    // The first read of a chamber: nothing to tell yet.
    void first(int address, bool ok);
    // A later one, told on stderr when it is not as the last.
    void next(int address, bool ok);
    // Not one chamber answered its last read.
    bool noneAnswering() const;
};

} // namespace torv::cli
