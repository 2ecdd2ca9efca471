#pragma once
#include <string>

namespace torv {

// The system's own words for one of its error numbers: strerror for an errno
// on POSIX, FormatMessage for a Windows error code (as UTF-8, without the
// trailing line break).
std::string SystemErrorText(int code);

} // namespace torv
