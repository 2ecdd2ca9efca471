#include "files/quoted_text.h"

#include <cstdio>

namespace torv {

namespace {

std::string hexEscape(const char* format, unsigned value)
{
    char escape[8];
    std::snprintf(escape, sizeof escape, format, value);
    return escape;
}

// The length of the UTF-8 sequence at the start of `s`, 0 when it is not one
// (overlong forms, surrogates and code points past U+10FFFF included).
std::size_t sequenceLength(std::string_view s)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned lead = byte(0);
    std::size_t length = 0;
    unsigned low = 0x80, high = 0xBF; // the second byte's bounds
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    }
    if (length == 0 || s.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
    return length;
}

std::string escaped(std::string_view text, bool quote)
{
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const auto c = static_cast<unsigned char>(text.front());
        const std::size_t length = sequenceLength(text);
        if (length == 0) {
            out += hexEscape("\\x%02x", c);
            text.remove_prefix(1);
            continue;
        }
        if (c < 0x20 || c == 0x7F) {
            out += hexEscape("\\u%04x", c);
        } else if (c == 0xC2 && static_cast<unsigned char>(text[1]) < 0xA0) { // U+0080..U+009F
            out += hexEscape("\\u%04x", static_cast<unsigned char>(text[1]));
        } else if (c == '\\' || (quote && c == '"')) {
            out += '\\';
            out += static_cast<char>(c);
        } else {
            out.append(text.substr(0, length));
        }
        text.remove_prefix(length);
    }
    return out;
}

} // namespace

std::string EscapedText(std::string_view text) { return escaped(text, false); }

std::string QuotedText(std::string_view text) { return "\"" + escaped(text, true) + "\""; }

} // namespace torv
