#pragma once
#include "cli/options.h"

namespace torv::cli {

// torv-cli report: the charge report of one chamber as a PDF. It draws the
// window's chart, so it alone starts Qt's widgets, on the offscreen platform
// (Windows: its own desktop): no display is needed. Call it with no
// application object alive; torv-cli-report does.
Exit Report(int& argc, char** argv, const Options& options);

} // namespace torv::cli
