#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QJsonObject>
#include <QJsonValue>

#include "files/json_keys.h"
#include "settings/file_target.h"

namespace torv {

// What the readers of the tool's own JSON files (parameter sets, the plant's
// chamber list) check alike, so that a problem reads the same in either.

// Follows the place of a key an object gives twice.
inline constexpr const char* kJsonRepeatedKey = ": powtórzony klucz";

// What the parsed JSON keeps no trace of: the keys a file gives twice in one
// object (it keeps the last; another reader may take the first) and the
// numbers as written, not as the nearest doubles.
class JsonWritten {
public:
    explicit JsonWritten(std::vector<JsonMember> members = {}) : members_(std::move(members)) {}

    // The keys repeated in the object at `object`, once each, in the file's order.
    std::vector<std::string> repeated(const JsonPath& object) const;
    // The number given for `key` in the object at `object` as written (the
    // last one, as the parser takes it), empty when it is no number.
    std::string_view number(const JsonPath& object, std::string_view key) const;

private:
    std::vector<JsonMember> members_;
};

// A file's top-level object, once the file is one of `format` and `version`.
struct JsonFileObject {
    QJsonObject root;
    JsonWritten written;
    std::vector<std::string> problems; // why the file is no such file; nothing else is worth checking then
    bool ok() const { return problems.empty(); }
};

// Refuses, each reported alone: more than `maxBytes`, JSON syntax (with line
// and column), anything but an object at the top, a missing, foreign or
// repeated "format" or "version". `kind` names such a file ("plik
// parametrów") where "format" is missing. A byte order mark is skipped.
JsonFileObject ReadJsonFileObject(std::string_view bytes, std::size_t maxBytes, std::string_view format, int version,
                                  std::string_view kind);

// Writes `json` through a temporary file renamed over `path`, so a failed
// save leaves any earlier file whole; a name that is not a regular file
// (a device, a FIFO) is refused, not replaced. False with `error` set.
bool WriteJsonFile(const std::string& path, const std::string& json, std::string& error);

std::string JsonFileSizeProblem(unsigned long long size, std::size_t maxBytes);
// What kept a file read with a cap of `maxBytes` (files::ReadRegularFile,
// files::ReadDescriptor) from being parsed: too large, no regular file or
// unreadable; nothing when its bytes are there.
std::optional<std::string> JsonFileReadProblem(const files::Contents& file, std::size_t maxBytes);

// A number from a file as short as it reads back exactly.
std::string JsonNumberText(double v);
// Tenths as a decimal number with one decimal: -5 -> "-0.5".
std::string TenthsNumberText(int tenths);
// A number kept in units of 10^-decimals with all its decimals: (101325, 2) -> "1013.25".
std::string ScaledNumberText(int scaled, int decimals);

// A whole number (as written: "12.0" is one, "12.0000000000000001" is not)
// in min..max, or nothing with `problem` set (no place, the value's fault).
std::optional<int> JsonWholeNumber(const QJsonValue& v, std::string_view written, int min, int max,
                                   std::string& problem);
// A number written with at most one decimal, in tenths min..max.
std::optional<int> JsonTenths(const QJsonValue& v, std::string_view written, int min, int max, std::string& problem);
// A number written with at most `decimals` (1..4) decimals, in units of 10^-decimals min..max.
std::optional<int> JsonScaled(const QJsonValue& v, std::string_view written, int decimals, int min, int max,
                              std::string& problem);

} // namespace torv
