// serve: the plant's rounds without a window. Each chamber is read once, then
// the overview's rounds of measurement scans (a dead chamber rested to every
// fifth round) go on until a stop signal, every scan into the drying log and
// every alarm event into the alarm log, the same files the overview writes.
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>

#include "cli/commands.h"
#include "cli/stop.h"
#include "files/drying_log_writer.h"
#include "plant/alarm_log.h"
#include "plant/overview.h"
#include "settings/file_target.h"
#include "telemetry/metrics.h"
#include "telemetry/mqtt_client.h"

namespace torv::cli {

namespace {

const char* EventText(plant::AlarmEventType type)
{
    switch (type) {
    case plant::AlarmEventType::Raised: return "alarm";
    case plant::AlarmEventType::Cleared: return "alarm cleared";
    case plant::AlarmEventType::Acknowledged: return "alarm acknowledged";
    }
    return "alarm";
}

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
    if (!options.chambersFile.empty()) {
        // A name that cannot be examined (a link loop, too long) is refused as a missing one is.
        std::error_code error;
        if (!std::filesystem::exists(options.chambersFile, error)) {
            Message(options.chambersFile + ": " + (error ? error.message() : std::string("no such file")));
            return kUsage;
        }
        const plant::ChamberListResult read = plant::ReadChamberListFile(options.chambersFile);
        for (const std::string& problem : read.problems)
            Message(options.chambersFile + ": " + problem);
        if (!read.ok())
            return kUsage;
        if (read.list.chambers.empty()) {
            Message(options.chambersFile + ": no chambers listed");
            return kUsage;
        }
        options.chambers = read.list;
    }
    // The rounds are the command line's, not the overview's.
    options.chambers.roundSeconds = static_cast<int>(options.everySeconds);
    return kDone;
}

Exit Serve(Bus& bus, const Options& options)
{
    // Before any thread starts: the endpoint's threads inherit the signals
    // held back, or a stop signal would end the process in one of them.
    StopSignals stop;
    // The scrape endpoint next: a port it cannot have ends the run before a frame.
    telemetry::PlantMetrics metrics;
    std::unique_ptr<telemetry::MetricsEndpoint> endpoint;
    if (options.metricsPort != 0) {
        try {
            endpoint = std::make_unique<telemetry::MetricsEndpoint>(options.metricsHost, options.metricsPort, metrics);
        } catch (const std::exception& e) {
            Message(e.what());
            return kUsage;
        }
    }
    const auto report = [](const std::string& text) { Message(text); };
    // The broker is reached in the background; the bus never waits for it.
    std::unique_ptr<telemetry::MqttPublisher> mqtt;
    if (options.mqtt) {
        std::vector<int> listed;
        for (const plant::Chamber& c : options.chambers.chambers)
            listed.push_back(c.address);
        telemetry::MqttSettings settings{*options.mqtt, options.mqttPassword, options.mqttCaFile, options.mqttPrefix,
                                         options.haDiscovery, std::move(listed)};
        try {
            mqtt = std::make_unique<telemetry::MqttPublisher>(settings, report);
        } catch (const std::exception& e) {
            Message(e.what());
            return kUsage;
        }
        if (options.haDiscovery) {
            std::vector<telemetry::Message> configs;
            for (const plant::Chamber& c : options.chambers.chambers)
                for (telemetry::Message& m : telemetry::DiscoveryMessages(options.mqttPrefix, c, *options.haDiscovery))
                    configs.push_back(std::move(m));
            mqtt->setDiscovery(std::move(configs));
        }
    }
    const auto chamber = [&](int address) -> const plant::Chamber& {
        for (const plant::Chamber& c : options.chambers.chambers)
            if (c.address == address)
                return c;
        static const plant::Chamber none;
        return none;
    };
    drying_log::Writer writer = drying_log::Writer::InDirectory(options.dir, drying_log::SystemLocalTime, report);
    plant::AlarmLog alarmLog = plant::AlarmLog::InDirectory(options.dir, report);
    const auto linesLost = [&] { return writer.anyFailed() || alarmLog.anyFailed(); };

    // Each chamber read whole once, logged when it answered, as the window logs its module read.
    std::map<int, bool> answering;
    bool anyFailed = false;
    for (const plant::Chamber& c : options.chambers.chambers) {
        if (stop.requested())
            return linesLost() ? kController : kDone;
        const Result read = bus.blockRead(static_cast<std::uint8_t>(c.address));
        if (read.ok)
            writer.record(c.address, read.row, drying_log::Status::Ok);
        answering[c.address] = read.ok;
        anyFailed = anyFailed || !read.ok;
    }

    plant::Overview overview(bus.station);
    overview.setList(options.chambers);
    unsigned roundsEnded = 0;
    bool roundAnswered = false, roundScanned = false;
    while (!stop.requested()) {
        const std::optional<plant::Overview::Step> step =
            overview.step(bus.clock.nowUs(), drying_log::SystemLocalTime(), [&stop] { return stop.requested(); });
        if (step) {
            const int address = step->scan.address;
            const bool ok = step->answered;
            roundScanned = true;
            roundAnswered = roundAnswered || ok;
            anyFailed = anyFailed || !ok;
            writer.append(step->row);
            // Told when it changes, not every round.
            if (ok != answering[address])
                Message(Chamber(static_cast<std::uint8_t>(address)) + ": " +
                        (ok ? std::string("answers again") : texts::kNoCommunication));
            answering[address] = ok;
            alarmLog.append(step->events);
            metrics.scanned(step->row);
            metrics.alarms(address, overview.alarms().alarms());
            if (mqtt) {
                for (const telemetry::Message& m : telemetry::ScanMessages(options.mqttPrefix, chamber(address), step->row))
                    mqtt->publish(m);
                for (const plant::AlarmEvent& e : step->events)
                    mqtt->publish(telemetry::AlarmEventMessage(options.mqttPrefix, e));
                mqtt->publish(telemetry::ChamberAlarmsMessage(options.mqttPrefix, address, overview.alarms().alarms()));
            }
            for (const plant::AlarmEvent& e : step->events)
                Message(Chamber(static_cast<std::uint8_t>(address)) + " (" + chamber(address).name + "): " + EventText(e.type) +
                        ": " + std::string(plant::AlarmName(e.id.kind)) + (e.value.empty() ? "" : " (" + e.value + ")"));
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
                break;
        }
        const std::uint64_t next = overview.nextScanUs(), now = bus.clock.nowUs();
        if (next > now)
            stop.wait(next - now);
    }
    // The service's own offline before it goes (the last will is for a crash).
    if (mqtt)
        mqtt->stop();
    if (linesLost())
        return kController;
    // Ended by --count: like log, a chamber that failed to answer fails the run; by a signal, a clean end.
    return options.rounds && !stop.requested() && anyFailed ? kController : kDone;
}

} // namespace torv::cli
