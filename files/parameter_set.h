#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "controller/memory_map.h"
#include "controller/number_format.h"
#include "settings/file_target.h"

namespace torv {

// A parameter set: one controller's parameters and programme in a JSON file
// the operator can read and edit, to back a controller up, restore it or
// clone it onto another. It never holds the controller's identity (address,
// baud rate, parity), so loading a set cannot change how a controller answers.
namespace parameter_set {
inline constexpr std::string_view kFormat = "torv-lcd-parameters";
inline constexpr int kVersion = 1;
// Checked before parsing: a hand-written set is a few kilobytes.
inline constexpr std::size_t kMaxFileBytes = 64 * 1024;
} // namespace parameter_set

class JsonWriter;

struct ParameterSet {
    int sourceAddress = 0; // controller it was read from, 0 when not given; only informs
    std::string saved;     // ISO 8601 date and time of the save, empty when not given
    // Byte -> its value in the map's units (UnitValue): the whole number;
    // tenths (byte, or byte - 100 for calibrations); the list index; 0 or 1
    // for the alarm switch.
    std::map<int, int> values;

    bool operator==(const ParameterSet&) const = default;
};

struct ParameterSetResult {
    ParameterSet set;                  // empty whenever there are problems
    std::vector<std::string> problems; // one line each: header, top-level keys, parameters, programme
    bool ok() const { return problems.empty(); }
};

// One value as the file holds it: a number (tenths with one decimal), a
// list item's text in quotes, true or false.
std::string ParameterValueJson(const MapEntry& entry, int value);
// The "parameters" object and the "programme" array as the file holds them,
// for other JSON documents of the same shapes: {} for a set without
// parameters, [] for one without a programme value.
void WriteParametersJson(JsonWriter& json, const ParameterSet& set);
void WriteProgrammeJson(JsonWriter& json, const ParameterSet& set);

// The set as the file holds it: pretty, keys in a fixed order, UTF-8.
// The values must lie within their ranges (what the two functions below give).
std::string ParameterSetJson(const ParameterSet& set);

// The set in `bytes` with nothing of it taken when anything is wrong: size,
// JSON syntax (with line and column), format name and version, unknown keys,
// a key given twice in one object, a value of the wrong kind, outside its
// its range, with a fraction where a whole number is due or more than
// one decimal written where tenths are, a programme of other than ten steps.
// A foreign, missing or repeated format or version is reported alone. Text of
// the file quoted in a problem has its control characters escaped.
ParameterSetResult ParseParameterSet(std::string_view bytes);

// Every parameter and programme byte of an image row; a byte outside its
// range is a problem (the window could not show it as it is).
ParameterSetResult ParameterSetFromRow(const ImageRow& row);

// What ZAPIS writes once `set` is in the controls of a controller holding
// `stored`: for each value of the set, in ZAPIS's order, the byte its
// control gives, unless the control shows just what the byte already made
// (the alarm switch is not a ZAPIS row: it is written when loaded).
std::vector<ByteWrite> ParameterSetWrites(const ParameterSet& set, const ImageRow& stored,
                                          const std::string& separator = systemDecimalSeparator());

// The current local time with its offset from UTC, as "saved" holds it.
std::string ParameterSetTimestamp();
// The name a set of controller `address` is offered under: "komora-007.json".
std::string ParameterSetFileName(int address);

// Reads and parses a set file; an unreadable or oversize file is a problem
// too, and so is anything but a regular file (a FIFO or a device could keep
// the reader waiting for ever).
ParameterSetResult ReadParameterSetFile(const std::string& path);
// What was read (files::ReadRegularFile, files::ReadDescriptor), parsed.
ParameterSetResult ParameterSetOfContents(const files::Contents& file);
// Writes the set through a temporary file renamed over `path`, so a failed
// save leaves any earlier file whole. False with `error` set on failure.
bool WriteParameterSetFile(const std::string& path, const ParameterSet& set, std::string& error);

} // namespace torv
