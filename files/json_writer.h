#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace torv {

// JSON text laid out as the parameter set files and torv-cli's reports have
// it, so both come from one place. Strings are escaped as RFC 8259 asks
// (quote, backslash, control characters as \u00xx); every other byte is
// kept, so UTF-8 text stays readable.
class JsonWriter {
public:
    // Lines: one member a line, indented by two a level ({} when empty).
    // Spaced: one line, { "a": 1 }. Tight: one line, {"a": [1, 2]}.
    // Inside a one-line container everything stays on that line.
    enum class Layout { Lines, Spaced, Tight };

    JsonWriter& beginObject(Layout layout = Layout::Lines);
    JsonWriter& endObject();
    JsonWriter& beginArray(Layout layout = Layout::Lines);
    JsonWriter& endArray();
    // The name of the open object's next member; its value follows.
    JsonWriter& key(std::string_view name);

    JsonWriter& string(std::string_view text);
    JsonWriter& integer(long long value);
    // scaled / 10^decimals (0..18) with all its decimals: fixed(-5, 1) is -0.5.
    JsonWriter& fixed(long long scaled, int decimals);
    // A number already written as text (a drying log column); text that is
    // no JSON number goes out as a string, so the document stays valid.
    JsonWriter& number(std::string_view text);
    JsonWriter& boolean(bool value);
    JsonWriter& null();

    // The text so far, without a final line break.
    const std::string& str() const { return out_; }

private:
    struct Open {
        char close;
        Layout layout;
        bool empty = true;
    };
    JsonWriter& begin(char open, char close, Layout layout);
    JsonWriter& end();
    void separate();
    JsonWriter& value(std::string_view text);

    std::string out_;
    std::vector<Open> open_;
    bool afterKey_ = false;
};

// `text` as a JSON string, in quotes.
std::string JsonString(std::string_view text);

} // namespace torv
