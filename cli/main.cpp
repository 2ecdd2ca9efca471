// torv-cli: the tester's line work without a window, for scripts and for
// unattended logging on a small machine by the kilns.
#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <map>

#include "cli/bus.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "cli/report_helper.h"
#include "cli/standard_streams.h"

int main(int argc, char** argv)
{
    using namespace torv::cli;
    // Before anything is opened: a closed stdout must not become the port.
    if (!PrepareStandardStreams())
        return kPort;
    QCoreApplication app(argc, argv);
    CommandLine line = ParseCommandLine(QCoreApplication::arguments());
    // A result that did not reach stdout whole is a failure, not a success.
    const auto finish = [](Exit exit) { return OutputWritten() || exit != kDone ? exit : kController; };
    switch (line.outcome) {
    case CommandLine::Outcome::Help: Print(HelpText()); return finish(kDone);
    case CommandLine::Outcome::Version: Print("torv-cli " TORV_VERSION "\n"); return finish(kDone);
    case CommandLine::Outcome::Usage:
        Message(line.error);
        std::fputs(UsageText().c_str(), stderr);
        return kUsage;
    case CommandLine::Outcome::Run: break;
    }

    // The report reads files only and draws with widgets: a program of its own.
    if (line.options.command == "report")
        return RunReportProgram(QCoreApplication::arguments().mid(1));
    static const std::map<std::string, Exit (*)(Bus&, const Options&)> commands{
        {"read", Read}, {"bustest", BusTest}, {"backup", Backup}, {"restore", Restore}, {"log", Log},
#if TORV_SERVE
        {"serve", Serve},
#endif
    };
    if (const Exit prepared = Prepare(line.options); prepared != kDone)
        return prepared;
    Bus bus;
    if (const Exit opened = bus.open(line.options); opened != kDone)
        return opened;
    return finish(commands.at(line.options.command)(bus, line.options));
}
