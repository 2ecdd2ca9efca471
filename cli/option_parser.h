#pragma once
// torv-cli's command line as Qt's parser takes it, shared by the common
// options and serve's own (serve_options.h).
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>

#include <optional>

#include "cli/stop.h"

namespace torv::cli {

struct Parser {
    QCommandLineParser parser;
    QCommandLineOption port{{"p", "port"}, "Serial port: COMn as the window resolves it, a device path, or a network line\n"
                                                "tcp://HOST:PORT (transparent) or rfc2217://HOST:PORT.", "COMn|DEVICE|URL"};
    QCommandLineOption baud{{"b", "baud"}, "Line speed: 19200, 9600 or 4800.", "RATE"};
    QCommandLineOption parity{"parity", "Parity: none, even or odd.", "PARITY"};
    QCommandLineOption reply{"reply",
                             "When a reply is complete: quiet (a poll period without a new byte, as the window "
                             "waits; the default) or frame (as soon as its bytes are in).",
                             "RULE"};
    QCommandLineOption json{"json", "read, bustest: the result as JSON."};
    QCommandLineOption every{"every", "log, serve: seconds from one round's start to the next (default 10).", "S"};
    QCommandLineOption count{"count", QString("log, serve: stop after N rounds (default: run until ") + kStopHow + ").",
                             "N"};
    QCommandLineOption dir{"dir", "log, serve, report: folder of the log files (default pomiary).", "DIR"};
    QCommandLineOption from{"from", "report: the span's start, as the drying log writes times (2026-12-08T05:43:17+01:00).",
                            "TIME"};
    QCommandLineOption to{"to", "report: the span's end, as --from.", "TIME"};
    QCommandLineOption note{"note", "report: the operator's notes (charge, species, thickness, final moisture); "
                                    "each one a line.",
                            "TEXT"};
    QCommandLineOption out{"out", "report: the PDF file to write.", "FILE.pdf"};
    QCommandLineOption metrics{"metrics", "serve: a Prometheus endpoint /metrics on HOST (default 127.0.0.1) and PORT.",
                               "[HOST:]PORT"};
    QCommandLineOption chambers{"chambers", "serve, report: the plant's chamber list (komory.json): names, alarm thresholds, "
                                            "core probes.",
                                "FILE"};
    QCommandLineOption mqtt{"mqtt", "serve: publish to the broker at mqtt://[USER@]HOST[:PORT] or mqtts://... (TLS).",
                            "URL"};
    QCommandLineOption mqttPasswordFile{"mqtt-password-file", "serve: the broker's password, the file's first line.",
                                        "FILE"};
    QCommandLineOption mqttCaFile{"mqtt-cafile", "serve: the authority an mqtts:// broker's certificate is checked "
                                                 "against (default: the system's).",
                                  "FILE"};
    QCommandLineOption mqttPrefix{"mqtt-prefix", "serve: the topics' prefix (default torv/<host name>).", "PREFIX"};
    // Its optional PREFIX is taken apart before parsing (the parser knows no optional values).
    QCommandLineOption haDiscovery{"ha-discovery",
                                   "serve: Home Assistant discovery configs under PREFIX (default homeassistant)."};
    QCommandLineOption help{{"h", "help"}, "This text."};
    QCommandLineOption version{{"v", "version"}, "The program's version."};

    Parser();
};

// `text` as a whole decimal number in min..max.
std::optional<unsigned> WholeNumber(const QString& text, unsigned min, unsigned max);

} // namespace torv::cli
