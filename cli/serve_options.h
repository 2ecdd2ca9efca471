#pragma once
// serve's place on torv-cli's command line: its synopsis lines and the checks
// of its words and options. Where serve is not built (TORV_SERVE off, as on
// Windows) the lines say where it runs and a serve command is a usage error.
#include <optional>
#include <string>

#include "cli/options.h"

namespace torv::cli {

struct Parser;

extern const char* const kServeSynopsis;

// The chambers, endpoint and broker of a serve command into `o`; the problem, if any.
std::optional<std::string> ParseServe(const Parser& p, const std::optional<std::string>& discoveryPrefix, Options& o);

} // namespace torv::cli
