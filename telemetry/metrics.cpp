#include "telemetry/metrics.h"

#include <algorithm>
#include <ctime>
#include <optional>
#include <sstream>
#include <stdexcept>

#include <prometheus/counter.h>
#include <prometheus/exposer.h>
#include <prometheus/gauge.h>
#include <prometheus/registry.h>
#include <prometheus/text_serializer.h>

#include "plant/chamber_moisture.h"

namespace torv::telemetry {

using prometheus::Counter;
using prometheus::Family;
using prometheus::Gauge;
using prometheus::Labels;

struct PlantMetrics::Families {
    Family<Gauge>& up;
    Family<Gauge>& temperature;
    Family<Gauge>& setTemperature;
    Family<Gauge>& difference;
    Family<Gauge>& setDifference;
    Family<Gauge>& step;
    Family<Gauge>& elapsed;
    Family<Gauge>& duration;
    Family<Gauge>& actuator;
    Family<Gauge>& humidity;
    Family<Gauge>& woodMoisture;
    Family<Gauge>& lastGood;
    Family<Gauge>& alarms;
    Family<Counter>& scans;
    Family<Counter>& failed;
};

namespace {

Family<Gauge>& GaugeFamily(prometheus::Registry& r, const char* name, const char* help)
{
    return prometheus::BuildGauge().Name(name).Help(help).Register(r);
}

Family<Counter>& CounterFamily(prometheus::Registry& r, const char* name, const char* help)
{
    return prometheus::BuildCounter().Name(name).Help(help).Register(r);
}

// A value where the scan brought one; otherwise no series at all.
void SetOrDrop(Family<Gauge>& family, const Labels& labels, std::optional<double> value)
{
    if (value) {
        family.Add(labels).Set(*value);
        return;
    }
    if (family.Has(labels))
        family.Remove(&family.Add(labels));
}

std::optional<double> Scaled(const std::optional<int>& v, double factor)
{
    return v ? std::optional<double>(*v * factor) : std::nullopt;
}

} // namespace

PlantMetrics::PlantMetrics() : registry_(std::make_shared<prometheus::Registry>())
{
    prometheus::Registry& r = *registry_;
    families_.reset(new Families{
        GaugeFamily(r, "torv_chamber_up", "1 when the chamber answered its last scan, else 0."),
        GaugeFamily(r, "torv_temperature_celsius", "Temperature of a chamber's sensor (dry, wet, control1, control2)."),
        GaugeFamily(r, "torv_set_temperature_celsius", "The chamber's set temperature."),
        GaugeFamily(r, "torv_temperature_difference_celsius", "Dry minus wet temperature."),
        GaugeFamily(r, "torv_set_temperature_difference_celsius", "The set dry-wet difference."),
        GaugeFamily(r, "torv_programme_step", "Programme step 1..10, 0 in manual operation."),
        GaugeFamily(r, "torv_programme_elapsed_seconds", "Time the programme has run, in whole hours."),
        GaugeFamily(r, "torv_programme_duration_seconds", "The programme's total time, in whole hours."),
        GaugeFamily(r, "torv_actuator_on", "1 while an actuator (heating, humidifying, vent_open, vent_close) is on."),
        GaugeFamily(r, "torv_relative_humidity_ratio", "Relative humidity from the dry and wet bulb, 0..1."),
        GaugeFamily(r, "torv_wood_equilibrium_moisture_ratio",
                    "Equilibrium moisture content of wood in the chamber's air, of its dry mass."),
        GaugeFamily(r, "torv_last_good_scan_timestamp_seconds", "When the chamber last answered a scan (Unix time)."),
        GaugeFamily(r, "torv_alarms_active", "1 for each kind of alarm a chamber has active."),
        CounterFamily(r, "torv_scans_total", "Measurement scans of the chamber."),
        CounterFamily(r, "torv_scans_failed_total", "Measurement scans the chamber did not answer."),
    });
}

PlantMetrics::~PlantMetrics() = default;

void PlantMetrics::scanned(const drying_log::Row& row, const quantities::Moisture& moisture)
{
    Families& f = *families_;
    const std::string a = std::to_string(row.address);
    const bool ok = row.status == drying_log::Status::Ok;
    f.up.Add({{"address", a}}).Set(ok ? 1 : 0);
    f.scans.Add({{"address", a}}).Increment();
    Counter& failed = f.failed.Add({{"address", a}}); // there from the first scan, at 0
    if (!ok)
        failed.Increment();
    // A silent chamber's values would be stale: its series go until it answers again.
    const auto value = [ok](const std::optional<int>& v, double factor) { return ok ? Scaled(v, factor) : std::nullopt; };
    SetOrDrop(f.temperature, {{"address", a}, {"sensor", "dry"}}, value(row.tempDry, 0.1));
    SetOrDrop(f.temperature, {{"address", a}, {"sensor", "wet"}}, value(row.tempWet, 0.1));
    SetOrDrop(f.temperature, {{"address", a}, {"sensor", "control1"}}, value(row.tempControl1, 0.1));
    SetOrDrop(f.temperature, {{"address", a}, {"sensor", "control2"}}, value(row.tempControl2, 0.1));
    SetOrDrop(f.setTemperature, {{"address", a}}, value(row.setTemperature, 1.0));
    SetOrDrop(f.difference, {{"address", a}}, value(row.difference, 0.01));
    SetOrDrop(f.setDifference, {{"address", a}}, value(row.setDifference, 1.0));
    SetOrDrop(f.step, {{"address", a}}, value(row.autoStep, 1.0));
    SetOrDrop(f.elapsed, {{"address", a}}, value(row.autoHoursDone, 3600.0));
    SetOrDrop(f.duration, {{"address", a}}, value(row.autoHoursTotal, 3600.0));
    SetOrDrop(f.actuator, {{"address", a}, {"actuator", "heating"}}, value(row.heating, 1.0));
    SetOrDrop(f.actuator, {{"address", a}, {"actuator", "humidifying"}}, value(row.humidifying, 1.0));
    SetOrDrop(f.actuator, {{"address", a}, {"actuator", "vent_open"}}, value(row.ventOpen, 1.0));
    SetOrDrop(f.actuator, {{"address", a}, {"actuator", "vent_close"}}, value(row.ventClose, 1.0));
    // Percent to a tenth, as the broker has them, as ratios.
    const auto ratio = [ok](const std::optional<double>& percent) {
        return ok ? Scaled(plant::PercentTenths(percent), 0.001) : std::nullopt;
    };
    SetOrDrop(f.humidity, {{"address", a}}, ratio(moisture.relativeHumidity));
    SetOrDrop(f.woodMoisture, {{"address", a}}, ratio(moisture.equilibriumMoisture));
    if (ok)
        f.lastGood.Add({{"address", a}}).Set(static_cast<double>(std::time(nullptr)));
}

void PlantMetrics::alarms(int address, const std::vector<plant::Alarm>& all)
{
    const std::string a = std::to_string(address);
    const std::vector<plant::Alarm> holding = plant::ActiveAlarms(all, address);
    for (const plant::AlarmKind kind : {plant::AlarmKind::NoCommunication, plant::AlarmKind::TemperatureDeviation,
                                        plant::AlarmKind::SensorFault, plant::AlarmKind::ProgrammeFinished}) {
        const bool active =
            std::any_of(holding.begin(), holding.end(), [kind](const plant::Alarm& h) { return h.id.kind == kind; });
        SetOrDrop(families_->alarms, {{"address", a}, {"kind", std::string(plant::AlarmKey(kind))}},
                  active ? std::optional<double>(1.0) : std::nullopt);
    }
}

std::string PlantMetrics::exposition() const
{
    std::ostringstream out;
    prometheus::TextSerializer().Serialize(out, registry_->Collect());
    return out.str();
}

std::shared_ptr<prometheus::Registry> PlantMetrics::registry() const { return registry_; }

namespace {

constexpr int kWorkers = 4;
constexpr int kRequestTimeoutMs = 3000;

} // namespace

MetricsEndpoint::MetricsEndpoint(const std::string& host, int port, const PlantMetrics& metrics)
{
    const std::string at = (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" + std::to_string(port);
    try {
        // A worker serves one connection at a time: a client that connects and
        // says nothing holds one until the request timeout, so a scrape must
        // find another free, and the timeout must leave a held worker free well
        // within a scrape's own (Prometheus gives up after 10 s).
        exposer_ = std::make_unique<prometheus::Exposer>(std::vector<std::string>{
            "listening_ports", at, "num_threads", std::to_string(kWorkers), "request_timeout_ms",
            std::to_string(kRequestTimeoutMs)});
    } catch (const std::exception& e) {
        throw std::runtime_error("cannot serve metrics on " + at + ": " + e.what());
    }
    exposer_->RegisterCollectable(metrics.registry());
}

MetricsEndpoint::~MetricsEndpoint() = default;

} // namespace torv::telemetry
