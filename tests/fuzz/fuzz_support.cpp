#include "fuzz_input.h"

#include <cstdio>
#include <cstdlib>

namespace torv::fuzz {

Outcome& lastOutcome()
{
    static Outcome outcome;
    return outcome;
}

void violated(const char* what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::fflush(stderr);
    std::abort();
}

} // namespace torv::fuzz
