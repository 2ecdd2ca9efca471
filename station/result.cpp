#include "station/result.h"

#include <algorithm>

namespace torv {

const Exchange* Result::reportedFailure() const
{
    const auto it = std::find_if(exchanges.begin(), exchanges.end(),
                                 [](const Exchange& e) { return e.reported && !e.ok(); });
    return it == exchanges.end() ? nullptr : &*it;
}

bool Result::allAnswered() const
{
    return sent() && std::all_of(exchanges.begin(), exchanges.end(), [](const Exchange& e) { return e.ok(); });
}

bool Result::wrote() const
{
    return std::any_of(exchanges.begin(), exchanges.end(), [](const Exchange& e) { return e.isWrite(); });
}

bool Result::writeUnconfirmed() const
{
    return std::any_of(exchanges.begin(), exchanges.end(), [](const Exchange& e) { return e.isWrite() && !e.ok(); });
}

} // namespace torv
