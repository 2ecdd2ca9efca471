#include "system_error_text.h"

#include <cstring>

namespace torv {

std::string SystemErrorText(int code) { return std::strerror(code); }

} // namespace torv
