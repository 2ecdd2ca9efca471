#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/drying_log.h"
#include "plant/alarms.h"
#include "plant/chamber_list.h"
#include "quantities/moisture.h"

namespace torv::telemetry {

// What the plant publishes to an MQTT broker, as plain values: the service
// that owns the connection only sends them. Topics sit under a prefix,
// "torv/<host>" unless the operator picks another.

struct Message {
    std::string topic;
    std::string payload; // UTF-8
    bool retained = false;
    int qos = 0; // 0 or 1
    bool operator==(const Message&) const = default;
};

// The most a topic may take, in bytes of UTF-8.
inline constexpr std::size_t kMaxTopicBytes = 65535;

inline constexpr std::string_view kOnline = "online";
inline constexpr std::string_view kOffline = "offline";

// `text` fit for one topic level: '+', '#', '/' and every byte outside
// printable ASCII become '_'; an empty text becomes "_".
std::string TopicLevel(std::string_view text);
// "torv/<host>" with the host name as one level.
std::string DefaultPrefix(std::string_view hostName);

std::string StatusTopic(std::string_view prefix);                    // PREFIX/status
std::string StateTopic(std::string_view prefix, int address);        // PREFIX/<address>/state
std::string AvailabilityTopic(std::string_view prefix, int address); // PREFIX/<address>/availability
std::string AlarmTopic(std::string_view prefix, int address);        // PREFIX/<address>/alarm
std::string AlarmsTopic(std::string_view prefix, int address);       // PREFIX/<address>/alarms

// The service's own online/offline, retained; the offline one is its last will.
Message ServiceStatus(std::string_view prefix, bool online);

// One JSON object: the drying log's columns with their values (numbers as the
// log writes them, null where the row has none), the chamber's name, the
// estimated end of a running programme (its ISO time, else null), and
// relativeHumidity and equilibriumMoisture (`moisture`, percent with one
// decimal, null without a value).
std::string StatePayload(const drying_log::Row& row, std::string_view name, const quantities::Moisture& moisture = {});
// The messages of one scan of `chamber`: the retained state, then its
// availability online. A failed scan gives only availability offline, so the
// broker keeps the last good state.
std::vector<Message> ScanMessages(std::string_view prefix, const plant::Chamber& chamber, const drying_log::Row& row,
                                  const quantities::Moisture& moisture = {});

// The chamber a retained topic of serve's under `prefix` is about (its state,
// availability or alarms, as written above), else nullopt.
std::optional<int> ChamberOfTopic(std::string_view prefix, std::string_view topic);
// What takes a chamber no longer listed off the broker: its availability
// offline for whoever watches, then its state, availability and alarms no
// longer retained (an empty retained payload) and, with discovery, its configs
// emptied, which takes its device out of Home Assistant.
std::vector<Message> UnlistedChamberMessages(std::string_view prefix, int address,
                                             std::optional<std::string_view> discoveryPrefix);

// One event on the chamber's alarm topic, not retained: it happened once.
Message AlarmEventMessage(std::string_view prefix, const plant::AlarmEvent& event);
// The active alarms of chamber `address` on the monitor's list (others, and
// cleared ones awaiting acknowledgement, are skipped), as a retained JSON
// array; [] when it has none.
Message ChamberAlarmsMessage(std::string_view prefix, int address, const std::vector<plant::Alarm>& alarms);

// Home Assistant's MQTT discovery.
inline constexpr std::string_view kDiscoveryPrefix = "homeassistant";
// Home Assistant announces itself here after a start; the configs go out again then.
std::string HomeAssistantStatusTopic(std::string_view discoveryPrefix = kDiscoveryPrefix);
inline constexpr std::string_view kHomeAssistantOnline = "online";
// `text` with every character outside [a-zA-Z0-9_-] as '_': a discovery topic's ids allow no other.
std::string DiscoveryId(std::string_view text);
// The retained config of every entity of `chamber`: one device per chamber
// with its sensors and binary sensors.
std::vector<Message> DiscoveryMessages(std::string_view prefix, const plant::Chamber& chamber,
                                       std::string_view discoveryPrefix = kDiscoveryPrefix);
// The topics of those configs.
std::vector<std::string> DiscoveryTopics(std::string_view prefix, int address,
                                         std::string_view discoveryPrefix = kDiscoveryPrefix);

// The size of the longest topic published under these prefixes (chamber
// 250's: the most digits), to be held to kMaxTopicBytes.
std::size_t LongestTopicSize(std::string_view prefix, std::optional<std::string_view> discoveryPrefix);

} // namespace torv::telemetry
