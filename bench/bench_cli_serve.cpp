// torv-cli serve of three chambers against torv-sim (9600 b/s) on a
// pseudo-terminal, with a mosquitto of the bench's own on a loopback port and
// a subscriber counting what reaches it:
//  1. `serve 1 2 3 --every 1 --count R` back to back, in turn with MQTT (with
//     the discovery configs) and the metrics endpoint off, on, aimed at a port
//     where nothing listens, and at a listener that takes the connection and
//     never answers: a round's time from the simulator's trace, as for log;
//  2. `--every 10` with both on and a scrape in every wait: CPU time and
//     wake-ups of all the process's threads in the waits between rounds;
//  3. the resident set of a serve run with both on, after each round; and in
//     this process, 10 000 scans' messages through a real MqttPublisher to the
//     broker (with the series they feed, scraped once a round): the publisher
//     is where messages could pile up, and a scan takes ~1 s on the line
//     whatever its speed (the request bytes' pauses), so 10 000 of them
//     through serve take 2.8 h: --memory-rounds 3400 for that run.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <memory>
#include <numeric>
#include <optional>
#include <string>
#include <vector>

#include "cli_probe.h"
#include "launch.h"
#include "plant/alarms.h"
#include "plant/chamber_list.h"
#include "support/child_process.h"
#include "support/free_port.h"
#include "telemetry/metrics.h"
#include "telemetry/mqtt_client.h"
#include "telemetry/mqtt_messages.h"

namespace torv::bench {

namespace {

using testing::FreeLoopbackPort;

// Bound and listening, never accepting nor reading: the kernel's backlog
// completes the client's handshake, and its CONNECT waits for an answer.
class SilentListener {
public:
    SilentListener() : fd_(socket(AF_INET, SOCK_STREAM, 0))
    {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t n = sizeof a;
        if (bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && listen(fd_, 16) == 0 &&
            getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &n) == 0)
            port_ = ntohs(a.sin_port);
    }
    ~SilentListener() { close(fd_); }
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;
    int port() const { return port_; }

private:
    int fd_;
    int port_ = 0;
};

std::unique_ptr<testing::ChildProcess> StartBroker(const std::string& dir, int port)
{
    // No limit on what waits for the subscriber: it must see every message.
    std::ofstream(dir + "/mosquitto.conf") << "listener " << port << " 127.0.0.1\nallow_anonymous true\n"
                                           << "max_queued_messages 0\n"
                                           << (geteuid() == 0 ? "user root\n" : "");
    const std::string program = access("/usr/sbin/mosquitto", X_OK) == 0 ? "/usr/sbin/mosquitto" : "mosquitto";
    auto broker = std::make_unique<testing::ChildProcess>(
        std::vector<std::string>{program, "-c", dir + "/mosquitto.conf"}, dir + "/broker.log");
    if (!broker->waitForOutput("running")) {
        std::fprintf(stderr, "mosquitto did not start: %s\n", broker->output().c_str());
        return nullptr;
    }
    return broker;
}

// Every topic published under bench/, one a line, from before the first run.
std::unique_ptr<testing::ChildProcess> StartSubscriber(const std::string& file, int port)
{
    auto sub = std::make_unique<testing::ChildProcess>(
        std::vector<std::string>{"mosquitto_sub", "-p", std::to_string(port), "-q", "1", "-t", "bench/#", "-F", "%t"},
        file);
    for (int i = 0; i < 50; ++i) {
        testing::ChildProcess pub({"mosquitto_pub", "-p", std::to_string(port), "-t", "bench/ready", "-m", "1"},
                                  file + ".pub");
        pub.wait(2000);
        if (sub->waitForOutput("bench/ready", 200))
            return sub;
    }
    std::fprintf(stderr, "mosquitto_sub did not subscribe: %s\n", sub->output().c_str());
    return nullptr;
}

// Lines of the subscriber's file that start with `prefix` and end with
// `suffix`, read a line at a time: this process's own resident set is measured.
std::size_t Received(const std::string& file, const std::string& prefix, const std::string& suffix)
{
    std::ifstream in(file);
    std::size_t n = 0;
    for (std::string line; std::getline(in, line);)
        n += line.starts_with(prefix) && line.ends_with(suffix);
    return n;
}

// One GET /metrics as a scraper makes it; the body's size, 0 when it did not
// come whole or holds none of the plant's series.
std::size_t Scrape(int port)
{
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const timeval limit{5, 0};
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    std::string reply;
    if (connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
        const std::string request = "GET /metrics HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
        if (send(s, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
            char buffer[4096];
            for (ssize_t n; (n = recv(s, buffer, sizeof buffer, 0)) > 0;)
                reply.append(buffer, static_cast<std::size_t>(n));
        }
    }
    close(s);
    const std::size_t body = reply.find("\r\n\r\n");
    if (!reply.starts_with("HTTP/1.") || reply.find(" 200 ") != 8 || body == std::string::npos ||
        reply.find("torv_", body) == std::string::npos)
        return 0;
    return reply.size() - body - 4;
}

// What the simulator's trace shows going wrong from byte `from` on: a frame
// dropped or skipped, a request left without a reply; each with its time (ms).
std::vector<std::pair<double, std::string>> LineTrouble(const std::string& trace, std::size_t from)
{
    std::vector<std::pair<double, std::string>> trouble;
    bool awaiting = false; // a request with no reply yet
    for (std::size_t at = from; at < trace.size();) {
        const std::size_t end = std::min(trace.find('\n', at), trace.size());
        const std::string line = trace.substr(at, end - at);
        at = end + 1;
        const std::size_t ms = line.find(" ms  ");
        if (ms == std::string::npos)
            continue;
        const double t = std::atof(line.c_str());
        const std::string what = line.substr(ms + 5);
        if (what.starts_with("in ")) {
            if (awaiting)
                trouble.emplace_back(t, "unanswered request before: " + line);
            awaiting = true;
        } else if (what.starts_with("out")) {
            awaiting = false;
        } else {
            trouble.emplace_back(t, line);
        }
    }
    return trouble;
}

struct Run {
    std::string name;
    std::vector<double> roundMs; // in the order they came, rounds with trouble on the line left out
    int troubledRounds = 0;
    std::vector<std::string> trouble; // the trace's lines
    std::vector<long> rss;       // kB, after each round
    long hwm = 0;
    int exit = -1;
    int scrapes = 0, failedScrapes = 0;
    std::string output; // torv-cli's stderr
};

struct Stats {
    double mean = 0, median = 0, max = 0;
};

Stats Of(std::vector<double> v)
{
    if (v.empty())
        return {};
    std::sort(v.begin(), v.end());
    return {std::accumulate(v.begin(), v.end(), 0.0) / static_cast<double>(v.size()), v[v.size() / 2], v.back()};
}

// torv-cli `args` to its end, its rounds timed by the simulator's trace from
// byte `traceFrom` on; scraped every 10 s when `metricsPort` is set.
Run RunRounds(const std::string& name, const std::vector<std::string>& args, const std::string& dir,
              const std::string& traceFile, int metricsPort = 0)
{
    Run run{name, {}, 0, {}, {}, 0, -1, 0, 0, {}};
    const std::size_t traceFrom = ReadAll(traceFile).size();
    const std::string outFile = dir + "/" + name + ".out";
    const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const pid_t pid = Launch(args, dir, out);
    close(out);
    std::uint64_t lastScrape = MonotonicNs();
    for (;;) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            run.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            break;
        }
        const std::size_t seen = RequestTimes(ReadAll(traceFile), kRoundStart, traceFrom).size();
        if (seen > run.rss.size() + 1) {
            run.rss.resize(seen - 1, StatusKb(pid, "VmRSS"));
            run.hwm = std::max(run.hwm, StatusKb(pid, "VmHWM"));
        }
        if (metricsPort != 0 && SecondsSince(lastScrape) >= 10) {
            lastScrape = MonotonicNs();
            ++run.scrapes;
            run.failedScrapes += Scrape(metricsPort) == 0;
        }
        SleepMs(50);
    }
    const std::string trace = ReadAll(traceFile);
    const std::vector<double> starts = RequestTimes(trace, kRoundStart, traceFrom);
    const auto trouble = LineTrouble(trace, traceFrom);
    for (const auto& [t, line] : trouble)
        run.trouble.push_back(line);
    // A failed scan waits out its replies: such a round times the line, not serve.
    for (std::size_t i = 1; i < starts.size(); ++i) {
        const bool troubled = std::any_of(trouble.begin(), trouble.end(), [&](const auto& tr) {
            return tr.first >= starts[i - 1] && tr.first < starts[i];
        });
        if (troubled)
            ++run.troubledRounds;
        else
            run.roundMs.push_back(starts[i] - starts[i - 1]);
    }
    run.output = ReadAll(outFile);
    return run;
}

std::size_t Count(const std::string& text, const std::string& needle)
{
    std::size_t n = 0;
    for (auto at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
        ++n;
    return n;
}

// Least squares slope of the resident set from sample `from` on, kB a sample.
double RssSlope(const std::vector<long>& rss, std::size_t from)
{
    const std::size_t n = rss.size() - from;
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (std::size_t i = from; i < rss.size(); ++i) {
        const double x = static_cast<double>(i), y = static_cast<double>(rss[i]);
        sx += x;
        sy += y;
        sxx += x * x;
        sxy += x * y;
    }
    const double d = static_cast<double>(n) * sxx - sx * sx;
    return d == 0 ? 0 : (static_cast<double>(n) * sxy - sx * sy) / d;
}

struct InProcess {
    long rssBefore = 0, rssAfter = 0, hwm = 0;
    std::vector<long> samples; // kB, every 1 000 scans from the warm-up's end
    int scans = 0, warmUp = 0;
    std::size_t availability = 0; // messages the subscriber got, one each scan
    int connections = 0;
    double seconds = 0;
    std::size_t scrapeBytes = 0;
    std::vector<std::string> reports;
};

// 20 chambers' scans as serve publishes them: each scan's messages, an alarm
// event every 100th scan, a failed scan every 50th, the series fed and one
// scrape's text a round; a round handed over every 20 ms, 3 000 messages a second.
InProcess PublishInProcess(int brokerPort, const std::string& subscriberFile, int scans)
{
    constexpr int kChambers = 20;
    const std::string prefix = "bench/inproc";
    InProcess result;
    result.warmUp = 50 * kChambers;
    result.scans = scans;
    std::vector<plant::Chamber> chambers;
    for (int a = 1; a <= kChambers; ++a)
        chambers.push_back({a, "Komora " + std::to_string(a)});

    telemetry::MqttSettings settings{{false, {}, "127.0.0.1", brokerPort}, std::nullopt, {}, prefix,
                                     std::string(telemetry::kDiscoveryPrefix), std::nullopt};
    const std::uint64_t created = MonotonicNs();
    telemetry::MqttPublisher mqtt(settings, [&result, created](const std::string& text) {
        char at[32];
        std::snprintf(at, sizeof at, "at %.1f s: ", SecondsSince(created));
        result.reports.push_back(at + text);
    });
    std::vector<telemetry::Message> configs;
    for (const plant::Chamber& c : chambers)
        for (telemetry::Message& m : telemetry::DiscoveryMessages(prefix, c))
            configs.push_back(std::move(m));
    mqtt.setDiscovery(std::move(configs));
    telemetry::PlantMetrics metrics;
    for (int i = 0; i < 500 && !mqtt.connected(); ++i)
        SleepMs(10);

    std::vector<plant::Alarm> alarms;
    const auto scan = [&](int i) {
        const plant::Chamber& c = chambers[static_cast<std::size_t>(i % kChambers)];
        drying_log::Row row;
        row.time = drying_log::SystemLocalTime();
        row.address = c.address;
        if (i % 50 == 49) {
            row.status = drying_log::Status::Failed;
        } else {
            row.tempDry = 600 + i % 37;
            row.tempWet = 550 + i % 23;
            row.difference = 50 + 5 * (i % 11);
            row.autoStep = 3;
            row.autoHoursDone = i / 1000;
            row.autoHoursTotal = 48;
            row.setTemperature = 700;
            row.setDifference = 50;
            row.heating = i % 2;
            row.humidifying = row.ventOpen = row.ventClose = 0;
        }
        metrics.scanned(row);
        for (const telemetry::Message& m : telemetry::ScanMessages(prefix, c, row))
            mqtt.publish(m);
        if (i % 100 == 99) {
            // Raised and cleared in turn on the same chamber, the list following.
            const plant::AlarmId id{c.address, plant::AlarmKind::TemperatureDeviation};
            const bool raise = alarms.empty();
            const plant::AlarmEvent e{raise ? plant::AlarmEventType::Raised : plant::AlarmEventType::Cleared, id,
                                      row.time, "T suchy 63,5 °C, zadana 70 °C"};
            mqtt.publish(telemetry::AlarmEventMessage(prefix, e));
            alarms.clear();
            if (raise)
                alarms.push_back({id, row.time, e.value, false, false});
        }
        metrics.alarms(c.address, alarms);
        mqtt.publish(telemetry::ChamberAlarmsMessage(prefix, c.address, alarms));
        if (i % kChambers == kChambers - 1) {
            result.scrapeBytes = std::max(result.scrapeBytes, metrics.exposition().size());
            SleepMs(20);
        }
    };
    // The resident set before and after is taken once the subscriber has every
    // scan so far: the network thread's messages in flight are gone then.
    const auto settled = [&](int scanned) {
        for (int i = 0; i < 600 && (result.availability = Received(subscriberFile, prefix + "/", "/availability")) <
                                       static_cast<std::size_t>(scanned);
             ++i)
            SleepMs(100);
        SleepMs(200);
        return StatusKb(0, "VmRSS");
    };
    for (int i = 0; i < result.warmUp; ++i)
        scan(i);
    result.rssBefore = settled(result.warmUp);
    const std::uint64_t t0 = MonotonicNs();
    for (int i = result.warmUp; i < result.warmUp + scans; ++i) {
        if ((i - result.warmUp) % 1000 == 0)
            result.samples.push_back(StatusKb(0, "VmRSS"));
        scan(i);
    }
    result.samples.push_back(StatusKb(0, "VmRSS"));
    result.seconds = SecondsSince(t0);
    result.rssAfter = settled(result.warmUp + scans);
    result.hwm = StatusKb(0, "VmHWM");
    result.connections = mqtt.connections();
    mqtt.stop();
    return result;
}

} // namespace

int BenchServe(bool quick, int memoryRounds, int publishScans)
{
    const int rounds = quick ? 8 : 20;
    const int pairs = quick ? 1 : 2;
    const int seconds = quick ? 30 : 60;
    if (memoryRounds == 0)
        memoryRounds = quick ? 15 : 100;

    testing::TempDir dir;
    const int brokerPort = FreeLoopbackPort();
    const auto broker = StartBroker(dir.path(), brokerPort);
    if (!broker)
        return 1;
    const std::string subscriberFile = dir.path() + "/received";
    const auto subscriber = StartSubscriber(subscriberFile, brokerPort);
    if (!subscriber)
        return 1;
    const std::string traceFile = dir.path() + "/sim.log";
    const auto sim = StartSimulator(dir.path(), {"--address", "1", "--address", "2", "--address", "3", "--trace"}, traceFile);
    if (!sim)
        return 1;

    // ---- 3. in this process first: 10 000 scans through the publisher ------------
    const InProcess inProcess = PublishInProcess(brokerPort, subscriberFile, publishScans);

    const std::string broker1 = "mqtt://127.0.0.1:" + std::to_string(brokerPort);
    const auto serve = [&](const std::string& name, int every, std::optional<int> count, const std::string& mqtt,
                           int metricsPort) {
        std::vector<std::string> args{TORV_CLI, "serve", "1", "2", "3", "--every", std::to_string(every), "--dir",
                                      dir.path() + "/" + name};
        if (count)
            args.insert(args.end(), {"--count", std::to_string(*count)});
        if (!mqtt.empty())
            args.insert(args.end(), {"--mqtt", mqtt, "--mqtt-prefix", "bench/" + name, "--ha-discovery"});
        if (metricsPort != 0)
            args.insert(args.end(), {"--metrics", "127.0.0.1:" + std::to_string(metricsPort)});
        return args;
    };

    // ---- 1. rounds back to back: off, on, refused, unanswered in turn ----------
    const SilentListener silent;
    std::vector<Run> runs;
    for (int k = 1; k <= pairs; ++k) {
        const std::string n = std::to_string(k);
        runs.push_back(RunRounds("off" + n, serve("off" + n, 1, rounds, {}, 0), dir.path(), traceFile));
        const int metricsPort = FreeLoopbackPort();
        runs.push_back(RunRounds("on" + n, serve("on" + n, 1, rounds, broker1, metricsPort), dir.path(), traceFile,
                                 metricsPort));
        runs.push_back(RunRounds("refused" + n,
                                 serve("refused" + n, 1, rounds, "mqtt://127.0.0.1:" + std::to_string(FreeLoopbackPort()), 0),
                                 dir.path(), traceFile));
        runs.push_back(RunRounds("unanswered" + n,
                                 serve("unanswered" + n, 1, rounds, "mqtt://127.0.0.1:" + std::to_string(silent.port()), 0),
                                 dir.path(), traceFile));
    }

    // ---- 2. CPU between rounds with both on ------------------------------------
    const int metricsPort2 = FreeLoopbackPort();
    const std::string log2 = dir.path() + "/every10";
    const int out2 = open((dir.path() + "/every10.out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const std::size_t trace2 = ReadAll(traceFile).size();
    const pid_t pid = Launch(serve("every10", 10, std::nullopt, broker1, metricsPort2), dir.path(), out2);
    close(out2);
    const std::uint64_t started = MonotonicNs();
    const double cpuStart = CpuSeconds(pid);
    double waitS = 0, waitCpu = 0, worstShare = 0;
    long waitWakeups = 0, threads = 0;
    int waits = 0, scrapes = 0, failedScrapes = 0;
    std::size_t scrapeBytes = 0;
    for (std::size_t round = 1; SecondsSince(started) < seconds;) {
        // The round is over once chamber 3's line for it is on the disk
        // (header, the start's block read, then one line a round).
        while (SecondsSince(started) < seconds && FileLines(log2, "komora-003-") < 2 + round)
            SleepMs(10);
        if (SecondsSince(started) >= seconds)
            break;
        const std::uint64_t t0 = MonotonicNs();
        const double cpu0 = CpuSeconds(pid);
        const long wake0 = ThreadWakeups(pid);
        bool scraped = false;
        while (SecondsSince(started) < seconds &&
               RequestTimes(ReadAll(traceFile), kRoundStart, trace2).size() < round + 1) {
            // A scraper's visit in every wait, when the publishing is done.
            if (!scraped && SecondsSince(t0) > 2) {
                scraped = true;
                const std::size_t bytes = Scrape(metricsPort2);
                ++scrapes;
                failedScrapes += bytes == 0;
                scrapeBytes = std::max(scrapeBytes, bytes);
            }
            SleepMs(10);
        }
        if (SecondsSince(started) >= seconds)
            break;
        const double s = SecondsSince(t0), cpu = CpuSeconds(pid) - cpu0;
        waitS += s;
        waitCpu += cpu;
        worstShare = std::max(worstShare, cpu / s);
        waitWakeups += ThreadWakeups(pid) - wake0;
        threads = StatusKb(pid, "Threads");
        ++waits;
        ++round;
    }
    const double runCpu = CpuSeconds(pid) - cpuStart, runS = SecondsSince(started);
    const int status2 = Stop(pid);
    const std::string output2 = ReadAll(dir.path() + "/every10.out");

    // ---- 3. serve's resident set over many rounds with both on -----------------
    const int metricsPort3 = FreeLoopbackPort();
    const Run memory = RunRounds("memory", serve("memory", 1, memoryRounds, broker1, metricsPort3), dir.path(),
                                 traceFile, metricsPort3);

    // ---- the figures -------------------------------------------------------------
    // Exit 1 is a chamber that failed to answer once: the rounds still count,
    // those with trouble on the line left out of the timing.
    const auto ended = [](const Run& r, int count) {
        return (r.exit == 0 || r.exit == 1) && r.roundMs.size() + static_cast<std::size_t>(r.troubledRounds) + 1 >=
                                                   static_cast<std::size_t>(count);
    };
    bool complete = waits > 0 && status2 == 0 && ended(memory, memoryRounds) && memory.rss.size() >= 11 &&
                    inProcess.rssBefore > 0 && Count(output2, "mqtt: connected") > 0;
    for (const Run& r : runs)
        complete = complete && ended(r, rounds) && !r.roundMs.empty();
    std::vector<const Run*> all;
    for (const Run& r : runs)
        all.push_back(&r);
    all.push_back(&memory);
    for (const Run* r : all)
        for (const std::string& line : r->trouble)
            std::fprintf(stderr, "%s: on the line: %s\n", r->name.c_str(), line.c_str());
    if (!complete) {
        std::fprintf(stderr, "runs incomplete: %d waits, every10's exit %d\n%s", waits, status2, output2.c_str());
        for (const Run* r : all)
            std::fprintf(stderr, "%s: exit %d, %zu rounds timed, %d with trouble\n%s", r->name.c_str(), r->exit,
                         r->roundMs.size(), r->troubledRounds, r->output.c_str());
        return 1;
    }

    struct Kind {
        Stats stats;
        std::string each; // every run's mean
        int troubled = 0;
        int said = 0; // runs whose stderr told of the broker as expected
    };
    const auto pooled = [&runs](const std::string& kind, const std::string& told) {
        Kind k;
        std::vector<double> rounds;
        for (const Run& r : runs)
            if (r.name.size() > kind.size() && r.name.starts_with(kind) &&
                std::isdigit(static_cast<unsigned char>(r.name[kind.size()]))) {
                rounds.insert(rounds.end(), r.roundMs.begin(), r.roundMs.end());
                char text[64];
                std::snprintf(text, sizeof text, "%s%.1f", k.each.empty() ? "" : ", ", Of(r.roundMs).mean);
                k.each += text;
                k.troubled += r.troubledRounds;
                k.said += !told.empty() && Count(r.output, told) > 0;
            }
        k.stats = Of(rounds);
        return k;
    };
    const Kind off = pooled("off", {}), on = pooled("on", "mqtt: connected"),
               refused = pooled("refused", "Connection refused; trying again"),
               unanswered = pooled("unanswered", "no answer; trying again");
    std::size_t onScans = 0;
    for (const Run& r : runs)
        if (r.name.starts_with("on"))
            onScans += Received(subscriberFile, "bench/" + r.name + "/", "/availability");
    const auto left = [](const Kind& k) {
        return k.troubled == 0 ? std::string() : "; " + std::to_string(k.troubled) + " round(s) with a failed scan left out";
    };

    std::printf("| figure | measured | target |\n|---|---|---|\n");
    std::printf("| a round of 3 chambers, serve --every 1 --count %d, off and on in turn, %d run(s) each | off: mean %.1f "
                "ms (runs %s), median %.1f, max %.1f; MQTT + discovery + metrics on: mean %.1f ms (runs %s), median "
                "%.1f, max %.1f = %.4f × off (medians %.4f); %zu of %d scans at the subscriber%s%s | ≤ 1.01 × off |\n",
                rounds, pairs, off.stats.mean, off.each.c_str(), off.stats.median, off.stats.max, on.stats.mean,
                on.each.c_str(), on.stats.median, on.stats.max, on.stats.mean / off.stats.mean,
                on.stats.median / off.stats.median, onScans, 3 * rounds * pairs, left(off).c_str(), left(on).c_str());
    std::printf("| the same round, --mqtt to a port refusing the connection | mean %.1f ms (runs %s), median %.1f, max "
                "%.1f = %.4f × off (medians %.4f); refusal told in %d of %d runs%s | = off |\n",
                refused.stats.mean, refused.each.c_str(), refused.stats.median, refused.stats.max,
                refused.stats.mean / off.stats.mean, refused.stats.median / off.stats.median, refused.said, pairs,
                left(refused).c_str());
    std::printf("| the same round, --mqtt to a listener taking the connection and never answering | mean %.1f ms (runs "
                "%s), median %.1f, max %.1f = %.4f × off (medians %.4f); \"no answer\" told in %d of %d runs%s | = off |\n",
                unanswered.stats.mean, unanswered.each.c_str(), unanswered.stats.median, unanswered.stats.max,
                unanswered.stats.mean / off.stats.mean, unanswered.stats.median / off.stats.median, unanswered.said,
                pairs, left(unanswered).c_str());
    const double tick = 1.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
    std::printf("| CPU between rounds, serve 1 2 3 --every 10, MQTT + discovery + metrics on, a scrape of %zu bytes in "
                "each wait (%d failed), %d waits of %.1f s | %.3f %% of one core (worst wait %.3f %%, one tick %.3f %%), "
                "%.1f wake-ups a second over %ld threads | < 0.5 %% |\n",
                scrapeBytes, failedScrapes, waits, waitS / waits, 100.0 * waitCpu / waitS, 100.0 * worstShare,
                100.0 * tick / waitS, static_cast<double>(waitWakeups) / waitS, threads);
    std::printf("| CPU over the whole run, %.0f s, %d scrapes | %.3f %% of one core | — |\n", runS, scrapes,
                100.0 * runCpu / runS);
    const std::size_t memoryScans = 3 * memory.rss.size();
    const double perScan = RssSlope(memory.rss, 9) / 3.0;
    std::printf("| serve's resident set after round 10 / %zu (%zu scans), MQTT + discovery + metrics on, scraped every "
                "10 s | %ld / %ld kB (peak %ld kB), %+ld kB; fitted %+.1f kB per 1 000 scans (a single 4 kB page "
                "over the run reads as %.1f); %zu of %d scans at the subscriber, %d round(s) with a failed scan | flat |\n",
                memory.rss.size(), memoryScans, memory.rss[9], memory.rss.back(), memory.hwm,
                memory.rss.back() - memory.rss[9], 1000.0 * perScan, 4000.0 / static_cast<double>(memoryScans - 30),
                Received(subscriberFile, "bench/memory/", "/availability"), 3 * memoryRounds, memory.troubledRounds);
    const double publishSlope = RssSlope(inProcess.samples, 0);
    std::printf("| resident set of a process publishing %d scans of 20 chambers through MqttPublisher to the broker "
                "(PlantMetrics fed, a scrape's text of %zu bytes a round), after %d scans to warm up | %ld → %ld kB "
                "(%+ld kB, peak %ld kB) with the subscriber caught up; sampled every 1 000 scans: fitted %+.2f kB per "
                "1 000 scans; %zu of %d scans at the subscriber, %d connection(s), %.1f s | flat |\n",
                inProcess.scans, inProcess.scrapeBytes, inProcess.warmUp, inProcess.rssBefore, inProcess.rssAfter,
                inProcess.rssAfter - inProcess.rssBefore, inProcess.hwm, publishSlope, inProcess.availability,
                inProcess.warmUp + inProcess.scans, inProcess.connections, inProcess.seconds);
    for (const std::string& report : inProcess.reports)
        std::fprintf(stderr, "in-process publisher %s\n", report.c_str());
    // The targets, one a line.
    const auto verdict = [&off](const Kind& k) { return k.stats.mean <= 1.01 * off.stats.mean ? "met" : "NOT met"; };
    std::printf("\nround with MQTT and metrics on ≤ 1.01 × off: %s\n", verdict(on));
    std::printf("round with a refusing broker ≤ 1.01 × off: %s\n", verdict(refused));
    std::printf("round with an unanswering broker ≤ 1.01 × off: %s\n", verdict(unanswered));
    std::printf("CPU between rounds < 0.5 %%: %s\n", waitCpu / waitS < 0.005 ? "met" : "NOT met");
    // Serve's pages tell no less than a page over the run; the publisher's
    // fit over 10 000 scans tells a byte a scan, where a message kept by
    // mistake would cost a hundred or more.
    std::printf("serve's resident set flat (at most one 4 kB page more from round 10 to the end): %s\n",
                memory.rss.back() - memory.rss[9] <= 4 ? "met" : "NOT met");
    std::printf("publisher's resident set flat over %d scans (< 1 kB per 1 000 scans, all at the subscriber): %s\n",
                inProcess.scans,
                publishSlope < 1.0 &&
                        inProcess.availability == static_cast<std::size_t>(inProcess.warmUp + inProcess.scans)
                    ? "met"
                    : "NOT met");
    return 0;
}

} // namespace torv::bench
