#pragma once
#include <QStringList>

#include "cli/options.h"

namespace torv::cli {

// torv-cli report runs in a program of its own, torv-cli-report: the report
// draws the window's chart with Qt's widgets, which torv-cli itself never
// loads. It lies beside torv-cli (the build, the Windows folder) or in
// ../libexec/torv-tester/ (the Debian package).
inline constexpr const char* kReportProgram = "torv-cli-report";

// Runs it with torv-cli's `arguments` (without the program's name), its
// standard streams torv-cli's own; its exit status, or kUsage when it cannot be started.
Exit RunReportProgram(const QStringList& arguments);

} // namespace torv::cli
