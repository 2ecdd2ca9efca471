// torv-cli: the tester's line work without a window, for scripts and for
// unattended logging on a small machine by the kilns.
#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <map>

#include "cli/bus.h"
#include "cli/commands.h"
#include "cli/options.h"

int main(int argc, char** argv)
{
    using namespace torv::cli;
    QCoreApplication app(argc, argv);
    const CommandLine line = ParseCommandLine(QCoreApplication::arguments());
    switch (line.outcome) {
    case CommandLine::Outcome::Help: std::fputs(HelpText().c_str(), stdout); return kDone;
    case CommandLine::Outcome::Version: std::printf("torv-cli %s\n", TORV_VERSION); return kDone;
    case CommandLine::Outcome::Usage:
        Message(line.error);
        std::fputs(UsageText().c_str(), stderr);
        return kUsage;
    case CommandLine::Outcome::Run: break;
    }

    static const std::map<std::string, Exit (*)(Bus&, const Options&)> commands{
        {"read", Read}, {"bustest", BusTest}, {"backup", Backup}, {"restore", Restore}, {"log", Log}};
    Bus bus;
    if (const Exit opened = bus.open(line.options); opened != kDone)
        return opened;
    const Exit exit = commands.at(line.options.command)(bus, line.options);
    std::fflush(stdout);
    return exit;
}
