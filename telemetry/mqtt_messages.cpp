#include "telemetry/mqtt_messages.h"

#include <algorithm>
#include <array>
#include <optional>

#include "files/json_writer.h"
#include "plant/chamber_moisture.h"
#include "plant/chamber_tile.h"

namespace torv::telemetry {

namespace {

using Layout = JsonWriter::Layout;

std::string chamberTopic(std::string_view prefix, int address, std::string_view leaf)
{
    return std::string(prefix) + "/" + std::to_string(address) + "/" + std::string(leaf);
}

// As the overview's tile reckons it: the controller counts whole hours, so
// the end is known to the hour at best.
std::optional<drying_log::LocalTime> estimatedEnd(const drying_log::Row& r)
{
    const int step = r.autoStep.value_or(0);
    const int done = r.autoHoursDone.value_or(0), total = r.autoHoursTotal.value_or(0);
    if (step < 1 || step > 10 || total < done)
        return std::nullopt;
    return plant::AddHours(r.time, total - done);
}

// One entity of a chamber's device. `key` is the state payload's key it shows
// (and the last part of its ids); the no-communication sensor reads the
// availability topic instead.
struct Entity {
    std::string_view component;
    std::string_view key;
    std::string_view name;
    std::string_view deviceClass;
    std::string_view stateClass;
    std::string_view unit;
    bool fromAvailability = false;
};

// The difference and its set value are temperature differences: no
// temperature class, so Home Assistant never converts them as temperatures.
constexpr std::array<Entity, 16> kEntities{{
    {"sensor", "TempDry", "T suchy", "temperature", "measurement", "°C"},
    {"sensor", "TempWet", "T mokry", "temperature", "measurement", "°C"},
    {"sensor", "TempControl1", "T kontr.1", "temperature", "measurement", "°C"},
    {"sensor", "TempControl2", "T kontr.2", "temperature", "measurement", "°C"},
    {"sensor", "Difference", "Różnica", "", "measurement", "°C"},
    {"sensor", "SetTemperature", "TEMP zadana", "temperature", "measurement", "°C"},
    {"sensor", "SetDifference", "Różnica zadana", "", "measurement", "°C"},
    {"sensor", "AutoStep", "Krok programu", "", "", ""},
    {"sensor", "estimatedEnd", "Koniec programu", "timestamp", "", ""},
    {"sensor", "relativeHumidity", "RH", "humidity", "measurement", "%"},
    {"sensor", "equilibriumMoisture", "EMC", "moisture", "measurement", "%"},
    {"binary_sensor", "Humidifying", "Nawilżanie", "", "", ""},
    {"binary_sensor", "Heating", "Grzanie", "", "", ""},
    {"binary_sensor", "VentOpen", "Otwarcie", "", "", ""},
    {"binary_sensor", "VentClose", "Zamknięcie", "", "", ""},
    {"binary_sensor", "NoCommunication", "Brak komunikacji", "problem", "", "", true},
}};

void availabilityEntry(JsonWriter& json, const std::string& topic)
{
    json.beginObject(Layout::Tight)
        .key("topic").string(topic)
        .key("payload_available").string(kOnline)
        .key("payload_not_available").string(kOffline)
        .endObject();
}

std::string configPayload(std::string_view prefix, const plant::Chamber& chamber, const Entity& e)
{
    const std::string node = DiscoveryId(prefix);
    const std::string deviceId = node + "_" + std::to_string(chamber.address);
    JsonWriter json;
    json.beginObject(Layout::Tight)
        .key("name").string(e.name)
        .key("unique_id").string(deviceId + "_" + std::string(e.key));
    if (e.fromAvailability) {
        json.key("state_topic").string(AvailabilityTopic(prefix, chamber.address))
            .key("payload_on").string(kOffline)
            .key("payload_off").string(kOnline);
    } else {
        json.key("state_topic").string(StateTopic(prefix, chamber.address))
            .key("value_template").string("{{ value_json." + std::string(e.key) + " }}");
        if (e.component == "binary_sensor")
            json.key("payload_on").string("1").key("payload_off").string("0");
    }
    if (!e.deviceClass.empty())
        json.key("device_class").string(e.deviceClass);
    if (!e.stateClass.empty())
        json.key("state_class").string(e.stateClass);
    if (!e.unit.empty())
        json.key("unit_of_measurement").string(e.unit);
    json.key("qos").integer(1);
    // The no-communication sensor must stay available while the chamber is
    // offline: that is when it has something to say.
    json.key("availability").beginArray(Layout::Tight);
    availabilityEntry(json, StatusTopic(prefix));
    if (!e.fromAvailability)
        availabilityEntry(json, AvailabilityTopic(prefix, chamber.address));
    json.endArray().key("availability_mode").string("all");
    json.key("device").beginObject(Layout::Tight)
        .key("identifiers").beginArray(Layout::Tight).string(deviceId).endArray()
        .key("name").string(chamber.name)
        .key("model").string("TORV-LCD")
        .key("manufacturer").string("torv-cli")
        .endObject();
    json.key("origin").beginObject(Layout::Tight).key("name").string("torv-cli").endObject();
    return json.endObject().str();
}

} // namespace

std::string TopicLevel(std::string_view text)
{
    if (text.empty())
        return "_";
    std::string level(text);
    for (char& c : level) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '+' || c == '#' || c == '/' || u < 0x20 || u > 0x7e)
            c = '_';
    }
    return level;
}

std::string DefaultPrefix(std::string_view hostName) { return "torv/" + TopicLevel(hostName); }

std::string StatusTopic(std::string_view prefix) { return std::string(prefix) + "/status"; }
std::string StateTopic(std::string_view prefix, int address) { return chamberTopic(prefix, address, "state"); }
std::string AvailabilityTopic(std::string_view prefix, int address)
{
    return chamberTopic(prefix, address, "availability");
}
std::string AlarmTopic(std::string_view prefix, int address) { return chamberTopic(prefix, address, "alarm"); }
std::string AlarmsTopic(std::string_view prefix, int address) { return chamberTopic(prefix, address, "alarms"); }

Message ServiceStatus(std::string_view prefix, bool online)
{
    return {StatusTopic(prefix), std::string(online ? kOnline : kOffline), true, 1};
}

std::string StatePayload(const drying_log::Row& row, std::string_view name, const quantities::Moisture& moisture)
{
    JsonWriter json;
    json.beginObject(Layout::Tight);
    drying_log::WriteRowJson(json, row);
    json.key("name").string(name).key("estimatedEnd");
    if (const auto end = estimatedEnd(row))
        json.string(drying_log::IsoTime(*end));
    else
        json.null();
    for (const auto& [key, percent] : {std::pair{"relativeHumidity", moisture.relativeHumidity},
                                       std::pair{"equilibriumMoisture", moisture.equilibriumMoisture}}) {
        json.key(key);
        if (const std::optional<int> tenths = plant::PercentTenths(percent))
            json.fixed(*tenths, 1);
        else
            json.null();
    }
    return json.endObject().str();
}

std::vector<Message> ScanMessages(std::string_view prefix, const plant::Chamber& chamber, const drying_log::Row& row,
                                  const quantities::Moisture& moisture)
{
    const std::string availability = AvailabilityTopic(prefix, chamber.address);
    if (row.status == drying_log::Status::Failed)
        return {{availability, std::string(kOffline), true, 1}};
    // The state first: whoever sees "online" finds the fresh values already there.
    return {{StateTopic(prefix, chamber.address), StatePayload(row, chamber.name, moisture), true, 1},
            {availability, std::string(kOnline), true, 1}};
}

std::optional<int> ChamberOfTopic(std::string_view prefix, std::string_view topic)
{
    if (!topic.starts_with(prefix) || topic.substr(prefix.size(), 1) != "/")
        return std::nullopt;
    topic.remove_prefix(prefix.size() + 1);
    const std::size_t slash = topic.find('/');
    if (slash == std::string_view::npos)
        return std::nullopt;
    const std::string_view number = topic.substr(0, slash), leaf = topic.substr(slash + 1);
    int address = 0;
    for (const char c : number.substr(0, 4)) {
        if (c < '0' || c > '9')
            return std::nullopt;
        address = address * 10 + (c - '0');
    }
    if (address < 1 || address > 250 || number != std::to_string(address))
        return std::nullopt;
    if (leaf != "state" && leaf != "availability" && leaf != "alarms")
        return std::nullopt;
    return address;
}

std::vector<Message> UnlistedChamberMessages(std::string_view prefix, int address,
                                             std::optional<std::string_view> discoveryPrefix)
{
    std::vector<Message> out{{AvailabilityTopic(prefix, address), std::string(kOffline), true, 1}};
    for (const std::string& topic : {StateTopic(prefix, address), AvailabilityTopic(prefix, address), AlarmsTopic(prefix, address)})
        out.push_back({topic, "", true, 1});
    if (discoveryPrefix)
        for (std::string& topic : DiscoveryTopics(prefix, address, *discoveryPrefix))
            out.push_back({std::move(topic), "", true, 1});
    return out;
}

Message AlarmEventMessage(std::string_view prefix, const plant::AlarmEvent& event)
{
    JsonWriter json;
    json.beginObject(Layout::Tight)
        .key("address").integer(event.id.address)
        .key("kind").string(plant::AlarmKey(event.id.kind))
        .key("name").string(plant::AlarmName(event.id.kind))
        .key("event").string(plant::AlarmEventKey(event.type))
        .key("value");
    if (event.value.empty())
        json.null();
    else
        json.string(event.value);
    json.key("time").string(drying_log::IsoTime(event.time)).endObject();
    return {AlarmTopic(prefix, event.id.address), json.str(), false, 1};
}

Message ChamberAlarmsMessage(std::string_view prefix, int address, const std::vector<plant::Alarm>& alarms)
{
    JsonWriter json;
    json.beginArray(Layout::Tight);
    // The list keeps a cleared alarm until it is acknowledged, which serve cannot do.
    for (const plant::Alarm& a : plant::ActiveAlarms(alarms, address)) {
        json.beginObject(Layout::Tight)
            .key("kind").string(plant::AlarmKey(a.id.kind))
            .key("name").string(plant::AlarmName(a.id.kind))
            .key("fault").boolean(plant::IsFault(a.id.kind))
            .key("raised").string(drying_log::IsoTime(a.raised))
            .key("value").string(a.value)
            .key("cleared").boolean(a.cleared)
            .key("acknowledged").boolean(a.acknowledged)
            .endObject();
    }
    return {AlarmsTopic(prefix, address), json.endArray().str(), true, 1};
}

std::string HomeAssistantStatusTopic(std::string_view discoveryPrefix)
{
    return std::string(discoveryPrefix) + "/status";
}

std::string DiscoveryId(std::string_view text)
{
    std::string id(text);
    for (char& c : id) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
        if (!ok)
            c = '_';
    }
    return id;
}

std::vector<Message> DiscoveryMessages(std::string_view prefix, const plant::Chamber& chamber,
                                       std::string_view discoveryPrefix)
{
    const std::vector<std::string> topics = DiscoveryTopics(prefix, chamber.address, discoveryPrefix);
    std::vector<Message> out;
    for (std::size_t i = 0; i < kEntities.size(); ++i)
        out.push_back({topics[i], configPayload(prefix, chamber, kEntities[i]), true, 1});
    return out;
}

std::vector<std::string> DiscoveryTopics(std::string_view prefix, int address, std::string_view discoveryPrefix)
{
    const std::string node = DiscoveryId(prefix);
    std::vector<std::string> out;
    for (const Entity& e : kEntities)
        out.push_back(std::string(discoveryPrefix) + "/" + std::string(e.component) + "/" + node + "/" +
                      std::to_string(address) + "_" + std::string(e.key) + "/config");
    return out;
}

std::size_t LongestTopicSize(std::string_view prefix, std::optional<std::string_view> discoveryPrefix)
{
    constexpr int address = 250;
    std::vector<std::string> topics{StatusTopic(prefix), StateTopic(prefix, address), AvailabilityTopic(prefix, address),
                                    AlarmTopic(prefix, address), AlarmsTopic(prefix, address)};
    if (discoveryPrefix) {
        topics.push_back(HomeAssistantStatusTopic(*discoveryPrefix));
        for (std::string& t : DiscoveryTopics(prefix, address, *discoveryPrefix))
            topics.push_back(std::move(t));
    }
    std::size_t longest = 0;
    for (const std::string& t : topics)
        longest = std::max(longest, t.size());
    return longest;
}

} // namespace torv::telemetry
