// The parameter set reader against any file content, and the set taken
// from a controller's memory window against any bytes there.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "controller/conversions.h"
#include "controller/memory_map.h"
#include "files/parameter_set.h"
#include "view/parameter_set_changes.h"
#include "fuzz_input.h"

namespace {

using torv::fuzz::require;

// A control character (C0, DEL or C1 in UTF-8) in a message would reach a terminal or a box as it is.
bool holdsControlCharacter(std::string_view s)
{
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x20 || c == 0x7F || (c == 0xC2 && i + 1 < s.size() && (static_cast<unsigned char>(s[i + 1]) & 0xE0) == 0x80))
            return true;
    }
    return false;
}

// A set holds only its own bytes, each where its control can stand.
void requireShowable(const torv::ParameterSet& set)
{
    for (const auto& [byte, value] : set.values) {
        require(torv::InParameterSet(byte), "a set holds a byte that is not a parameter or programme byte");
        const torv::ValueRange range = torv::MapAt(byte).range;
        require(range.limited && range.clamp(value) == value, "a set holds a value its control cannot show");
    }
    require(set.sourceAddress == 0 || torv::IsSlaveAddress(set.sourceAddress), "a set names no controller's address");
}

// Written out, a set reads back as itself, and writing it again gives the same text.
void requireRoundTrip(const torv::ParameterSet& set)
{
    const std::string json = torv::ParameterSetJson(set);
    require(json.size() <= torv::parameter_set::kMaxFileBytes, "a written set is too large to read back");
    const torv::ParameterSetResult again = torv::ParseParameterSet(json);
    require(again.ok(), "a written set was refused");
    require(again.set == set, "a written set read back as another");
    require(torv::ParameterSetJson(again.set) == json, "writing a set twice gave two texts");
}

// One spinner and field change per field, one change per list and for the switch.
void requireChanges(const torv::ParameterSet& set)
{
    std::size_t expected = 0;
    for (const auto& [byte, value] : set.values) {
        const torv::Kind kind = torv::MapAt(byte).kind;
        expected += kind == torv::Kind::List || kind == torv::Kind::Flag ? 1 : 2;
    }
    require(torv::ParameterSetChanges(set, ",").size() == expected, "the controls moved are not the set's");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    torv::fuzz::lastOutcome() = {};
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // As a file: taken whole or refused whole, with a reason for each refusal.
    const torv::ParameterSetResult read = torv::ParseParameterSet(bytes);
    for (const std::string& problem : read.problems) {
        require(!problem.empty(), "an empty problem line");
        require(!holdsControlCharacter(problem), "a problem line holds a control character");
    }
    if (read.ok()) {
        requireShowable(read.set);
        requireRoundTrip(read.set);
        requireChanges(read.set);
        ++torv::fuzz::lastOutcome().accepted;
    } else {
        require(read.set == torv::ParameterSet{}, "a refused file left values behind");
        ++torv::fuzz::lastOutcome().rejected;
    }

    // Past the size limit any content is refused for its size alone, unparsed.
    std::string padded(bytes);
    if (padded.size() <= torv::parameter_set::kMaxFileBytes)
        padded.resize(torv::parameter_set::kMaxFileBytes + 1, ' ');
    const torv::ParameterSetResult oversize = torv::ParseParameterSet(padded);
    require(oversize.problems.size() == 1 && oversize.problems[0].starts_with("plik za duży: ") && oversize.set.values.empty(),
            "an oversize file was not refused for its size");

    // As a controller's memory window: every value showable, or refused whole.
    torv::ImageRow row{};
    for (std::size_t i = 0; i < row.size() && i < size; ++i)
        row[i] = data[i];
    const torv::ParameterSetResult fromRow = torv::ParameterSetFromRow(row);
    if (fromRow.ok()) {
        require(fromRow.set.values.size() == torv::kParameterSetBytes, "a set from memory lacks bytes");
        requireShowable(fromRow.set);
        requireRoundTrip(fromRow.set);
        for (const auto& [byte, value] : fromRow.set.values)
            require(torv::MapAt(byte).kind == torv::Kind::Flag ||
                        torv::StoredByteOfUnitValue(torv::MapAt(byte), value) == torv::RowByte(row, byte),
                    "a set from memory does not hold the memory's bytes");
    } else {
        require(fromRow.set == torv::ParameterSet{}, "a refused memory window left values behind");
    }
    return 0;
}
