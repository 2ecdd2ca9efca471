#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "files/drying_log.h"
#include "plant/alarms.h"
#include "plant/chamber_list.h"
#include "quantities/moisture.h"

namespace prometheus {
class Registry;
class Exposer;
} // namespace prometheus

namespace torv::telemetry {

// The plant as Prometheus series, every chamber's labelled `address`: base
// units, `_total` only on counters, no timestamps, no site labels (those are
// the scrape configuration's). A chamber that does not answer keeps its up
// gauge (0) and counters and loses its measurements, so no value goes stale.
class PlantMetrics {
public:
    PlantMetrics();
    ~PlantMetrics();
    PlantMetrics(const PlantMetrics&) = delete;
    PlantMetrics& operator=(const PlantMetrics&) = delete;

    // One scan of a chamber, as the drying log has it (status Failed when
    // unanswered), with the humidity and wood moisture computed from it.
    void scanned(const drying_log::Row& row, const quantities::Moisture& moisture = {});
    // The chamber's active alarms after that scan (the overview's list).
    void alarms(int address, const std::vector<plant::Alarm>& all);

    // The exposition text a scrape gets now.
    std::string exposition() const;
    std::shared_ptr<prometheus::Registry> registry() const;

private:
    struct Families;
    std::shared_ptr<prometheus::Registry> registry_;
    std::unique_ptr<Families> families_;
};

// A scrape endpoint: GET /metrics on `host:port`, served from its own threads.
class MetricsEndpoint {
public:
    // Throws std::runtime_error with the reason when the address cannot be bound.
    MetricsEndpoint(const std::string& host, int port, const PlantMetrics& metrics);
    ~MetricsEndpoint();
    MetricsEndpoint(const MetricsEndpoint&) = delete;
    MetricsEndpoint& operator=(const MetricsEndpoint&) = delete;

private:
    std::unique_ptr<prometheus::Exposer> exposer_;
};

} // namespace torv::telemetry
