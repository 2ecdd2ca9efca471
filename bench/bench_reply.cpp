// The two reply rules side by side against torv-sim on a pseudo-terminal, at
// each baud rate, in one run:
//  - the block read (9 reads of 8 registers, 5 ms between them) through the
//    station, under the quiet rule and under the frame rule, each against its
//    floor: the per-byte pauses of the requests and the pauses between reads,
//    plus, under quiet, the poll periods it waited, and under frame the time
//    torv-sim takes to answer: it hands each reply byte over at the line's
//    pace (10 bits a character) after 2 ms, as a controller on a wire would,
//    so a reply's wire time is in the pty too;
//  - the same nine reads by pymodbus (Debian's python3-pymodbus, a master we
//    did not write), which sends each request in one write;
//  - a scan round of 20 chambers (the overview's and serve's round) under
//    both rules, the frame rule's floor with its frame gaps.
// Then what the per-byte pauses explain of the gap to pymodbus, and what the
// gap would be on a real line, where pymodbus's one write takes its wire time.
//
// Usage: bench_reply [--quick]   (--quick: one block read per rule instead of 3, one round)
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>

#include "bench/launch.h"
#include "link/modbus_link.h"
#include "station/read_blk.h"
#include "station/station.h"
#include "support/child_process.h"

using namespace torv::testing;

namespace {

constexpr int kChambers = 20;

const char* kPymodbusBlockRead = R"(
import sys, time
from pymodbus.client import ModbusSerialClient
device, baud, repeats = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
client = ModbusSerialClient(port=device, baudrate=baud, bytesize=8, parity="N", stopbits=1, timeout=1)
if not client.connect():
    sys.exit("cannot open " + device)
ok = 0
t0 = time.monotonic()
for _ in range(repeats):
    for i, start in enumerate((96, 104, 112, 120, 160, 128, 136, 144, 152)):
        if i:
            time.sleep(0.005)
        r = client.read_holding_registers(start, 8, slave=1)
        ok += 0 if r.isError() else 1
print(ok, (time.monotonic() - t0) * 1000.0)
)";

struct Figure {
    double wallMs = 0, floorMs = 0;
    int sent = 0, ok = 0;
};

const char* RuleName(torv::ReplyRule rule) { return rule == torv::ReplyRule::Frame ? "frame" : "quiet"; }

// torv-sim's answer: its processing time, then each byte at the line's pace.
constexpr double kSimProcessingMs = 2.0;
constexpr double kSimBitsPerByte = 10.0;

// Runs `body` on `link` under `rule`; the floor from every transaction it made.
Figure Measure(torv::ModbusLink& link, torv::SteadyClock& clock, torv::ReplyRule rule, unsigned pauseMs, int baud,
               double pausesMs, const std::function<void()>& body)
{
    Figure f;
    link.replyRule = rule;
    link.onTransaction = [&](const torv::ModbusLink::Transaction& t) {
        const unsigned poll = t.function == 0x03 ? torv::kReadPollMs : torv::kWritePollMs;
        // Under frame a whole reply waits for its bytes only; one short of it waits what it waited.
        const bool early = rule == torv::ReplyRule::Frame && t.ok;
        const double answer = kSimProcessingMs + static_cast<double>(t.replyBytes) * kSimBitsPerByte * 1000.0 / baud;
        f.floorMs += 8.0 * pauseMs + (early ? answer : static_cast<double>(link.lastPolls()) * poll);
        ++f.sent;
        f.ok += t.ok ? 1 : 0;
    };
    const std::uint64_t t0 = clock.nowUs();
    body();
    f.wallMs = static_cast<double>(clock.nowUs() - t0) / 1000.0;
    f.floorMs += pausesMs;
    link.onTransaction = nullptr;
    return f;
}

void Row(const char* baud, const char* what, const char* rule, const Figure& f)
{
    std::printf("| %-5s | %-36s | %-8s | %4d/%-4d | %9.1f | %9.1f | %6.4f |\n", baud, what, rule, f.ok, f.sent, f.wallMs,
                f.floorMs, f.floorMs > 0 ? f.wallMs / f.floorMs : 0.0);
}

} // namespace

int main(int argc, char** argv)
{
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    const int repeats = quick ? 1 : 3;
    TempDir scripts;
    const std::string script = scripts.path() + "/block_read.py";
    std::ofstream(script) << kPymodbusBlockRead;

    std::printf("| baud  | case                                 | rule     | ok/sent   | wall ms   | floor ms  | ratio  |\n");
    std::printf("|-------|--------------------------------------|----------|-----------|-----------|-----------|--------|\n");
    struct Speed {
        const char* name;
        std::uint8_t index;
        int baud;
    };
    bool met = true;
    std::string summary;
    for (const Speed s : {Speed{"19200", 0, 19200}, Speed{"9600", 1, 9600}, Speed{"4800", 2, 4800}}) {
        TempDir dir;
        std::vector<std::string> simArgs{"--baud", s.name};
        for (int a = 1; a <= kChambers; ++a) {
            simArgs.push_back("--address");
            simArgs.push_back(std::to_string(a));
        }
        const auto sim = torv::bench::StartSimulator(dir.path(), simArgs);
        if (!sim)
            return 1;
        torv::bench::SimulatorLink bus;
        if (!bus.open(dir.path(), s.index))
            return 1;
        torv::ModbusLink& link = bus.link;
        torv::SteadyClock& clock = bus.clock;
        torv::Station station(link);
        const unsigned pause = s.index + 1u;
        const double blockPauses = repeats * 8.0 * torv::kBlockReadPauseMs;

        Figure block[2], round[2];
        for (const torv::ReplyRule rule : {torv::ReplyRule::Quiet, torv::ReplyRule::Frame}) {
            const int i = rule == torv::ReplyRule::Frame;
            block[i] = Measure(link, clock, rule, pause, s.baud, blockPauses, [&] {
                for (int r = 0; r < repeats; ++r)
                    station.readModule(1);
            });
            Row(s.name, repeats == 1 ? "block read (9 x 8 registers)" : "block read (9 x 8 registers) x3",
                RuleName(rule), block[i]);
        }

        // pymodbus on the same pty, the link's port closed meanwhile.
        link.CloseHandle();
        const std::string out = dir.path() + "/pymodbus.out";
        const std::string command = "/usr/bin/python3 " + script + " " + dir.path() + "/COM1 " + std::to_string(s.baud) +
                                    " " + std::to_string(repeats) + " > " + out + " 2>&1";
        int pyOk = 0;
        double pyMs = 0;
        std::ifstream result;
        if (std::system(command.c_str()) == 0)
            result.open(out);
        if (!(result >> pyOk >> pyMs)) {
            std::fprintf(stderr, "pymodbus did not run: see %s\n", out.c_str());
            return 1;
        }
        std::printf("| %-5s | %-36s | %-8s | %4d/%-4d | %9.1f | %9s | %6s |\n", s.name,
                    repeats == 1 ? "block read (9 x 8 registers)" : "block read (9 x 8 registers) x3", "pymodbus",
                    pyOk, 9 * repeats, pyMs, "-", "-");
        link.Ustaw_COM();

        for (const torv::ReplyRule rule : {torv::ReplyRule::Quiet, torv::ReplyRule::Frame}) {
            const int i = rule == torv::ReplyRule::Frame;
            // Each answered scan: two pauses of 5 ms; under frame, a frame gap
            // (3.5 characters of 11 bits) from one chamber's last reply to the
            // next chamber's request, where no pause stands in for it.
            const double gapsMs = rule == torv::ReplyRule::Frame ? (kChambers - 1) * 3.5 * 11 * 1000.0 / s.baud : 0.0;
            round[i] = Measure(link, clock, rule, pause, s.baud, kChambers * 10.0 + gapsMs, [&] {
                for (int a = 1; a <= kChambers; ++a)
                    station.scan(static_cast<std::uint8_t>(a));
            });
            Row(s.name, "scan round of 20 chambers", RuleName(rule), round[i]);
        }

        // The requests' per-byte pauses pymodbus does not make. On a real line
        // the replies take what they take here, and so do our requests (each
        // byte's pause is longer than its wire time), but pymodbus's request
        // in one write takes its eight characters' time, which a pty does not.
        const double reads = 9.0 * repeats;
        const double requestPausesMs = reads * 8 * pause;
        const double charMs = 10000.0 / s.baud;
        const double ourRealMs = block[1].wallMs;
        const double pyRealMs = pyMs + reads * 8 * charMs;
        char line[600];
        std::snprintf(line, sizeof line,
                      "%s b/s: frame %.1f ms vs pymodbus %.1f ms (+%.1f ms); the requests' per-byte pauses are %.1f ms "
                      "of it. On a real line (%.2f ms a character): frame ~%.0f ms, pymodbus ~%.0f ms (%.2f x); "
                      "the block read is %.1f x faster under frame than under quiet (its floor allows %.1f x), the "
                      "round under frame takes %.3f of quiet (its floor allows %.3f).\n",
                      s.name, block[1].wallMs, pyMs, block[1].wallMs - pyMs, requestPausesMs, charMs, ourRealMs,
                      pyRealMs, ourRealMs / pyRealMs, block[0].wallMs / block[1].wallMs,
                      block[0].wallMs / block[1].floorMs, round[1].wallMs / round[0].wallMs,
                      round[1].floorMs / round[0].wallMs);
        summary += line;
        // The speed-ups are bounded by what the requests' pauses and the replies' wire time leave:
        // printed, judged only as the floor ratio.
        met = met && block[1].wallMs <= 1.05 * block[1].floorMs && round[1].wallMs <= 1.05 * round[1].floorMs &&
              block[0].ok == block[0].sent && block[1].ok == block[1].sent && pyOk == 9 * repeats;
    }
    std::printf("\n%s\ntarget (frame <= 1.05 x its floor, every read answered): %s\n", summary.c_str(),
                met ? "met" : "NOT met");
    return met ? 0 : 1;
}
