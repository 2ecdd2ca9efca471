// torv-cli without a line: the command line each command takes, the port
// names, read's JSON against the parameter set format and the drying log,
// and the stop signals held for the checks between transactions.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <csignal>
#include <regex>

#include "cli/options.h"
#include "cli/report.h"
#include "cli/stop.h"
#include "sim/controller.h"

namespace {

using namespace torv;
using namespace torv::cli;
using Outcome = CommandLine::Outcome;

CommandLine Parse(std::initializer_list<const char*> args)
{
    QStringList list{"torv-cli"};
    for (const char* a : args)
        list << QString::fromUtf8(a);
    return ParseCommandLine(list);
}

TEST(CliCommandLine, EachCommandTakesItsArgumentsAndOptions)
{
    const struct {
        std::initializer_list<const char*> args;
        std::string command;
        std::vector<std::uint8_t> addresses;
        std::string file;
    } accepted[] = {
        {{"read", "5", "--json"}, "read", {5}, ""},
        {{"--json", "bustest"}, "bustest", {}, ""},
        {{"backup", "250", "set.json"}, "backup", {250}, "set.json"},
        {{"restore", "set.json", "2", "3", "8"}, "restore", {2, 3, 8}, "set.json"},
        {{"log", "1", "2", "--every", "5", "--count", "3", "--dir", "d"}, "log", {1, 2}, ""},
        {{"serve", "3", "7", "--metrics", "9100"}, "serve", {3, 7}, ""},
        {{"serve", "--chambers", "komory.json", "--every", "30"}, "serve", {}, ""},
        {{"report", "7", "--out", "r.pdf"}, "report", {7}, ""},
        {{"report", "7", "--from", "2026-12-08T05:43:17+01:00", "--to", "2026-12-09T00:00:00+01:00", "--out", "r.pdf"},
         "report", {7}, ""},
    };
    for (const auto& c : accepted) {
        const CommandLine line = Parse(c.args);
        ASSERT_EQ(line.outcome, Outcome::Run) << c.command << ": " << line.error;
        EXPECT_EQ(line.options.command, c.command);
        EXPECT_EQ(line.options.addresses, c.addresses) << c.command;
        EXPECT_EQ(line.options.file, c.file) << c.command;
    }
    const Options log = Parse({"log", "1", "--every", "5", "--count", "3", "--dir", "d"}).options;
    EXPECT_EQ(std::tie(log.everySeconds, log.rounds, log.dir), std::make_tuple(5u, std::optional<unsigned>(3), std::string("d")));
    const Options plain = Parse({"log", "1"}).options;
    EXPECT_EQ(std::tie(plain.everySeconds, plain.rounds, plain.dir), std::make_tuple(10u, std::optional<unsigned>(), std::string("pomiary")));
    EXPECT_FALSE(plain.port || plain.baudIndex || plain.parityIndex) << "left to the settings file";
    EXPECT_EQ(plain.replyRule, torv::ReplyRule::Quiet) << "the window's rule unless another is chosen";
    EXPECT_EQ(Parse({"--reply", "frame", "serve", "3"}).options.replyRule, torv::ReplyRule::Frame);
    EXPECT_EQ(Parse({"restore", "s.json", "2", "--reply", "quiet"}).options.replyRule, torv::ReplyRule::Quiet);
    const Options line = Parse({"--port", "/dev/ttyUSB1", "--baud", "4800", "--parity", "even", "read", "1"}).options;
    EXPECT_EQ(std::tie(line.port, line.baudIndex, line.parityIndex),
              std::make_tuple(std::optional<std::string>("/dev/ttyUSB1"), std::optional<std::uint8_t>(2), std::optional<std::uint8_t>(1)));
    EXPECT_EQ(Parse({"--help"}).outcome, Outcome::Help);
    EXPECT_EQ(Parse({"-v"}).outcome, Outcome::Version);
    // Asked for, help or the version is the answer, whatever else is on the line.
    EXPECT_EQ(Parse({"-v", "--help"}).outcome, Outcome::Help);
    EXPECT_EQ(Parse({"--version", "erase", "--baud", "1"}).outcome, Outcome::Version);
    EXPECT_EQ(Parse({"bustest", "7", "-h"}).outcome, Outcome::Help);
    // The scrape endpoint stays on the loopback unless a host is chosen.
    for (const auto& [value, host, port] : {std::tuple{"9100", "127.0.0.1", 9100}, std::tuple{"0.0.0.0:1", "0.0.0.0", 1},
                                            std::tuple{"[::1]:65535", "::1", 65535}}) {
        const Options serve = Parse({"serve", "1", "--metrics", value}).options;
        EXPECT_EQ(std::tie(serve.metricsHost, serve.metricsPort), std::make_tuple(std::string(host), port)) << value;
    }
    const Options named = Parse({"serve", "3", "5"}).options;
    ASSERT_EQ(named.chambers.chambers.size(), 2u);
    EXPECT_EQ(named.chambers.chambers[1].name, "Komora 5");
    EXPECT_EQ(named.metricsPort, 0) << "no endpoint unless asked";
    EXPECT_FALSE(named.mqtt || named.haDiscovery) << "no broker unless asked";
    // The discovery prefix is optional: a word after the option is it, an address is not.
    const auto discovery = [](std::initializer_list<const char*> args, const char* prefix, std::uint8_t address) {
        const CommandLine c = Parse(args);
        ASSERT_EQ(c.outcome, Outcome::Run) << c.error;
        EXPECT_EQ(c.options.haDiscovery, std::optional<std::string>(prefix));
        EXPECT_EQ(c.options.addresses, std::vector<std::uint8_t>{address});
    };
    discovery({"serve", "--mqtt", "mqtt://b", "--ha-discovery", "3"}, "homeassistant", 3);
    discovery({"serve", "3", "--mqtt", "mqtt://b", "--ha-discovery", "ha2"}, "ha2", 3);
    discovery({"serve", "--ha-discovery=x/y", "--mqtt", "mqtt://b", "4"}, "x/y", 4);
    // A command's name after it is the command, not a prefix.
    discovery({"--mqtt", "mqtt://b", "--ha-discovery", "serve", "5"}, "homeassistant", 5);
    discovery({"--ha-discovery", "serve", "--mqtt", "mqtt://b", "6"}, "homeassistant", 6);
    const Options mqtt = Parse({"serve", "3", "--mqtt", "mqtts://torv@b:8884", "--mqtt-password-file", "pw",
                                "--mqtt-cafile", "ca.crt", "--mqtt-prefix", "plant/line1"}).options;
    ASSERT_TRUE(mqtt.mqtt);
    EXPECT_EQ(*mqtt.mqtt, (telemetry::BrokerUrl{true, "torv", "b", 8884}));
    EXPECT_EQ(std::tie(mqtt.mqttPasswordFile, mqtt.mqttCaFile, mqtt.mqttPrefix),
              std::make_tuple(std::string("pw"), std::string("ca.crt"), std::string("plant/line1")));
}

TEST(CliCommandLine, RefusalsSayWhatIsWrong)
{
    static const std::string kNearlyLongest(telemetry::kMaxTopicBytes - 10, 'x'), kHalf(telemetry::kMaxTopicBytes / 2, 'x');
    const struct {
        std::initializer_list<const char*> args;
        std::string says;
    } refused[] = {
        {{"--ha-discovery", "read", "1"}, "read takes no --ha-discovery"},
        {{"erase", "1"}, "unknown command"},
        {{"read"}, "too few"},
        {{"bustest", "3"}, "too many"},
        {{"read", "0"}, "not a controller address"},
        {{"restore", "set.json", "2", "251"}, "not a controller address"},
        {{"read", "1", "--count", "2"}, "read takes no --count"},
        {{"backup", "1", "f.json", "--json"}, "backup takes no --json"},
        {{"log", "1", "--every", "0"}, "--every"},
        {{"log", "1", "--count", "0"}, "--count"},
        {{"--baud", "115200", "read", "1"}, "--baud"},
        {{"--parity", "mark", "read", "1"}, "--parity"},
        {{"--reply", "fast", "read", "1"}, "--reply takes quiet or frame"},
        {{"--port", "tcp://10.0.0.5", "read", "1"}, "no port"},
        {{"--port", "tcp://10.0.0.5:0", "read", "1"}, "port \"0\" is not 1..65535"},
        {{"--port", "rfc2217://gw:65536", "bustest"}, "is not 1..65535"},
        {{"--port", "udp://gw:4001", "read", "1"}, "unknown scheme \"udp\""},
        {{"--port", "tcp://op:secret@gw:4001", "read", "1"}, "user or password"},
        {{"--port", "tcp://gw:4001/line1", "log", "1"}, "a path"},
        {{"--port", "tcp://fe80::1:4001", "read", "1"}, "in brackets"},
        {{"--bogus", "read", "1"}, "bogus"},
        {{"serve"}, "--chambers FILE or addresses"},
        {{"serve", "--chambers", "k.json", "3"}, "--chambers FILE or addresses"},
        {{"serve", "3", "3"}, "given twice"},
        {{"serve", "3", "--metrics", "65536"}, "--metrics"},
        {{"serve", "3", "--metrics", ":9100"}, "--metrics"},
        {{"log", "3", "--metrics", "9100"}, "log takes no --metrics"},
        {{"serve", "3", "--ha-discovery"}, "--ha-discovery needs --mqtt"},
        {{"serve", "3", "--mqtt-prefix", "p"}, "--mqtt-prefix needs --mqtt"},
        {{"serve", "3", "--mqtt", "mqtt://u:pw@b"}, "no password in the broker's address"},
        {{"serve", "3", "--mqtt", "mqtt://b", "--mqtt-password-file", "pw"}, "needs a user"},
        {{"serve", "3", "--mqtt", "mqtt://b", "--mqtt-cafile", "ca.crt"}, "for an mqtts:// broker"},
        {{"serve", "3", "--mqtt", "mqtt://b", "--mqtt-prefix", "torv/#"}, "--mqtt-prefix takes"},
        {{"serve", "3", "--mqtt", "mqtt://b", "--ha-discovery", "ha/"}, "--ha-discovery takes"},
        {{"serve", "3", "--mqtt", "mqtt://b", "--mqtt-prefix", "$SYS/torv"}, "--mqtt-prefix takes"},
        {{"serve", "3", "--mqtt", "mqtt://b", "--mqtt-prefix", "torv\tpc"}, "--mqtt-prefix takes"},
        {{"serve", "3", "--mqtt", "mqtt://b", "--mqtt-prefix", "torv/\xc5"}, "--mqtt-prefix takes"},
        {{"serve", "3", "--mqtt", "mqtt://b", "--ha-discovery=$ha"}, "--ha-discovery takes"},
        // Room for the levels after it: PREFIX/250/availability, the discovery topics with the prefix as an id.
        {{"serve", "3", "--mqtt", "mqtt://b", "--mqtt-prefix", kNearlyLongest.c_str()}, "too long"},
        {{"serve", "3", "--mqtt", "mqtt://b", "--mqtt-prefix", kHalf.c_str(), "--ha-discovery", kHalf.c_str()}, "too long"},
        {{"serve", "3", "--mqtt", "mqtt://b", "--ha-discovery", kNearlyLongest.c_str()}, "too long"},
        {{"log", "3", "--mqtt", "mqtt://b"}, "log takes no --mqtt"},
        {{}, "no command given"},
        {{"--port", "", "read", "1"}, "--port is empty"},
        {{"log", "1", "--dir", ""}, "--dir is empty"},
        {{"backup", "1", ""}, "backup: the file name is empty"},
        {{"restore", "", "1"}, "restore: the file name is empty"},
        {{"serve", "--chambers", ""}, "--chambers is empty"},
        {{"serve", "3", "--mqtt", "mqtts://u@b", "--mqtt-password-file", ""}, "--mqtt-password-file is empty"},
        {{"serve", "3", "--mqtt", "mqtts://u@b", "--mqtt-cafile", ""}, "--mqtt-cafile is empty"},
        // Of several mistakes the same one is told, whatever the order they are given in.
        {{"read", "1", "2", "--count", "2"}, "read takes no --count"},
        {{"--baud", "1", "read", "0"}, "'0' is not a controller address (1..250)"},
        {{"--reply", "x", "--parity", "x", "--baud", "1", "--port", "", "read", "1"}, "--port is empty"},
        {{"--reply", "x", "--parity", "x", "--baud", "1", "read", "1"}, "--baud takes 19200, 9600 or 4800"},
        {{"--reply", "x", "--parity", "x", "read", "1"}, "--parity takes none, even or odd"},
        {{"log", "1", "--dir", "", "--count", "0", "--every", "0", "--reply", "x"}, "--reply takes quiet or frame"},
        {{"log", "1", "--dir", "", "--count", "0", "--every", "0"}, "--every takes whole seconds, 1..86400"},
        {{"log", "1", "--dir", "", "--count", "0"}, "--count takes a whole number of rounds, at least 1"},
        {{"serve", "--chambers", "", "--every", "0"}, "--every takes"},
        {{"serve", "--chambers", "", "--metrics", "0"}, "--chambers is empty"},
        {{"serve", "3", "3", "--mqtt-prefix", "p", "--metrics", "0"}, "--metrics takes [HOST:]PORT, PORT 1..65535"},
        {{"serve", "3", "3", "--mqtt-prefix", "p"}, "--mqtt-prefix needs --mqtt"},
        {{"serve", "3", "3"}, "serve: address 3 given twice"},
        {{"report", "7"}, "report needs --out FILE.pdf"},
        {{"report", "7", "8", "--out", "r.pdf"}, "too many"},
        {{"report", "7", "--from", "2026-12-08T05:43:17+01:00", "--out", "r.pdf"}, "--from and --to together"},
        {{"report", "7", "--from", "2026-12-08 05:43", "--to", "2026-12-09T00:00:00+01:00", "--out", "r.pdf"},
         "--from 2026-12-08 05:43: not a time as the drying log writes it"},
        {{"report", "7", "--from", "2026-12-08T05:43:17+01:00", "--to", "2026-02-30T00:00:00+01:00", "--out", "r.pdf"},
         "--to 2026-02-30T00:00:00+01:00: not a time"},
        {{"report", "7", "--out", "r.pdf", "--chambers", ""}, "--chambers is empty"},
        {{"report", "7", "--out", "r.pdf", "--every", "5"}, "report takes no --every"},
        {{"log", "1", "--note", "x"}, "log takes no --note"},
    };
    for (const auto& c : refused) {
        const CommandLine line = Parse(c.args);
        EXPECT_EQ(line.outcome, Outcome::Usage) << c.says;
        EXPECT_NE(line.error.find(c.says), std::string::npos) << line.error;
    }
}

TEST(CliCommandLine, ComNamesAsTheWindowCountsThemOtherwiseADevicePath)
{
    const std::pair<const char*, std::optional<std::uint8_t>> cases[] = {
        {"COM1", 0}, {"COM13", 12}, {"COM256", 255}, {"COM0", {}}, {"COM257", {}},
        {"COM01", {}}, {"com1", {}}, {"COM1x", {}}, {"/dev/ttyUSB0", {}},
    };
    for (const auto& [name, index] : cases)
        EXPECT_EQ(ComIndexOf(name), index) << name;
}

ImageRow RowOf(const sim::Controller& c)
{
    ImageRow row{};
    for (int b = kFirstByte; b <= kLastByte; ++b)
        row[static_cast<std::size_t>(b - kFirstByte)] = c.memory()[static_cast<std::size_t>(b)];
    return row;
}

const drying_log::LocalTime kTime{2026, 12, 8, 10, 15, 0, 60};

TEST(CliRead, JsonHasTheLogColumnsAndTheParameterSetShapes)
{
    const ImageRow row = RowOf(sim::Controller(7));
    QJsonParseError error{};
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(ReadJson(7, row, kTime)), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError);
    EXPECT_EQ(o.value("address").toInt(), 7);
    EXPECT_EQ(o.value("baudCode").toInt(), RowByte(row, 99));

    const QJsonObject m = o.value("measurements").toObject();
    const std::vector<std::string> fields =
        drying_log::RowFields(drying_log::MeasurementRow(7, row, drying_log::Status::Ok, kTime));
    ASSERT_EQ(static_cast<std::size_t>(m.size()), drying_log::Columns().size());
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::string_view column = drying_log::Columns()[i];
        const QJsonValue v = m.value(QString::fromUtf8(column.data(), static_cast<qsizetype>(column.size())));
        if (fields[i].empty())
            EXPECT_TRUE(v.isNull()) << column;
        else if (column == "time" || column == "status")
            EXPECT_EQ(v.toString().toStdString(), fields[i]) << column;
        else
            EXPECT_EQ(v.toDouble(-1), std::stod(fields[i])) << column;
    }

    // The same members make a parameter set file that reads back as the controller's set.
    const QJsonObject file{{"format", "torv-lcd-parameters"}, {"version", 1}, {"parameters", o.value("parameters")},
                           {"programme", o.value("programme")}};
    const ParameterSetResult read = ParseParameterSet(QJsonDocument(file).toJson().toStdString());
    ASSERT_TRUE(read.ok()) << read.problems.front();
    EXPECT_EQ(read.set, ParameterSetFromRow(row).set);
}

TEST(CliRead, BytesNoControlCanShowAreLeftOutNotMisreported)
{
    sim::Controller c(3);
    c.memory()[106] = 200; // SetTemperature beyond 99
    c.memory()[122] = 0;   // LcdMode off: the control pair is not shown
    const ImageRow row = RowOf(c);
    const ParameterSet held = HeldSet(row);
    EXPECT_FALSE(held.values.contains(106));
    EXPECT_EQ(held.values.size(), kParameterSetBytes - 1);
    const std::string table = ReadTable(3, row, kTime);
    EXPECT_TRUE(std::regex_search(table, std::regex("\n  SetTemperature +\\?  Temperatura zadana\n"))) << table;
    EXPECT_NE(ReadJson(3, row, kTime).find("\"TempControl1\": null"), std::string::npos);
}

// RH and EMC from T suchy and T mokry, to a tenth of a percent: the keys are
// always there, null (or "-") where the bulbs give no value.
TEST(CliRead, HumidityAndWoodMoistureAreAlwaysThere)
{
    const quantities::Conditions still{quantities::kUnventilatedCoefficient};
    const quantities::Conditions cool{quantities::kVentilatedCoefficient, 1013.25, -40.0, 55.0};
    const struct {
        double dry, wet;
        quantities::Conditions conditions;
        std::optional<double> humidity, wood;
        const char* tableHumidity;
        const char* tableWood;
    } rows[] = {
        {60.0, 50.0, {}, 58.6, 8.9, "58.6 %", "8.9 %"},
        {60.0, 50.0, still, 57.9, 8.8, "57.9 %", "8.8 %"}, // the psychrometer given is the one used
        {25.0, 24.9, {}, 99.2, std::nullopt, "99.2 %", "-"},  // above 98 %: no EMC
        {60.0, 50.0, cool, std::nullopt, std::nullopt, "-", "-"}, // a bulb beyond the sensor limits
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::to_string(r.dry) + "/" + std::to_string(r.wet));
        sim::Controller c(5);
        c.setTemperatures(r.dry, r.wet);
        const ImageRow row = RowOf(c);
        QJsonParseError error{};
        const QJsonObject o =
            QJsonDocument::fromJson(QByteArray::fromStdString(ReadJson(5, row, kTime, r.conditions)), &error).object();
        ASSERT_EQ(error.error, QJsonParseError::NoError);
        for (const auto& [key, value] : {std::pair{"relativeHumidity", r.humidity}, std::pair{"equilibriumMoisture", r.wood}}) {
            ASSERT_TRUE(o.contains(key)) << key;
            if (value)
                EXPECT_EQ(o.value(key).toDouble(-1), *value) << key;
            else
                EXPECT_TRUE(o.value(key).isNull()) << key;
        }
        const std::string table = ReadTable(5, row, kTime, r.conditions);
        EXPECT_TRUE(std::regex_search(table, std::regex(std::string("\n  relativeHumidity +") + r.tableHumidity + "\n")))
            << table;
        EXPECT_TRUE(std::regex_search(table, std::regex(std::string("\n  equilibriumMoisture +") + r.tableWood + "\n")))
            << table;
    }
}

TEST(CliStop, ASignalWaitsForTheCheckAndEndsTheWaitBetweenRounds)
{
    {
        StopSignals stop;
        EXPECT_FALSE(stop.requested());
        // Held back, so it neither ends this process nor is lost.
        raise(SIGTERM);
        stop.wait(3600u * 1000000u); // returns at once: the signal is there
        EXPECT_TRUE(stop.requested());
        EXPECT_TRUE(stop.requested()) << "a stop stays requested";
    }
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

} // namespace
