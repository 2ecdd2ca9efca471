#include "cli/serve_sinks.h"

#include <exception>
#include <utility>
#include <vector>

#include "cli/bus.h"
#include "plant/chamber_moisture.h"
#include "telemetry/mqtt_messages.h"

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

void Report(const std::string& text) { Message(text); }

// A port it cannot have ends the run before a frame.
bool StartMetrics(const Options& options, ServeTelemetry& t)
{
    if (options.metricsPort == 0)
        return true;
    try {
        t.endpoint = std::make_unique<telemetry::MetricsEndpoint>(options.metricsHost, options.metricsPort, t.metrics);
    } catch (const std::exception& e) {
        Message(e.what());
        return false;
    }
    return true;
}

bool StartMqtt(const Options& options, ServeTelemetry& t)
{
    if (!options.mqtt)
        return true;
    std::vector<int> listed;
    for (const plant::Chamber& c : options.chambers.chambers)
        listed.push_back(c.address);
    telemetry::MqttSettings settings{*options.mqtt, options.mqttPassword, options.mqttCaFile, options.mqttPrefix,
                                     options.haDiscovery, std::move(listed)};
    try {
        t.mqtt = std::make_unique<telemetry::MqttPublisher>(settings, Report);
    } catch (const std::exception& e) {
        Message(e.what());
        return false;
    }
    if (options.haDiscovery) {
        std::vector<telemetry::Message> configs;
        for (const plant::Chamber& c : options.chambers.chambers)
            for (telemetry::Message& m : telemetry::DiscoveryMessages(options.mqttPrefix, c, *options.haDiscovery))
                configs.push_back(std::move(m));
        t.mqtt->setDiscovery(std::move(configs));
    }
    return true;
}

plant::ScanSinks::Sink MetricsSink(telemetry::PlantMetrics& metrics)
{
    return [&metrics](const plant::Overview& overview, const plant::Overview::Step& step) {
        metrics.scanned(step.row, plant::ChamberMoisture(overview.list(), step.row));
        metrics.alarms(step.scan.address, overview.alarms().alarms());
    };
}

// The chamber's state and availability, each alarm event, then its alarms as they stand.
plant::ScanSinks::Sink MqttSink(telemetry::MqttPublisher& mqtt, const std::string& prefix)
{
    return [&mqtt, prefix](const plant::Overview& overview, const plant::Overview::Step& step) {
        const int address = step.scan.address;
        const plant::Chamber chamber{address, plant::ChamberName(overview.list(), address)};
        const quantities::Moisture moisture = plant::ChamberMoisture(overview.list(), step.row);
        for (const telemetry::Message& m : telemetry::ScanMessages(prefix, chamber, step.row, moisture))
            mqtt.publish(m);
        for (const plant::AlarmEvent& e : step.events)
            mqtt.publish(telemetry::AlarmEventMessage(prefix, e));
        mqtt.publish(telemetry::ChamberAlarmsMessage(prefix, address, overview.alarms().alarms()));
    };
}

void TellEvents(const plant::Overview& overview, const plant::Overview::Step& step)
{
    const int address = step.scan.address;
    const std::string chamber =
        Chamber(static_cast<std::uint8_t>(address)) + " (" + plant::ChamberName(overview.list(), address) + ")";
    for (const plant::AlarmEvent& e : step.events)
        Message(plant::AlarmEventLine(chamber, e, EventText(e.type)));
}

} // namespace

bool StartTelemetry(const Options& options, ServeTelemetry& telemetry)
{
    return StartMetrics(options, telemetry) && StartMqtt(options, telemetry);
}

ServeLogs::ServeLogs(const std::string& directory)
    : dryingLog(drying_log::Writer::InDirectory(directory, drying_log::SystemLocalTime, Report))
    , alarmLog(plant::AlarmLog::InDirectory(directory, Report))
{
}

plant::ScanSinks ServeSinks(const Options& options, ServeLogs& logs, Answering& answering, ServeTelemetry& telemetry)
{
    plant::ScanSinks sinks;
    sinks.add(plant::DryingLogSink(logs.dryingLog))
        .add([&answering](const plant::Overview&, const plant::Overview::Step& step) {
            answering.next(step.scan.address, step.answered);
        })
        .add(plant::AlarmLogSink(logs.alarmLog))
        .add(MetricsSink(telemetry.metrics));
    if (telemetry.mqtt)
        sinks.add(MqttSink(*telemetry.mqtt, options.mqttPrefix));
    sinks.add(TellEvents);
    return sinks;
}

} // namespace torv::cli
