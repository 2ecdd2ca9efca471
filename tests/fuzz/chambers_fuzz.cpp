// The plant's chamber list reader against any file content: taken whole or
// refused whole, every list it takes valid and written back as itself.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "plant/chamber_list.h"

namespace {

using torv::fuzz::require;

bool holdsControlCharacter(std::string_view s)
{
    for (const char ch : s)
        if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F)
            return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    torv::fuzz::lastOutcome() = {};
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const torv::plant::ChamberListResult read = torv::plant::ParseChamberList(bytes);
    for (const std::string& problem : read.problems) {
        require(!problem.empty(), "an empty problem line");
        require(!holdsControlCharacter(problem), "a problem line holds a control character");
    }
    if (!read.ok()) {
        require(read.list == torv::plant::ChamberList{}, "a refused list left chambers or values behind");
        ++torv::fuzz::lastOutcome().rejected;
        return 0;
    }
    const torv::plant::ChamberList& list = read.list;
    require(list.roundSeconds >= torv::plant::kMinRoundSeconds && list.roundSeconds <= torv::plant::kMaxRoundSeconds,
            "a round period out of its range");
    std::set<int> addresses;
    for (const torv::plant::Chamber& c : list.chambers) {
        require(c.address >= 1 && c.address <= 250, "a chamber at no controller's address");
        require(addresses.insert(c.address).second, "an address taken twice");
        require(!c.name.empty() && !holdsControlCharacter(c.name), "a name the overview cannot show");
    }
    for (const torv::plant::ThresholdField& f : torv::plant::kThresholdFields)
        require(list.alarms.*f.field >= f.min && list.alarms.*f.field <= f.max, "a threshold out of its range");
    require(torv::plant::ChamberListProblems(list).empty(), "a list taken has problems when checked again");
    const std::string json = torv::plant::ChamberListJson(list);
    const torv::plant::ChamberListResult again = torv::plant::ParseChamberList(json);
    require(again.ok() && again.list == list, "a written list read back as another");
    require(torv::plant::ChamberListJson(again.list) == json, "writing a list twice gave two texts");
    ++torv::fuzz::lastOutcome().accepted;
    return 0;
}
