#include "cli/options.h"

#include <QCommandLineParser>

#include <map>
#include <set>

#include "cli/option_parser.h"
#include "cli/serve_options.h"
#include "link/line_url.h"

namespace torv::cli {

Parser::Parser()
{
    // Without serve its options are still taken, so that a serve command line
    // is told where serve runs, but they are not offered.
    if (!TORV_SERVE)
        for (QCommandLineOption* o : {&chambers, &mqtt, &mqttPasswordFile, &mqttCaFile, &mqttPrefix, &haDiscovery, &metrics})
            o->setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOptions({port, baud, parity, reply, json, every, count, dir, from, to, note, out, chambers, mqtt, mqttPasswordFile, mqttCaFile,
                       mqttPrefix, haDiscovery, metrics, help, version});
    parser.addPositionalArgument("COMMAND", "read, bustest, backup, restore, log, report or serve, and its arguments.",
                                 "COMMAND ...");
}

std::optional<unsigned> WholeNumber(const QString& text, unsigned min, unsigned max)
{
    bool ok = false;
    const uint v = text.toUInt(&ok, 10);
    if (!ok || v < min || v > max)
        return std::nullopt;
    return v;
}

namespace {

// Every command's line but serve's, which come from serve_options.h.
constexpr const char* kSynopsis =
    "Usage: torv-cli [--port COMn|DEVICE|URL] [--baud 19200|9600|4800] [--parity none|even|odd]\n"
    "                [--reply quiet|frame] COMMAND ...\n"
    "  read ADDRESS [--json]                  block read: measurements, state, parameters, programme\n"
    "  bustest [--json]                       the bus test over 1..250: the addresses that answered\n"
    "  backup ADDRESS FILE                    the controller's parameter set to FILE\n"
    "  restore FILE ADDRESS...                write a parameter set to each controller and verify it\n"
    "  log ADDRESS... [--every S] [--count N] [--dir DIR]   the drying log of several chambers\n"
    "  report ADDRESS [--from TIME --to TIME] [--dir DIR] [--chambers FILE] [--note TEXT] --out FILE.pdf\n"
    "                                         the charge report of the last run (or the span) from the log\n";

// Which command-specific options each command takes, and how many arguments.
struct CommandShape {
    std::size_t minArguments;
    std::size_t maxArguments;
    std::set<std::string> options;
};
const std::map<std::string, CommandShape>& Shapes()
{
    static const std::map<std::string, CommandShape> shapes{
        {"read", {1, 1, {"json"}}},
        {"bustest", {0, 0, {"json"}}},
        {"backup", {2, 2, {}}},
        {"restore", {2, 251, {}}},
        {"log", {1, 250, {"every", "count", "dir"}}},
        {"report", {1, 1, {"from", "to", "dir", "chambers", "note", "out"}}},
        {"serve",
         {0, 250,
          {"every", "count", "dir", "chambers", "metrics", "mqtt", "mqtt-password-file", "mqtt-cafile", "mqtt-prefix",
           "ha-discovery"}}},
    };
    return shapes;
}

// The value's place among `names`: the index the settings file keeps for it.
std::optional<std::uint8_t> IndexOf(const QString& value, std::initializer_list<const char*> names)
{
    std::uint8_t index = 0;
    for (const char* name : names) {
        if (value == QLatin1String(name))
            return index;
        ++index;
    }
    return std::nullopt;
}

CommandLine Usage(std::string error)
{
    CommandLine c;
    c.error = std::move(error);
    return c;
}

} // namespace

std::optional<std::uint8_t> ComIndexOf(const std::string& port)
{
    if (port.size() < 4 || port.size() > 6 || port.compare(0, 3, "COM") != 0 || port[3] == '0')
        return std::nullopt;
    const std::optional<unsigned> n = WholeNumber(QString::fromStdString(port.substr(3)), 1, 256);
    if (!n)
        return std::nullopt;
    return static_cast<std::uint8_t>(*n - 1);
}

namespace {

// "--ha-discovery PREFIX" and "--ha-discovery=PREFIX" as the bare option, the
// prefix kept aside. A word after it is its prefix unless it is an option, a
// number (an address to serve) or a command's name.
QStringList TakeDiscoveryPrefix(const QStringList& arguments, std::optional<std::string>& prefix)
{
    QStringList out;
    bool options = true;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (options && a == "--")
            options = false;
        if (options && a.startsWith("--ha-discovery=")) {
            prefix = a.mid(static_cast<qsizetype>(sizeof "--ha-discovery=" - 1)).toStdString();
            out << "--ha-discovery";
            continue;
        }
        out << a;
        if (options && a == "--ha-discovery" && i + 1 < arguments.size()) {
            const QString& next = arguments[i + 1];
            bool number = false;
            next.toUInt(&number);
            if (!next.startsWith('-') && !number && !Shapes().contains(next.toStdString())) {
                prefix = next.toStdString();
                ++i;
            }
        }
    }
    return out;
}

} // namespace

namespace {

// What the parser found, as each step below reads it; the steps take the
// words they own out of `positional`.
struct Given {
    const Parser& p;
    QStringList positional;
    std::optional<std::string> discoveryPrefix;
};
using Problem = std::optional<std::string>;

// The command is known, takes the options given and as many words as follow it.
Problem CheckShape(Given& g, Options& o)
{
    const auto shape = Shapes().find(o.command);
    if (shape == Shapes().end())
        return "unknown command '" + o.command + "'";
    const Parser& p = g.p;
    for (const QString& name : p.parser.optionNames()) {
        const QCommandLineOption* option = nullptr;
        for (const QCommandLineOption* candidate : {&p.json, &p.every, &p.count, &p.dir, &p.from, &p.to, &p.note, &p.out,
                                                    &p.chambers, &p.metrics, &p.mqtt,
                                                    &p.mqttPasswordFile, &p.mqttCaFile, &p.mqttPrefix, &p.haDiscovery})
            if (candidate->names().contains(name))
                option = candidate;
        if (option && !shape->second.options.contains(option->names().constLast().toStdString()))
            return o.command + " takes no --" + option->names().constLast().toStdString();
    }
    if (static_cast<std::size_t>(g.positional.size()) < shape->second.minArguments)
        return o.command + ": too few arguments";
    if (static_cast<std::size_t>(g.positional.size()) > shape->second.maxArguments)
        return o.command + ": too many arguments";
    return std::nullopt;
}

// restore's file comes first, backup's last; every other word is an address.
Problem TakeFileAndAddresses(Given& g, Options& o)
{
    if (o.command == "restore" || o.command == "backup") {
        const qsizetype at = o.command == "restore" ? 0 : g.positional.size() - 1;
        o.file = g.positional.takeAt(at).toStdString();
        if (o.file.empty())
            return o.command + ": the file name is empty";
    }
    for (const QString& a : g.positional) {
        const std::optional<unsigned> address = WholeNumber(a, 1, 250);
        if (!address)
            return "'" + a.toStdString() + "' is not a controller address (1..250)";
        o.addresses.push_back(static_cast<std::uint8_t>(*address));
    }
    return std::nullopt;
}

// The line: its port, speed and parity, and when a reply is complete.
Problem ParseLine(Given& g, Options& o)
{
    const Parser& p = g.p;
    if (p.parser.isSet(p.port)) {
        o.port = p.parser.value(p.port).toStdString();
        if (o.port->empty())
            return std::string("--port is empty");
        if (IsLineUrl(*o.port))
            if (const LineUrlParse url = ParseLineUrl(*o.port); !url.url)
                return "--port " + *o.port + ": " + url.error;
    }
    if (p.parser.isSet(p.baud) && !(o.baudIndex = IndexOf(p.parser.value(p.baud), {"19200", "9600", "4800"})))
        return std::string("--baud takes 19200, 9600 or 4800");
    if (p.parser.isSet(p.parity) && !(o.parityIndex = IndexOf(p.parser.value(p.parity), {"none", "even", "odd"})))
        return std::string("--parity takes none, even or odd");
    if (p.parser.isSet(p.reply)) {
        const std::optional<std::uint8_t> rule = IndexOf(p.parser.value(p.reply), {"quiet", "frame"});
        if (!rule)
            return std::string("--reply takes quiet or frame");
        o.replyRule = *rule == 0 ? ReplyRule::Quiet : ReplyRule::Frame;
    }
    return std::nullopt;
}

// How the result is printed, and the rounds of log and serve.
Problem ParseOutputAndRounds(Given& g, Options& o)
{
    const Parser& p = g.p;
    o.json = p.parser.isSet(p.json);
    if (p.parser.isSet(p.every)) {
        const std::optional<unsigned> s = WholeNumber(p.parser.value(p.every), 1, 86400);
        if (!s)
            return std::string("--every takes whole seconds, 1..86400");
        o.everySeconds = *s;
    }
    if (p.parser.isSet(p.count)) {
        o.rounds = WholeNumber(p.parser.value(p.count), 1, 4000000000u);
        if (!o.rounds)
            return std::string("--count takes a whole number of rounds, at least 1");
    }
    if (p.parser.isSet(p.dir)) {
        o.dir = p.parser.value(p.dir).toStdString();
        if (o.dir.empty())
            return std::string("--dir is empty");
    }
    return std::nullopt;
}

// serve's words and options, where it is built (serve_options.h).
Problem ParseServeStep(Given& g, Options& o)
{
    if (o.command != "serve")
        return std::nullopt;
    return ParseServe(g.p, g.discoveryPrefix, o);
}

// report's span, notes, chamber list and output.
Problem ParseReportStep(Given& g, Options& o)
{
    if (o.command != "report")
        return std::nullopt;
    const Parser& p = g.p;
    if (p.parser.isSet(p.from) != p.parser.isSet(p.to))
        return std::string("report takes --from and --to together, or neither");
    for (auto [option, time] : {std::pair{&p.from, &o.from}, {&p.to, &o.to}}) {
        if (!p.parser.isSet(*option))
            continue;
        const QString text = p.parser.value(*option);
        *time = drying_log::ParseIsoTime(text.toStdString());
        if (!*time)
            return "--" + option->names().constLast().toStdString() + " " + text.toStdString() +
                   ": not a time as the drying log writes it (2026-12-08T05:43:17+01:00)";
    }
    o.notes = p.parser.values(p.note).join('\n').toStdString();
    o.out = p.parser.value(p.out).toStdString();
    if (o.out.empty())
        return std::string("report needs --out FILE.pdf");
    o.chambersFile = p.parser.isSet(p.chambers) ? p.parser.value(p.chambers).toStdString() : plant::kChamberListFileName;
    if (o.chambersFile.empty())
        return std::string("--chambers is empty");
    return std::nullopt;
}

// In this order, so that of several mistakes the same one is told every time.
constexpr Problem (*kSteps[])(Given&, Options&) = {CheckShape, TakeFileAndAddresses, ParseLine, ParseOutputAndRounds,
                                                   ParseReportStep, ParseServeStep};

} // namespace

CommandLine ParseCommandLine(const QStringList& givenArguments)
{
    Parser p;
    Given g{p, {}, std::nullopt};
    if (!p.parser.parse(TakeDiscoveryPrefix(givenArguments, g.discoveryPrefix)))
        return Usage(p.parser.errorText().toStdString());
    CommandLine c;
    if (p.parser.isSet(p.help) || p.parser.isSet(p.version)) {
        c.outcome = p.parser.isSet(p.help) ? CommandLine::Outcome::Help : CommandLine::Outcome::Version;
        return c;
    }
    g.positional = p.parser.positionalArguments();
    if (g.positional.isEmpty())
        return Usage("no command given");
    c.options.command = g.positional.takeFirst().toStdString();
    for (const auto step : kSteps)
        if (Problem error = step(g, c.options))
            return Usage(std::move(*error));
    c.outcome = CommandLine::Outcome::Run;
    return c;
}

std::string UsageText() { return std::string(kSynopsis) + kServeSynopsis; }

std::string HelpText()
{
    // The parser's own text is only borrowed for its option list.
    Parser p;
    const QString generated = p.parser.helpText();
    const qsizetype options = generated.indexOf("Options:");
    const qsizetype arguments = generated.indexOf("Arguments:");
    return UsageText() +
           "\nTalks to drying-chamber controllers on a Modbus RTU line as the window does, without a window.\n"
           "Exit status: 0 done, 1 a controller did not answer, did not confirm a write or does not hold\n"
           "the set, or a result could not be written, 2 a usage or file error, 3 the port could not be opened.\n\n" +
           generated.mid(options, arguments - options).toStdString();
}

} // namespace torv::cli
