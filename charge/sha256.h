#pragma once
#include <string>
#include <string_view>

namespace torv::charge {

// The SHA-256 of `bytes` as 64 lowercase hex digits, as sha256sum prints it,
// so a report's record can be checked against its files with common tools.
std::string Sha256Hex(std::string_view bytes);

} // namespace torv::charge
