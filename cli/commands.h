#pragma once
#include "cli/bus.h"
#include "cli/options.h"

namespace torv::cli {

// Each command on an open bus; the exit status.
Exit Read(Bus& bus, const Options& options);
Exit BusTest(Bus& bus, const Options& options);
Exit Backup(Bus& bus, const Options& options);
Exit Restore(Bus& bus, const Options& options);
Exit Log(Bus& bus, const Options& options);

} // namespace torv::cli
