// A torv-cli without serve (TORV_SERVE off): the plant's rounds, MQTT and the
// Prometheus endpoint run on a Linux machine by the kilns.
#include "cli/serve_options.h"

namespace torv::cli {

const char* const kServeSynopsis =
    "  serve                                  runs on Linux only (the plant's rounds, MQTT, Prometheus)\n";

std::optional<std::string> ParseServe(const Parser&, const std::optional<std::string>&, Options&)
{
    return std::string("serve runs on Linux only");
}

} // namespace torv::cli
