// serve: the plant's rounds without a window. Each chamber is read once, then
// the overview's rounds of measurement scans (a dead chamber rested to every
// fifth round) go on until a stop signal, every scan into the drying log and
// every alarm event into the alarm log, the same files the overview writes.
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>

#include "cli/commands.h"
#include "cli/serve_sinks.h"
#include "cli/stop.h"
#include "plant/overview.h"
#include "settings/file_target.h"
#include "telemetry/mqtt_messages.h"

namespace torv::cli {

namespace {

std::string HostName()
{
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0')
        return "localhost";
    return name;
}

std::optional<std::string> ReadPassword(const std::string& path)
{
    const files::Contents c = files::ReadRegularFile(path, 4096);
    if (!c.ok()) {
        Message(path + ": " + files::RefusalTextEnglish(c.refusal, c.type, c.error));
        return std::nullopt;
    }
    return telemetry::PasswordOfFile(c.bytes);
}

// The list of --chambers, read and checked; false, told on stderr, when it cannot be served.
bool ReadChambers(Options& options)
{
    // A name that cannot be examined (a link loop, too long) is refused as a missing one is.
    std::error_code error;
    if (!std::filesystem::exists(options.chambersFile, error)) {
        Message(options.chambersFile + ": " + (error ? error.message() : std::string("no such file")));
        return false;
    }
    const plant::ChamberListResult read = plant::ReadChamberListFile(options.chambersFile);
    for (const std::string& problem : read.problems)
        Message(options.chambersFile + ": " + problem);
    if (!read.ok())
        return false;
    if (read.list.chambers.empty()) {
        Message(options.chambersFile + ": no chambers listed");
        return false;
    }
    options.chambers = read.list;
    return true;
}

// Each chamber read whole once, logged when it answered, as the window logs
// its module read; false when a stop signal came first.
bool ReadEachOnce(Bus& bus, const Options& options, StopSignals& stop, ServeLogs& logs, Answering& answering)
{
    for (const plant::Chamber& c : options.chambers.chambers) {
        if (stop.requested())
            return false;
        const Result read = bus.blockRead(static_cast<std::uint8_t>(c.address));
        if (read.ok)
            logs.dryingLog.record(c.address, read.row, drying_log::Status::Ok);
        answering.first(c.address, read.ok);
    }
    return true;
}

// The overview's rounds, every scan to the sinks, until a stop signal or the
// rounds of --count have ended.
void RunRounds(Bus& bus, const Options& options, StopSignals& stop, const plant::ScanSinks& sinks)
{
    plant::Overview overview(bus.station);
    overview.setList(options.chambers);
    unsigned roundsEnded = 0;
    bool roundAnswered = false, roundScanned = false;
    while (!stop.requested()) {
        const std::optional<plant::Overview::Step> step =
            overview.step(bus.clock.nowUs(), drying_log::SystemLocalTime(), [&stop] { return stop.requested(); });
        if (step) {
            roundScanned = true;
            roundAnswered = roundAnswered || step->answered;
            sinks.deliver(overview, *step);
            continue;
        }
        // Nothing to scan now: the round under way has just ended, or the next has not begun.
        if (!overview.rounds().inRound() && overview.rounds().round() > roundsEnded) {
            roundsEnded = overview.rounds().round();
            // Not one chamber answered: the adapter may have been pulled and plugged back.
            if (roundScanned && !roundAnswered)
                bus.reopen();
            roundScanned = roundAnswered = false;
            if (options.rounds && roundsEnded >= *options.rounds)
                return;
        }
        const std::uint64_t next = overview.nextScanUs(), now = bus.clock.nowUs();
        if (next > now)
            stop.wait(next - now);
    }
}

} // namespace

Exit PrepareServe(Options& options)
{
    if (options.mqtt && !options.mqttPasswordFile.empty()) {
        options.mqttPassword = ReadPassword(options.mqttPasswordFile);
        if (!options.mqttPassword)
            return kUsage;
    }
    if (options.mqtt && options.mqttPrefix.empty())
        options.mqttPrefix = telemetry::DefaultPrefix(HostName());
    if (!options.chambersFile.empty() && !ReadChambers(options))
        return kUsage;
    // The rounds are the command line's, not the overview's.
    options.chambers.roundSeconds = static_cast<int>(options.everySeconds);
    return kDone;
}

Exit Serve(Bus& bus, const Options& options)
{
    // Before any thread starts: the endpoint's threads inherit the signals
    // held back, or a stop signal would end the process in one of them.
    StopSignals stop;
    ServeTelemetry telemetry;
    if (!StartTelemetry(options, telemetry))
        return kUsage;
    ServeLogs logs(options.dir);
    Answering answering;
    if (!ReadEachOnce(bus, options, stop, logs, answering))
        return logs.linesLost() ? kController : kDone;
    RunRounds(bus, options, stop, ServeSinks(options, logs, answering, telemetry));
    // The service's own offline before it goes (the last will is for a crash).
    if (telemetry.mqtt)
        telemetry.mqtt->stop();
    if (logs.linesLost())
        return kController;
    // Ended by --count: like log, a chamber that failed to answer fails the run; by a signal, a clean end.
    return options.rounds && !stop.requested() && answering.anyFailed ? kController : kDone;
}

} // namespace torv::cli
