#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace torv {

// A serial line behind a device server on the network.
enum class LineScheme {
    Tcp,     // tcp://HOST:PORT, the RTU frames as they are (a transparent server)
    Rfc2217, // rfc2217://HOST:PORT, telnet with the COM-PORT option: the tool sets the server's line
};

struct LineUrl {
    LineScheme scheme = LineScheme::Tcp;
    std::string host; // a name, an IPv4 address, or an IPv6 address without its brackets
    std::uint16_t port = 0;
};

// True for text written as a network line ("scheme://...", the scheme made
// of letters, digits, '+', '-' and '.'), sound or not: never a device path.
bool IsLineUrl(std::string_view text);

struct LineUrlParse {
    std::optional<LineUrl> url;
    std::string error; // why the text is no line URL, when url is empty
};

// tcp://HOST:PORT or rfc2217://HOST:PORT, PORT 1..65535, HOST a name, an IPv4
// address or [an IPv6 address]. No user, password, path, query or fragment.
LineUrlParse ParseLineUrl(std::string_view text);

// The URL written back as ParseLineUrl reads it.
std::string LineUrlText(const LineUrl& url);

} // namespace torv
