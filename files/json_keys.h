#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace torv {

// What a JSON parser building a document keeps no trace of: a member name
// written twice in one object (the parser keeps one of them, silently) and
// a number as written ("0.30", not the double 0.3).

// One step down from the top of a document: a member by its name, or an
// array's element by its index from 0.
struct JsonStep {
    std::string name;
    std::size_t index = 0;
    bool element = false;
    bool operator==(const JsonStep&) const = default;
};
using JsonPath = std::vector<JsonStep>;

struct JsonMember {
    JsonPath object;       // where the object holding it is; empty for the top-level object
    std::string name;      // with its escapes undone, so "\u0061" and "a" are one name
    std::string number;    // the value as written when it is a number, else empty
    bool repeated = false; // an earlier member of the same object has the same name
};

struct JsonMembers {
    std::vector<JsonMember> members; // every member of every object, in the order written
    bool ok = true;                  // false when the text is not one JSON value
    std::size_t errorOffset = 0;     // where it stops being one, when not ok
};

// Walks one JSON value (blanks around it allowed) without building it. The
// structure is checked strictly. Strings and numbers are taken as leniently
// as the document parser the set reader checks the syntax with takes them
// (a raw control character in a string, an unknown escape standing for its
// character, ".5", "1."), so the two never differ on what a name is.
JsonMembers ScanJsonMembers(std::string_view text);

} // namespace torv
