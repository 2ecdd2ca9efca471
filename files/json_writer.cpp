#include "files/json_writer.h"

#include <cstdio>

namespace torv {

namespace {

// -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?
bool isJsonNumber(std::string_view s)
{
    std::size_t i = 0;
    const auto digits = [&] {
        const std::size_t from = i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9')
            ++i;
        return i - from;
    };
    if (i < s.size() && s[i] == '-')
        ++i;
    const bool leadingZero = i < s.size() && s[i] == '0';
    const std::size_t whole = digits();
    if (whole == 0 || (leadingZero && whole > 1))
        return false;
    if (i < s.size() && s[i] == '.') {
        ++i;
        if (digits() == 0)
            return false;
    }
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        if (digits() == 0)
            return false;
    }
    return i == s.size();
}

} // namespace

std::string JsonString(std::string_view text)
{
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", u);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

void JsonWriter::separate()
{
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (open_.empty())
        return;
    Open& o = open_.back();
    switch (o.layout) {
    case Layout::Lines: out_ += (o.empty ? "\n" : ",\n") + std::string(2 * open_.size(), ' '); break;
    case Layout::Spaced: out_ += o.empty ? " " : ", "; break;
    case Layout::Tight: out_ += o.empty ? "" : ", "; break;
    }
    o.empty = false;
}

JsonWriter& JsonWriter::begin(char open, char close, Layout layout)
{
    separate();
    if (!open_.empty() && open_.back().layout != Layout::Lines && layout == Layout::Lines)
        layout = open_.back().layout;
    out_ += open;
    open_.push_back({close, layout});
    return *this;
}

JsonWriter& JsonWriter::end()
{
    const Open o = open_.back();
    open_.pop_back();
    if (!o.empty) {
        if (o.layout == Layout::Lines)
            out_ += "\n" + std::string(2 * open_.size(), ' ');
        else if (o.layout == Layout::Spaced)
            out_ += ' ';
    }
    out_ += o.close;
    return *this;
}

JsonWriter& JsonWriter::beginObject(Layout layout) { return begin('{', '}', layout); }
JsonWriter& JsonWriter::endObject() { return end(); }
JsonWriter& JsonWriter::beginArray(Layout layout) { return begin('[', ']', layout); }
JsonWriter& JsonWriter::endArray() { return end(); }

JsonWriter& JsonWriter::key(std::string_view name)
{
    separate();
    out_ += JsonString(name) + ": ";
    afterKey_ = true;
    return *this;
}

JsonWriter& JsonWriter::value(std::string_view text)
{
    separate();
    out_ += text;
    return *this;
}

JsonWriter& JsonWriter::string(std::string_view text) { return value(JsonString(text)); }
JsonWriter& JsonWriter::integer(long long v) { return value(std::to_string(v)); }
JsonWriter& JsonWriter::boolean(bool v) { return value(v ? "true" : "false"); }
JsonWriter& JsonWriter::null() { return value("null"); }

JsonWriter& JsonWriter::fixed(long long scaled, int decimals)
{
    if (decimals <= 0)
        return integer(scaled);
    unsigned long long scale = 1;
    for (int i = 0; i < decimals; ++i)
        scale *= 10;
    // Unsigned, so the most negative value has a magnitude too.
    const unsigned long long magnitude = scaled < 0 ? 0ULL - static_cast<unsigned long long>(scaled)
                                                    : static_cast<unsigned long long>(scaled);
    std::string fraction = std::to_string(magnitude % scale);
    fraction.insert(0, static_cast<std::size_t>(decimals) - fraction.size(), '0');
    return value((scaled < 0 ? "-" : "") + std::to_string(magnitude / scale) + "." + fraction);
}

JsonWriter& JsonWriter::number(std::string_view text) { return isJsonNumber(text) ? value(text) : string(text); }

} // namespace torv
