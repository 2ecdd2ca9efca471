#include "line_url.h"

#include <array>
#include <charconv>
#include <utility>

namespace torv {

namespace {

constexpr std::array<std::pair<std::string_view, LineScheme>, 2> kSchemes{{
    {"tcp", LineScheme::Tcp},
    {"rfc2217", LineScheme::Rfc2217},
}};

LineUrlParse Refused(std::string why) { return {std::nullopt, std::move(why)}; }

// Letters, digits, '-', '.' and '_' (the last for names on private networks).
bool HostName(std::string_view host)
{
    for (const char c : host) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter && !(c >= '0' && c <= '9') && c != '-' && c != '.' && c != '_')
            return false;
    }
    return !host.empty();
}

bool Ipv6Text(std::string_view host)
{
    for (const char c : host) {
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!hex && c != ':' && c != '.')
            return false;
    }
    return host.find(':') != std::string_view::npos;
}

} // namespace

bool IsLineUrl(std::string_view text)
{
    const std::size_t separator = text.find("://");
    if (separator == 0 || separator == std::string_view::npos)
        return false;
    for (const char c : text.substr(0, separator))
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' || c == '-' ||
              c == '.'))
            return false;
    return true;
}

LineUrlParse ParseLineUrl(std::string_view text)
{
    const std::size_t separator = text.find("://");
    if (separator == std::string_view::npos)
        return Refused("not a URL (tcp://HOST:PORT or rfc2217://HOST:PORT)");
    const std::string_view scheme = text.substr(0, separator);
    LineUrl url;
    bool known = false;
    for (const auto& [name, value] : kSchemes)
        if (scheme == name) {
            url.scheme = value;
            known = true;
        }
    if (!known)
        return Refused("unknown scheme \"" + std::string(scheme) + "\" (tcp or rfc2217)");
    std::string_view rest = text.substr(separator + 3);
    if (rest.find('@') != std::string_view::npos)
        return Refused("a user or password has no place in a line URL");
    if (rest.find_first_of("/?#") != std::string_view::npos)
        return Refused("a path has no place in a line URL");

    std::string_view host, port;
    if (!rest.empty() && rest.front() == '[') {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos)
            return Refused("an IPv6 address without its closing ]");
        host = rest.substr(1, close - 1);
        if (!Ipv6Text(host))
            return Refused("\"" + std::string(host) + "\" is no IPv6 address");
        rest = rest.substr(close + 1);
        if (rest.empty() || rest.front() != ':')
            return Refused("no port (HOST:PORT)");
        port = rest.substr(1);
    } else {
        const std::size_t colon = rest.rfind(':');
        if (colon == std::string_view::npos)
            return Refused("no port (HOST:PORT)");
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
        if (host.find(':') != std::string_view::npos)
            return Refused("an IPv6 address goes in brackets: [" + std::string(host) + "]:PORT");
        if (!HostName(host))
            return Refused(host.empty() ? "no host" : "\"" + std::string(host) + "\" is no host name");
    }
    if (port.empty())
        return Refused("no port (HOST:PORT)");
    unsigned number = 0;
    const auto [end, status] = std::from_chars(port.data(), port.data() + port.size(), number);
    if (status != std::errc() || end != port.data() + port.size() || number < 1 || number > 65535)
        return Refused("port \"" + std::string(port) + "\" is not 1..65535");
    url.host = std::string(host);
    url.port = static_cast<std::uint16_t>(number);
    return {url, {}};
}

std::string LineUrlText(const LineUrl& url)
{
    std::string text;
    for (const auto& [name, value] : kSchemes)
        if (value == url.scheme)
            text = std::string(name);
    const bool ipv6 = url.host.find(':') != std::string::npos;
    return text + "://" + (ipv6 ? "[" + url.host + "]" : url.host) + ":" + std::to_string(url.port);
}

} // namespace torv
