// serve's place on the command line: its synopsis lines and its options.
#include "cli/serve_options.h"

#include "cli/option_parser.h"
#include "telemetry/mqtt_client.h"
#include "telemetry/mqtt_messages.h"

namespace torv::cli {

const char* const kServeSynopsis =
    "  serve [--chambers FILE | ADDRESS...] [--every S] [--count N] [--dir DIR]\n"
    "        [--mqtt URL] [--mqtt-password-file FILE] [--mqtt-cafile FILE] [--mqtt-prefix PREFIX]\n"
    "        [--ha-discovery [PREFIX]] [--metrics [HOST:]PORT]\n"
    "                                         the plant's rounds: drying log, alarms and alarm log,\n"
    "                                         published to an MQTT broker and a Prometheus endpoint\n";

namespace {

using Problem = std::optional<std::string>;

// Empty when `prefix` is fit to publish under, else what it lacks. Bytes that
// were not UTF-8 reach us as U+FFFD: refused, rather than publishing under
// another prefix than the one given.
std::string PrefixProblem(const QString& prefix)
{
    if (prefix.contains(QChar::ReplacementCharacter))
        return "UTF-8 text only";
    std::string why;
    telemetry::ValidTopicPrefix(prefix.toStdString(), &why);
    return why;
}

// The broker's options: each of the others needs --mqtt, and each must fit it.
std::optional<std::string> ParseMqtt(const Parser& p, const std::optional<std::string>& discoveryPrefix, Options& o)
{
    const auto given = [&p](const QCommandLineOption& option, std::string& value) {
        value = p.parser.value(option).toStdString();
        return p.parser.isSet(option);
    };
    if (!p.parser.isSet(p.mqtt)) {
        for (const QCommandLineOption* o : {&p.mqttPasswordFile, &p.mqttCaFile, &p.mqttPrefix, &p.haDiscovery})
            if (p.parser.isSet(*o))
                return "--" + o->names().constFirst().toStdString() + " needs --mqtt";
        return std::nullopt;
    }
    std::string error;
    o.mqtt = telemetry::ParseBrokerUrl(p.parser.value(p.mqtt).toStdString(), error);
    if (!o.mqtt)
        return "--mqtt: " + error;
    if (given(p.mqttPasswordFile, o.mqttPasswordFile)) {
        if (o.mqttPasswordFile.empty())
            return std::string("--mqtt-password-file is empty");
        if (o.mqtt->user.empty())
            return std::string("--mqtt-password-file needs a user: mqtt://USER@HOST");
    }
    if (given(p.mqttCaFile, o.mqttCaFile)) {
        if (o.mqttCaFile.empty())
            return std::string("--mqtt-cafile is empty");
        if (!o.mqtt->tls)
            return std::string("--mqtt-cafile is for an mqtts:// broker");
    }
    if (given(p.mqttPrefix, o.mqttPrefix))
        if (const std::string why = PrefixProblem(p.parser.value(p.mqttPrefix)); !why.empty())
            return "--mqtt-prefix takes topic levels: " + why;
    if (p.parser.isSet(p.haDiscovery)) {
        o.haDiscovery = discoveryPrefix.value_or(std::string(telemetry::kDiscoveryPrefix));
        if (const std::string why = PrefixProblem(QString::fromStdString(*o.haDiscovery)); !why.empty())
            return "--ha-discovery takes topic levels: " + why;
    }
    // Unless given, the prefix is torv/ and the host name, which has at most 255 bytes.
    const std::string prefix = o.mqttPrefix.empty() ? telemetry::DefaultPrefix(std::string(255, 'h')) : o.mqttPrefix;
    if (telemetry::LongestTopicSize(prefix, o.haDiscovery) > telemetry::kMaxTopicBytes)
        return "--mqtt-prefix and --ha-discovery are too long: a topic under them would pass " +
               std::to_string(telemetry::kMaxTopicBytes) + " bytes";
    return std::nullopt;
}

// PORT, HOST:PORT or [IPv6]:PORT; the loopback unless a host is chosen.
Problem ParseMetrics(const Parser& p, Options& o)
{
    if (!p.parser.isSet(p.metrics))
        return std::nullopt;
    const QString value = p.parser.value(p.metrics);
    const qsizetype colon = value.lastIndexOf(':');
    QString host = colon < 0 ? QString() : value.left(colon);
    if (host.startsWith('[') && host.endsWith(']'))
        host = host.mid(1, host.size() - 2);
    const std::optional<unsigned> port = WholeNumber(value.mid(colon + 1), 1, 65535);
    if (!port || (colon >= 0 && host.isEmpty()))
        return std::string("--metrics takes [HOST:]PORT, PORT 1..65535");
    if (!host.isEmpty())
        o.metricsHost = host.toStdString();
    o.metricsPort = static_cast<int>(*port);
    return std::nullopt;
}

} // namespace

// serve's chambers (from a list file or the addresses), its endpoint and its broker.
Problem ParseServe(const Parser& p, const std::optional<std::string>& discoveryPrefix, Options& o)
{
    o.chambersFile = p.parser.value(p.chambers).toStdString();
    if (p.parser.isSet(p.chambers) == !o.addresses.empty())
        return std::string("serve takes --chambers FILE or addresses, one of them");
    if (p.parser.isSet(p.chambers) && o.chambersFile.empty())
        return std::string("--chambers is empty");
    if (Problem error = ParseMetrics(p, o))
        return error;
    if (Problem error = ParseMqtt(p, discoveryPrefix, o))
        return error;
    for (const std::uint8_t a : o.addresses) {
        if (plant::FindChamber(o.chambers, a) != nullptr)
            return "serve: address " + std::to_string(a) + " given twice";
        o.chambers.chambers.push_back({a, plant::DefaultChamberName(a)});
    }
    return std::nullopt;
}


} // namespace torv::cli
