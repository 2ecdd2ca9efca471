// torv-cli-report: torv-cli's report command, in a program of its own so
// that torv-cli never loads the widget toolkit the report's chart is drawn with.
#include <QCoreApplication>

#include <memory>

#include "cli/bus.h"
#include "cli/options.h"
#include "cli/report_command.h"
#include "cli/standard_streams.h"

int main(int argc, char** argv)
{
    using namespace torv::cli;
    if (!PrepareStandardStreams())
        return kUsage;
    // The command line read as torv-cli reads it, then the widgets' own application.
    auto core = std::make_unique<QCoreApplication>(argc, argv);
    const CommandLine line = ParseCommandLine(QCoreApplication::arguments());
    core.reset();
    if (line.outcome != CommandLine::Outcome::Run || line.options.command != "report") {
        Message(line.error.empty() ? std::string("torv-cli-report takes torv-cli's report command") : line.error);
        return kUsage;
    }
    return Report(argc, argv, line.options);
}
