#pragma once
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "telemetry/mqtt_messages.h"

namespace torv::telemetry {

// Where the broker is: mqtt://[USER@]HOST[:PORT] (1883) or mqtts://… (8883).
struct BrokerUrl {
    bool tls = false;
    std::string user; // empty: anonymous
    std::string host;
    int port = 1883;
    bool operator==(const BrokerUrl&) const = default;
};
// nullopt with `error` set when `text` is not such an address. A password in
// the address is refused: it belongs in a file, where `ps` cannot show it.
std::optional<BrokerUrl> ParseBrokerUrl(std::string_view text, std::string& error);
// True when `prefix` can stand before a topic's levels and the broker takes
// it: not empty, no wildcard, no empty level, no leading or trailing '/', not
// under '$' (the broker's own topics), UTF-8 without control characters or
// noncharacters, no longer than a topic. Else false, and `why` (when given)
// says what is wrong. The levels added after it are LongestTopicSize's.
bool ValidTopicPrefix(std::string_view prefix, std::string* why = nullptr);

// The password a password file holds: its first line, without the line end
// or a byte order mark some editors put before it.
std::string PasswordOfFile(std::string_view contents);

struct MqttSettings {
    BrokerUrl broker;
    std::optional<std::string> password; // with broker.user
    std::string caFile;                  // mqtts: the authority to trust; empty: the system's
    std::string prefix;                  // PREFIX of every topic
    std::optional<std::string> discoveryPrefix; // set: Home Assistant discovery
    // Set: the chambers served. Those of others found retained under the
    // prefix on connecting are taken off the broker (UnlistedChamberMessages).
    std::optional<std::vector<int>> chambers;
};

// The plant on an MQTT broker, published from a network thread of its own:
// publish() only hands a message over, so the bus never waits for the
// broker. The connection comes and goes with the broker; each time it comes
// the service's status, the discovery configs and the latest of every
// retained message are sent again, and alarm events not yet acknowledged
// follow. Nothing received is acted on except Home Assistant's "online", which
// sends the configs again: no message from the broker reaches the line.
class MqttPublisher {
public:
    using Report = std::function<void(const std::string&)>;
    // Throws std::runtime_error when the client cannot be set up (a CA file
    // that cannot be read). Connecting starts at once, in the background.
    MqttPublisher(MqttSettings settings, Report report);
    // stop() when not done yet: every way out of a run says goodbye.
    ~MqttPublisher();
    MqttPublisher(const MqttPublisher&) = delete;
    MqttPublisher& operator=(const MqttPublisher&) = delete;

    // The discovery configs, sent on every connection and on Home Assistant's "online".
    void setDiscovery(std::vector<Message> configs);
    // Retained messages: kept (the latest per topic) and sent when connected.
    // Others (alarm events): sent when connected, else held until the next
    // connection; QoS 1 ones are held until the broker acknowledges them.
    void publish(const Message& message);
    // Publishes the service's offline status when connected, waits for it to
    // be acknowledged at most `wait`, disconnects and ends the network thread.
    void stop(std::chrono::milliseconds wait = std::chrono::seconds(2));

    // Connections made so far, and whether one is up now.
    int connections() const;
    bool connected() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace torv::telemetry
