#pragma once
#include <string>
#include <string_view>

namespace torv {

// Text read from a file, made safe to show in a message: the control
// characters (C0, DEL and C1) as JSON writes them, "\u001b", so nothing a
// file holds can drive a terminal, break a box's lines or end a message at a
// NUL; a backslash doubled, so "\u001b" typed in a file stays told apart.
// A byte that is not part of UTF-8 shows as "\xNN".
std::string EscapedText(std::string_view text);
// The same in double quotes, an inner quote as \" (a key reads as the file writes it).
std::string QuotedText(std::string_view text);

} // namespace torv
