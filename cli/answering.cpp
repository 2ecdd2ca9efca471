#include "cli/answering.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "cli/bus.h"

namespace torv::cli {

void Answering::first(int address, bool ok)
{
    last[address] = ok;
    anyFailed = anyFailed || !ok;
}

void Answering::next(int address, bool ok)
{
    if (ok != last[address])
        Message(Chamber(static_cast<std::uint8_t>(address)) + ": " +
                (ok ? std::string("answers again") : texts::kNoCommunication));
    first(address, ok);
}

bool Answering::noneAnswering() const
{
    return std::none_of(last.begin(), last.end(), [](const auto& a) { return a.second; });
}

} // namespace torv::cli
