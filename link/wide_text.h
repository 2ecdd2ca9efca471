#pragma once
#include <string>

namespace torv {

// Windows only: the program keeps text and paths in UTF-8, the system's W
// calls take UTF-16.
std::wstring WideOf(const std::string& utf8);
std::string Utf8Of(const std::wstring& wide);

} // namespace torv
