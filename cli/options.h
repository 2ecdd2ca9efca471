#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <QStringList>

#include "files/drying_log.h"
#include "link/modbus_link.h"
#include "plant/chamber_list.h"
#if TORV_SERVE
#include "telemetry/mqtt_client.h"
#endif

namespace torv::cli {

// Exit statuses, which scripts and the service manager go by.
enum Exit : int {
    kDone = 0,
    kController = 1, // did not answer, did not confirm a write, does not hold the set
    kUsage = 2,      // a usage or file error
    kPort = 3,       // the port could not be opened
};

struct Options {
    std::string command;
    std::vector<std::uint8_t> addresses;
    std::string file;
    // Line settings given on the command line; the rest come from the settings file.
    std::optional<std::string> port;
    std::optional<std::uint8_t> baudIndex;
    std::optional<std::uint8_t> parityIndex;
    // When a reply is complete: the window's quiet-line rule unless frame is chosen.
    ReplyRule replyRule = ReplyRule::Quiet;
    bool json = false;
    unsigned everySeconds = 10;
    std::optional<unsigned> rounds;
    std::string dir = "pomiary";
    // report: the span (both or neither; without them the last run), the
    // operator's notes (one --note a line) and the PDF's file.
    std::optional<drying_log::LocalTime> from, to;
    std::string notes;
    std::string out;
    // serve, report: the chamber list file given.
    std::string chambersFile;
#if TORV_SERVE
    // serve: the list (from the file or the addresses) once read.
    plant::ChamberList chambers;
    // serve --metrics: where the Prometheus endpoint listens (port 0: none).
    std::string metricsHost = "127.0.0.1";
    int metricsPort = 0;
    // serve --mqtt: the broker (none: nothing is published), the files named
    // for it, the topics' prefix (empty: torv/<host>) and, when set, the
    // prefix of Home Assistant's discovery.
    std::optional<telemetry::BrokerUrl> mqtt;
    std::string mqttPasswordFile;
    std::string mqttCaFile;
    std::string mqttPrefix;
    std::optional<std::string> haDiscovery;
    // Read from mqttPasswordFile before the port is opened.
    std::optional<std::string> mqttPassword;
#endif
};

struct CommandLine {
    enum class Outcome { Run, Help, Version, Usage };
    Outcome outcome = Outcome::Usage;
    Options options;
    std::string error; // one line, for Usage
};

CommandLine ParseCommandLine(const QStringList& arguments);
std::string HelpText();
std::string UsageText();

// "COMn" (n 1..256) as the window's port index; nullopt for a device path.
std::optional<std::uint8_t> ComIndexOf(const std::string& port);

} // namespace torv::cli
