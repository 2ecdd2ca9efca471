#pragma once
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace torv {

// What a decoder asks of one control. The window applies a list of these in
// order, looking each control up by name.
enum class Property {
    Text,            // text of a field or label
    FontColor,       // value: platform colour integer (0xBBGGRR)
    ListIndex,       // value: selected item, -1 for none
    SpinnerPosition, // value: the spinner's position (already within its range)
    Checked,         // value: 1 ticked, 0 not
    Caption,         // text of a button
    Underline,       // value: 1 underlined font, 0 plain
    ProgressMax,     // value: maximum of a progress bar (0 empties it)
    ProgressStep,    // advance a progress bar by its step
};

struct ControlChange {
    std::string control;
    Property property;
    std::string text;
    int value = 0;

    bool operator==(const ControlChange&) const = default;
};

using ControlChanges = std::vector<ControlChange>;

inline ControlChange SetText(std::string control, std::string text)
{
    return {std::move(control), Property::Text, std::move(text), 0};
}
inline ControlChange SetCaption(std::string control, std::string text)
{
    return {std::move(control), Property::Caption, std::move(text), 0};
}
inline ControlChange SetValue(std::string control, Property property, int value)
{
    return {std::move(control), property, std::string(), value};
}

// Readable test failures.
inline std::ostream& operator<<(std::ostream& os, const ControlChange& c)
{
    static const char* const names[] = {"Text", "FontColor", "ListIndex", "SpinnerPosition", "Checked", "Caption", "Underline", "ProgressMax", "ProgressStep"};
    return os << c.control << '.' << names[static_cast<int>(c.property)] << "=\"" << c.text << "\"/" << c.value;
}

} // namespace torv
