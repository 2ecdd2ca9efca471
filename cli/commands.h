#pragma once
#include "cli/bus.h"
#include "cli/options.h"

namespace torv::cli {

// What a command can check before the line is needed (log's folder, backup's
// target): the problem on stderr and status 2, or kDone.
Exit Prepare(Options& options);
#if TORV_SERVE
// serve's chamber list, read and checked before the line is opened.
Exit PrepareServe(Options& options);
#endif

// Each command on an open bus; the exit status.
Exit Read(Bus& bus, const Options& options);
Exit BusTest(Bus& bus, const Options& options);
Exit Backup(Bus& bus, const Options& options);
Exit Restore(Bus& bus, const Options& options);
Exit Log(Bus& bus, const Options& options);
#if TORV_SERVE
Exit Serve(Bus& bus, const Options& options);
#endif

} // namespace torv::cli
