#pragma once
// The window's texts are UTF-8 std::strings below it; Qt wants QString.
#include <QString>

#include <string>

namespace torv {

inline QString qs(const std::string& text) { return QString::fromStdString(text); }

} // namespace torv
