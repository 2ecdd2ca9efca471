#include "telemetry/mqtt_client.h"

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <utility>

namespace torv::telemetry {

std::optional<BrokerUrl> ParseBrokerUrl(std::string_view text, std::string& error)
{
    BrokerUrl url;
    constexpr std::string_view plain = "mqtt://", secure = "mqtts://";
    if (text.starts_with(plain)) {
        text.remove_prefix(plain.size());
    } else if (text.starts_with(secure)) {
        text.remove_prefix(secure.size());
        url.tls = true;
        url.port = 8883;
    } else {
        error = "the broker's address starts with mqtt:// or mqtts://";
        return std::nullopt;
    }
    if (!text.empty() && text.back() == '/')
        text.remove_suffix(1);
    if (const std::size_t at = text.rfind('@'); at != std::string_view::npos) {
        const std::string_view user = text.substr(0, at);
        if (user.find(':') != std::string_view::npos) {
            error = "no password in the broker's address: give it in a file (--mqtt-password-file)";
            return std::nullopt;
        }
        if (user.empty()) {
            error = "the user before '@' is empty";
            return std::nullopt;
        }
        url.user = std::string(user);
        text.remove_prefix(at + 1);
    }
    // HOST, HOST:PORT, [IPv6] or [IPv6]:PORT.
    std::string_view host = text, port;
    if (text.starts_with('[')) {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos) {
            error = "the broker's IPv6 address lacks its ']'";
            return std::nullopt;
        }
        host = text.substr(1, close - 1);
        const std::string_view rest = text.substr(close + 1);
        if (!rest.empty() && !rest.starts_with(':')) {
            error = "the broker's address has text after ']'";
            return std::nullopt;
        }
        if (!rest.empty())
            port = rest.substr(1);
    } else if (const std::size_t colon = text.find(':'); colon != std::string_view::npos) {
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
        if (port.empty()) {
            error = "the broker's port is empty";
            return std::nullopt;
        }
    }
    if (host.empty() || host.find_first_of("/?#") != std::string_view::npos) {
        error = "the broker's address names no host";
        return std::nullopt;
    }
    url.host = std::string(host);
    if (!port.empty()) {
        int value = 0;
        for (const char c : port) {
            if (c < '0' || c > '9' || value > 65535) {
                value = 0;
                break;
            }
            value = value * 10 + (c - '0');
        }
        if (value < 1 || value > 65535) {
            error = "the broker's port is not 1..65535";
            return std::nullopt;
        }
        url.port = value;
    }
    return url;
}

namespace {

// The code point of the UTF-8 sequence at the start of `s` and its length;
// length 0 when it is not one (cut short, overlong, a surrogate, past U+10FFFF).
std::pair<char32_t, std::size_t> DecodeUtf8(std::string_view s)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned lead = byte(0);
    if (lead < 0x80)
        return {lead, 1};
    std::size_t length = 0;
    unsigned low = 0x80, high = 0xBF; // the second byte's bounds
    char32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    }
    if (length == 0 || s.size() < length || byte(1) < low || byte(1) > high)
        return {0, 0};
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return {0, 0};
        code = (code << 6) | (byte(i) & 0x3F);
    }
    return {code, length};
}

// What the broker refuses in a topic's text: C0, DEL and C1 controls, and
// the noncharacters.
bool RefusedCodePoint(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE;
}

std::string PrefixProblem(std::string_view prefix)
{
    if (prefix.empty() || prefix.front() == '/' || prefix.back() == '/' || prefix.find("//") != std::string_view::npos)
        return "no empty level (nothing between two '/', none at either end)";
    if (prefix.find_first_of("+#") != std::string_view::npos)
        return "no wildcard ('+' or '#')";
    if (prefix.front() == '$')
        return "no '$' at the start (the broker's own topics)";
    if (prefix.size() > kMaxTopicBytes)
        return "at most " + std::to_string(kMaxTopicBytes) + " bytes";
    for (std::string_view rest = prefix; !rest.empty();) {
        const auto [code, length] = DecodeUtf8(rest);
        if (length == 0)
            return "UTF-8 text only";
        if (RefusedCodePoint(code))
            return "no control character or noncharacter";
        rest.remove_prefix(length);
    }
    return {};
}

} // namespace

bool ValidTopicPrefix(std::string_view prefix, std::string* why)
{
    const std::string problem = PrefixProblem(prefix);
    if (why)
        *why = problem;
    return problem.empty();
}

std::string PasswordOfFile(std::string_view contents)
{
    if (contents.starts_with("\xEF\xBB\xBF"))
        contents.remove_prefix(3);
    std::string_view line = contents.substr(0, contents.find('\n'));
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return std::string(line);
}

namespace {

constexpr int kKeepAliveSeconds = 30;
// A connection not accepted by then is given up and tried again.
constexpr auto kConnectTimeout = std::chrono::seconds(20);
constexpr auto kFirstRetry = std::chrono::seconds(1);
constexpr auto kLongestRetry = std::chrono::seconds(16);
// Alarm events held for a broker that is away; the oldest go first.
constexpr std::size_t kHeldEvents = 1000;
// After connecting, the retained chamber topics under the prefix are read to
// find chambers no longer listed: the broker sends them right after the
// subscription's acknowledgement, so a pause without one ends the reading,
// and a broker that keeps sending is cut short.
constexpr auto kSweepQuiet = std::chrono::milliseconds(500);
constexpr auto kSweepLongest = std::chrono::seconds(10);
// Messages the broker has not acknowledged: more, and it is taken as stuck
// and the connection is made anew (the current state goes out again then).
constexpr std::size_t kUnacknowledged = 2000;

void InitialiseLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

struct HeldEvent {
    Message message;
    int mid = 0; // on the current connection; 0: not sent on it
};

} // namespace

struct MqttPublisher::State {
    MqttSettings settings;
    Report report;
    std::string address; // HOST:PORT, for the reports

    // What the callbacks saw, for the network thread to act on. The callbacks
    // take only this lock and call nothing of the library, so no lock order
    // can tangle with the library's own.
    struct Seen {
        std::optional<int> connack;
        std::vector<int> acknowledged;
        bool homeAssistantOnline = false;
        std::vector<std::pair<int, bool>> subscribed; // mid, granted
        std::set<int> retainedChambers;
    };
    std::mutex seenMutex;
    Seen seen;

    // Everything below under `mutex`; the library may be called holding it.
    mutable std::mutex mutex;
    std::condition_variable changed;
    mosquitto* client = nullptr; // made and destroyed by the network thread
    bool up = false;             // the broker accepted the connection
    bool stopping = false;
    bool stopped = false;
    int connections = 0;
    std::vector<Message> discovery;
    std::map<std::string, Message> retained;
    std::deque<HeldEvent> events;
    bool eventsDropped = false;
    std::set<int> unacknowledged;
    int offlineMid = 0;
    bool offlineAcknowledged = false;
    // Reading the retained chamber topics on this connection.
    struct Sweep {
        bool active = false;
        int mid = 0;
        bool subscribed = false;
        std::chrono::steady_clock::time_point started, quietSince;
        std::set<int> found;
    };
    Sweep sweep;

    std::thread thread;

    void run();
    mosquitto* newClient();
    int send(const Message& m);
    void sendAllLocked();
    void acknowledgedLocked(int mid);
    std::string sweepTopic() const { return settings.prefix + "/+/+"; }
    void startSweepLocked();
    void continueSweepLocked(const Seen& now);

    static State* of(void* user) { return static_cast<State*>(user); }
    static void onConnect(mosquitto*, void* user, int rc)
    {
        State* s = of(user);
        std::lock_guard lock(s->seenMutex);
        s->seen.connack = rc;
    }
    static void onPublish(mosquitto*, void* user, int mid)
    {
        State* s = of(user);
        std::lock_guard lock(s->seenMutex);
        s->seen.acknowledged.push_back(mid);
    }
    static void onSubscribe(mosquitto*, void* user, int mid, int count, const int* granted)
    {
        State* s = of(user);
        std::lock_guard lock(s->seenMutex);
        s->seen.subscribed.emplace_back(mid, count > 0 && granted[0] <= 2);
    }
    static void onMessage(mosquitto*, void* user, const mosquitto_message* m)
    {
        State* s = of(user);
        if (!m->topic)
            return;
        if (m->retain && s->settings.chambers) {
            if (const std::optional<int> address = ChamberOfTopic(s->settings.prefix, m->topic)) {
                std::lock_guard lock(s->seenMutex);
                s->seen.retainedChambers.insert(*address);
                return;
            }
        }
        if (!s->settings.discoveryPrefix || m->topic != HomeAssistantStatusTopic(*s->settings.discoveryPrefix))
            return;
        const std::string_view payload(static_cast<const char*>(m->payload), static_cast<std::size_t>(m->payloadlen));
        if (payload != kHomeAssistantOnline)
            return;
        std::lock_guard lock(s->seenMutex);
        s->seen.homeAssistantOnline = true;
    }
};

mosquitto* MqttPublisher::State::newClient()
{
    mosquitto* c = mosquitto_new(nullptr, true, this);
    if (!c)
        throw std::runtime_error("mqtt: no memory for a client");
    mosquitto_threaded_set(c, true);
    mosquitto_connect_callback_set(c, &State::onConnect);
    mosquitto_publish_callback_set(c, &State::onPublish);
    mosquitto_message_callback_set(c, &State::onMessage);
    mosquitto_subscribe_callback_set(c, &State::onSubscribe);
    const Message will = ServiceStatus(settings.prefix, false);
    mosquitto_will_set(c, will.topic.c_str(), static_cast<int>(will.payload.size()), will.payload.data(), will.qos,
                       will.retained);
    if (!settings.broker.user.empty())
        mosquitto_username_pw_set(c, settings.broker.user.c_str(),
                                  settings.password ? settings.password->c_str() : nullptr);
    if (settings.broker.tls) {
        int rc = MOSQ_ERR_SUCCESS;
        if (settings.caFile.empty())
            rc = mosquitto_int_option(c, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        else
            rc = mosquitto_tls_set(c, settings.caFile.c_str(), nullptr, nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            mosquitto_destroy(c);
            throw std::runtime_error(settings.caFile.empty() ? std::string("mqtt: the system's authorities cannot be used")
                                                             : settings.caFile + ": not a certificate file to read");
        }
    }
    return c;
}

int MqttPublisher::State::send(const Message& m)
{
    int mid = 0;
    const int rc = mosquitto_publish(client, &mid, m.topic.c_str(), static_cast<int>(m.payload.size()),
                                     m.payload.data(), m.qos, m.retained);
    if (rc != MOSQ_ERR_SUCCESS)
        return 0; // the connection is going; the next one sends it again
    if (m.qos > 0)
        unacknowledged.insert(mid);
    return mid;
}

// A new connection: the status, the configs, the latest retained state, then
// the events still held, in the order they came.
void MqttPublisher::State::sendAllLocked()
{
    send(ServiceStatus(settings.prefix, true));
    if (settings.discoveryPrefix)
        mosquitto_subscribe(client, nullptr, HomeAssistantStatusTopic(*settings.discoveryPrefix).c_str(), 0);
    for (const Message& m : discovery)
        send(m);
    for (const auto& [topic, m] : retained)
        send(m);
    for (HeldEvent& e : events)
        e.mid = send(e.message);
    startSweepLocked();
}

// Chambers no longer listed are found by what the broker holds for them, on
// every connection: it is the truth about what was published before, and a
// clearing the last connection did not finish is done on the next.
void MqttPublisher::State::startSweepLocked()
{
    sweep = {};
    if (!settings.chambers)
        return;
    if (mosquitto_subscribe(client, &sweep.mid, sweepTopic().c_str(), 0) != MOSQ_ERR_SUCCESS)
        return; // the connection is going; the next one reads them
    sweep.active = true;
    sweep.started = sweep.quietSince = std::chrono::steady_clock::now();
}

void MqttPublisher::State::continueSweepLocked(const Seen& now)
{
    const auto t = std::chrono::steady_clock::now();
    if (!now.retainedChambers.empty()) {
        sweep.found.insert(now.retainedChambers.begin(), now.retainedChambers.end());
        sweep.quietSince = t;
    }
    for (const auto& [mid, granted] : now.subscribed) {
        if (mid != sweep.mid)
            continue;
        if (!granted)
            report("mqtt: the broker does not let " + sweepTopic() +
                   " be read: chambers no longer listed are not taken off it");
        sweep.subscribed = true;
        sweep.quietSince = t;
    }
    if (!(sweep.subscribed && t - sweep.quietSince >= kSweepQuiet) && t - sweep.started < kSweepLongest)
        return;
    const std::vector<int>& listed = *settings.chambers;
    for (const int address : sweep.found) {
        if (std::find(listed.begin(), listed.end(), address) != listed.end())
            continue;
        const std::optional<std::string_view> discoveryPrefix =
            settings.discoveryPrefix ? std::optional<std::string_view>(*settings.discoveryPrefix) : std::nullopt;
        for (const Message& m : UnlistedChamberMessages(settings.prefix, address, discoveryPrefix))
            send(m);
        report("mqtt: chamber " + std::to_string(address) + " is no longer listed: taken off the broker");
    }
    mosquitto_unsubscribe(client, nullptr, sweepTopic().c_str());
    sweep.active = false;
    changed.notify_all();
}

void MqttPublisher::State::acknowledgedLocked(int mid)
{
    unacknowledged.erase(mid);
    std::erase_if(events, [mid](const HeldEvent& e) { return e.mid == mid; });
    if (mid == offlineMid && mid != 0) {
        offlineAcknowledged = true;
        changed.notify_all();
    }
}

void MqttPublisher::State::run()
{
    auto retry = kFirstRetry;
    bool toldDown = false;
    const auto down = [&](const std::string& why) {
        if (!toldDown)
            report("mqtt: " + address + ": " + why + "; trying again");
        toldDown = true;
    };
    for (;;) {
        {
            std::lock_guard lock(mutex);
            if (stopping)
                break;
            client = newClient();
        }
        // Name resolution may take a while: here, not on the bus.
        int rc = mosquitto_connect_async(client, settings.broker.host.c_str(), settings.broker.port, kKeepAliveSeconds);
        if (rc != MOSQ_ERR_SUCCESS) {
            down(rc == MOSQ_ERR_ERRNO ? std::string(std::strerror(errno)) : std::string(mosquitto_strerror(rc)));
        } else {
            const auto attempt = std::chrono::steady_clock::now();
            auto flushUntil = std::chrono::steady_clock::time_point::max();
            for (;;) {
                rc = mosquitto_loop(client, 250, 1);
                State::Seen now;
                {
                    std::lock_guard lock(seenMutex);
                    std::swap(now, seen);
                }
                std::unique_lock lock(mutex);
                for (const int mid : now.acknowledged)
                    acknowledgedLocked(mid);
                if (now.connack && *now.connack != 0) {
                    down(std::string("the broker refused the connection: ") + mosquitto_connack_string(*now.connack));
                    break;
                }
                if (now.connack && !stopping) {
                    up = true;
                    ++connections;
                    retry = kFirstRetry;
                    toldDown = false;
                    report("mqtt: connected to " + address);
                    sendAllLocked();
                }
                if (sweep.active && up && !stopping)
                    continueSweepLocked(now);
                if (now.homeAssistantOnline && up && !stopping) {
                    for (const Message& m : discovery)
                        send(m);
                    for (const auto& [topic, m] : retained)
                        send(m);
                }
                if (rc != MOSQ_ERR_SUCCESS) {
                    if (!stopping)
                        down(up ? std::string("connection lost")
                                : rc == MOSQ_ERR_ERRNO ? std::string(std::strerror(errno))
                                                       : std::string(mosquitto_strerror(rc)));
                    break;
                }
                const auto t = std::chrono::steady_clock::now();
                if (stopping) {
                    // stop() has sent its disconnect when it had a connection: give it a moment to go out.
                    if (!up)
                        break;
                    if (flushUntil == std::chrono::steady_clock::time_point::max())
                        flushUntil = t + std::chrono::seconds(1);
                    if (t > flushUntil)
                        break;
                } else if (!up && t - attempt > kConnectTimeout) {
                    down("no answer");
                    break;
                } else if (unacknowledged.size() > kUnacknowledged) {
                    down("the broker acknowledges nothing");
                    break;
                }
            }
        }
        std::unique_lock lock(mutex);
        up = false;
        unacknowledged.clear();
        for (HeldEvent& e : events)
            e.mid = 0;
        mosquitto_destroy(client);
        client = nullptr;
        changed.notify_all();
        if (stopping)
            break;
        changed.wait_for(lock, retry, [this] { return stopping; });
        retry = std::min(retry * 2, kLongestRetry);
    }
}

MqttPublisher::MqttPublisher(MqttSettings settings, Report report) : state_(std::make_unique<State>())
{
    InitialiseLibrary();
    state_->settings = std::move(settings);
    state_->report = std::move(report);
    const BrokerUrl& b = state_->settings.broker;
    state_->address = (b.host.find(':') != std::string::npos ? "[" + b.host + "]" : b.host) + ":" + std::to_string(b.port);
    // A client made and put away at once: a CA file that cannot be used is
    // a mistake to tell now, not at every try.
    mosquitto_destroy(state_->newClient());
    state_->thread = std::thread([s = state_.get()] { s->run(); });
}

MqttPublisher::~MqttPublisher() { stop(); }

void MqttPublisher::setDiscovery(std::vector<Message> configs)
{
    std::lock_guard lock(state_->mutex);
    state_->discovery = std::move(configs);
    if (state_->up)
        for (const Message& m : state_->discovery)
            state_->send(m);
}

void MqttPublisher::publish(const Message& message)
{
    State& s = *state_;
    std::lock_guard lock(s.mutex);
    if (s.stopping)
        return;
    if (message.retained) {
        s.retained[message.topic] = message;
        if (s.up)
            s.send(message);
        return;
    }
    if (message.qos == 0) {
        if (s.up)
            s.send(message);
        return;
    }
    if (s.events.size() >= kHeldEvents) {
        s.events.pop_front();
        if (!s.eventsDropped)
            s.report("mqtt: the broker has been away long: the oldest alarm events are not kept");
        s.eventsDropped = true;
    }
    s.events.push_back({message, 0});
    if (s.up)
        s.events.back().mid = s.send(message);
}

void MqttPublisher::stop(std::chrono::milliseconds wait)
{
    State& s = *state_;
    {
        std::unique_lock lock(s.mutex);
        if (s.stopped)
            return;
        s.stopped = true;
        // Chambers no longer listed are taken off the broker before the goodbye.
        s.changed.wait_for(lock, kSweepLongest, [&s] { return !s.sweep.active || !s.up; });
        if (s.up) {
            // Said by the service itself: the will is only for a crash or a lost connection.
            s.offlineMid = s.send(ServiceStatus(s.settings.prefix, false));
            s.changed.wait_for(lock, wait, [&s] { return s.offlineAcknowledged || !s.up; });
            if (s.up)
                mosquitto_disconnect(s.client);
        }
        s.stopping = true;
        s.changed.notify_all();
    }
    if (s.thread.joinable())
        s.thread.join();
}

int MqttPublisher::connections() const
{
    std::lock_guard lock(state_->mutex);
    return state_->connections;
}

bool MqttPublisher::connected() const
{
    std::lock_guard lock(state_->mutex);
    return state_->up;
}

} // namespace torv::telemetry
