#pragma once
#include <memory>
#include <string>

#include "cli/answering.h"
#include "cli/options.h"
#include "files/drying_log_writer.h"
#include "plant/scan_sinks.h"
#include "telemetry/metrics.h"
#include "telemetry/mqtt_client.h"

namespace torv::cli {

// What serve publishes besides its logs: the scrape endpoint's series and the broker.
struct ServeTelemetry {
    telemetry::PlantMetrics metrics;
    std::unique_ptr<telemetry::MetricsEndpoint> endpoint;
    std::unique_ptr<telemetry::MqttPublisher> mqtt;
};
// The scrape endpoint, then the broker (reached in the background: the bus
// never waits for it), as the options ask; false, told on stderr, when either
// cannot start.
bool StartTelemetry(const Options& options, ServeTelemetry& telemetry);

// serve's logs, straight in the folder of --dir; their problems on stderr.
struct ServeLogs {
    explicit ServeLogs(const std::string& directory);
    drying_log::Writer dryingLog;
    plant::AlarmLog alarmLog;
    // A line of either could not be written.
    bool linesLost() const { return dryingLog.anyFailed() || alarmLog.anyFailed(); }
};

// Each scan, in this order: the drying log, a line when the chamber stops or
// starts answering, the alarm log, the metrics, the broker, a line for each
// alarm event.
plant::ScanSinks ServeSinks(const Options& options, ServeLogs& logs, Answering& answering, ServeTelemetry& telemetry);

} // namespace torv::cli
