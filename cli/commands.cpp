#include "cli/commands.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <optional>

#include "cli/answering.h"
#include "cli/report.h"
#include "cli/standard_streams.h"
#include "cli/stop.h"
#include "controller/conversions.h"
#include "files/drying_log_writer.h"
#include "settings/file_target.h"
#include "texts/parameter_set_texts.h"

namespace torv::cli {

namespace {

// "komora N: Name: old → new", a line for each value of the set that
// differs between the two rows.
std::string Changes(const std::string& chamber, const ParameterSet& wanted, const ImageRow& before,
                    const ImageRow& after)
{
    std::string changes;
    for (const auto& [byte, value] : wanted.values) {
        const MapEntry& e = MapAt(byte);
        const int old = UnitValue(e, RowByte(before, byte));
        const int now = UnitValue(e, RowByte(after, byte));
        if (old != now)
            changes += chamber + std::string(e.name) + ": " + ValueText(byte, old) + " → " + ValueText(byte, now) + "\n";
    }
    return changes;
}

// `row` with what the controller confirmed in `results`: a byte counts as
// written once its write was echoed and its read-back answered, with the
// values read back.
ImageRow Confirmed(ImageRow row, std::initializer_list<const Result*> results)
{
    int echoed = -1; // the register whose write was echoed last, -1 when none
    for (const Result* result : results)
        for (const Exchange& e : result->exchanges) {
            if (e.isWrite()) {
                echoed = e.ok() ? e.start : -1;
                continue;
            }
            if (e.ok() && e.start == echoed)
                for (std::size_t i = 0; i < 2; ++i)
                    if (MemoryImage::holds(e.address, e.start + static_cast<int>(i)))
                        row[e.start + i - kFirstByte] = e.data[i];
            echoed = -1;
        }
    return row;
}

// The write-back of one controller and what it holds afterwards, as the
// window does it: the set into the controls (a changed alarm tick is written
// at once), then ZAPIS writes the rows that differ, each read back, and
// reads the whole controller again. `stopped` is set when a stop signal
// ended it early.
Exit RestoreOne(Bus& bus, const ParameterSet& wanted, std::uint8_t address, StopSignals& stop, bool& stopped)
{
    const Result read = bus.blockRead(address);
    if (!read.ok)
        return kController;
    const std::string chamber = Chamber(address) + ": ";
    const ImageRow& before = read.row;
    // Asked between transactions, so a write in flight ends with its read-back.
    const auto stopNow = [&] { return stopped = stop.requested(); };

    Result alarm, after;
    WriteBackResult zapis;
    bool unconfirmed = false;
    // ZAPIS goes on silently past a write without its echo; said here, once, in its place.
    const auto tellUnconfirmed = [&](const Result& result) {
        if (result.writeUnconfirmed() && !unconfirmed) {
            unconfirmed = true;
            Message(chamber + texts::kNoWriteAck);
        }
    };
    if (!stopNow()) {
        if (const auto it = wanted.values.find(bytes::kAlarmBuzzer); it != wanted.values.end())
            tellUnconfirmed(alarm = bus.station.writeAlarm(address, it->second != 0));
        if (!stopNow()) {
            WriteBackRequest request;
            request.rows = ParameterSetWrites(wanted, bus.link.image.row(address));
            request.stop = stopNow;
            zapis = bus.station.writeBack(address, request);
            TellFailure(zapis);
            tellUnconfirmed(zapis);
            if (!zapis.stopped)
                after = bus.blockRead(address);
        }
    }
    if (stopped || !after.ok) {
        // Half done: what the controller confirmed, as a finished restore tells it.
        Print(Changes(chamber, wanted, before, Confirmed(before, {&alarm, &zapis})));
        return kController; // the messages said why, or the caller says it was stopped
    }

    std::string missing;
    for (const auto& [byte, value] : wanted.values) {
        const int now = UnitValue(MapAt(byte), RowByte(after.row, byte));
        if (now != value)
            missing += (missing.empty() ? " (" : ", ") + std::string(MapAt(byte).name) + " = " + ValueText(byte, now) +
                       ", w zestawie " + ValueText(byte, value);
    }
    const std::string changes = Changes(chamber, wanted, before, after.row);
    Print((changes.empty() ? chamber + "bez zmian\n" : changes) + chamber + "zestaw w module: " +
          (missing.empty() ? "tak" : "nie" + missing + ")") + "\n");
    return missing.empty() && !unconfirmed ? kDone : kController;
}

} // namespace

Exit Read(Bus& bus, const Options& options)
{
    const std::uint8_t address = options.addresses.front();
    const Result read = bus.blockRead(address);
    if (!read.ok)
        return kController;
    for (const std::string& problem : ParameterSetFromRow(read.row).problems)
        Message(Chamber(address) + ": " + problem);
    const drying_log::LocalTime time = drying_log::SystemLocalTime();
    Print(options.json ? ReadJson(address, read.row, time) : ReadTable(address, read.row, time));
    return kDone;
}

Exit BusTest(Bus& bus, const Options& options)
{
    const bool progress = ErrorsGoToTerminal();
    const BusTestResult result = bus.station.busTest([progress](const BusTestStep& step) {
        if (progress)
            std::fprintf(stderr, "\rtorv-cli: %d/%d", step.address, kMaxAddress);
    });
    if (progress)
        std::fprintf(stderr, "\r%30s\r", "");
    // A controller that answered the probe but not its block read.
    for (const Exchange& e : result.exchanges)
        if (e.reported && !e.ok())
            Message(Chamber(e.address) + ": " + FailureText(e.function, e.outcome));
    if (result.found.empty()) {
        Message(texts::kBusTestNone);
        return kController;
    }
    if (options.json) {
        Print(FoundJson(result.found));
    } else {
        for (const std::uint8_t address : result.found)
            Print(std::to_string(address) + "\n");
    }
    return kDone;
}

Exit Backup(Bus& bus, const Options& options)
{
    const std::uint8_t address = options.addresses.front();
    const Result read = bus.blockRead(address);
    if (!read.ok)
        return kController;
    const std::string chamber = Chamber(address) + ": ";
    ParameterSetResult result = ParameterSetFromRow(read.row);
    if (!result.ok()) {
        std::string text = chamber + texts::kSetOutOfRange;
        for (const std::string& problem : result.problems)
            text += "\r" + problem;
        Message(text);
        return kUsage;
    }
    result.set.sourceAddress = address;
    result.set.saved = ParameterSetTimestamp();
    const std::string name = std::filesystem::path(options.file).filename().string();
    std::string error;
    if (!WriteParameterSetFile(options.file, result.set, error)) {
        Message(chamber + texts::kSetNotSaved + name + ":\r" + error);
        return kController;
    }
    Print(chamber + texts::kSetSaved + name + "\n");
    return kDone;
}

Exit Restore(Bus& bus, const Options& options)
{
    // The whole file is read and checked once, before anything is sent to
    // any controller. A pipe handed over as /dev/stdin or /dev/fd/N is read
    // from the descriptor; a named FIFO is refused like a device.
    const int inherited = files::InheritedDescriptor(options.file);
    const ParameterSetResult wanted =
        inherited >= 0 ? ParameterSetOfContents(files::ReadDescriptor(inherited, parameter_set::kMaxFileBytes))
                       : ReadParameterSetFile(options.file);
    if (!wanted.ok()) {
        for (const std::string& problem : wanted.problems)
            Message(options.file + ": " + problem);
        return kUsage;
    }
    // From here a stop signal ends the restore between transactions, never
    // between a write and its read-back.
    StopSignals stop;
    Exit exit = kDone;
    for (std::size_t i = 0; i < options.addresses.size(); ++i) {
        bool stopped = stop.requested();
        const Exit one = stopped ? kController
                                 : RestoreOne(bus, wanted.set, options.addresses[i], stop, stopped);
        if (stopped) {
            std::string undone;
            for (std::size_t j = i; j < options.addresses.size(); ++j)
                undone += " " + std::to_string(options.addresses[j]);
            Message("stopped by a signal; not restored in full:" + undone);
            return kController;
        }
        if (one == kUsage)
            return one;
        if (one != kDone)
            exit = one;
    }
    return exit;
}

Exit Prepare(Options& options)
{
#if TORV_SERVE
    if (options.command == "serve")
        if (const Exit chambers = PrepareServe(options); chambers != kDone)
            return chambers;
#endif
    // A backup that could only be refused at the end must not ask the line first.
    if (options.command == "backup") {
        const files::Target target = files::SaveTarget(options.file);
        if (target.ok())
            return kDone;
        Message(options.file + ": " + files::RefusalText(target.refusal, target.type, target.error));
        return kUsage;
    }
    if (options.command != "log" && options.command != "serve")
        return kDone;
    // A logger that can write nothing must not look as if it runs.
    const std::string problem = drying_log::Writer::InDirectory(options.dir, drying_log::SystemLocalTime).makeDirectory();
    if (problem.empty())
        return kDone;
    Message("log: " + problem);
    return kUsage;
}

Exit Log(Bus& bus, const Options& options)
{
    StopSignals stop;
    drying_log::Writer writer = drying_log::Writer::InDirectory(options.dir, drying_log::SystemLocalTime,
                                                                [](const std::string& text) { Message(text); });
    // Lines that did not reach the disk fail the run however it ends.
    const auto stopped = [&writer] { return writer.anyFailed() ? kController : kDone; };
    Answering answering;
    for (const std::uint8_t address : options.addresses) {
        if (stop.requested())
            return stopped();
        const Result read = bus.blockRead(address);
        // Logged when it answered, as the window logs its module read.
        if (read.ok)
            writer.record(address, read.row, drying_log::Status::Ok);
        answering.first(address, read.ok);
    }

    const std::uint64_t everyUs = static_cast<std::uint64_t>(options.everySeconds) * 1000000u;
    std::uint64_t roundStart = bus.clock.nowUs();
    for (unsigned round = 0; !options.rounds || round < *options.rounds; ++round) {
        if (round > 0) {
            // A round that overran its period is followed at once.
            roundStart = std::max(roundStart + everyUs, bus.clock.nowUs());
            for (std::uint64_t now = bus.clock.nowUs(); now < roundStart && !stop.requested(); now = bus.clock.nowUs())
                stop.wait(roundStart - now);
        }
        for (const std::uint8_t address : options.addresses) {
            if (stop.requested())
                return stopped();
            const Result scan = bus.station.scan(address);
            // Logged ok only when every read of it answered: the row holds nothing else.
            const bool ok = scan.allAnswered();
            ImageRow row = scan.row;
            // Silent when the log began: the LCD mode, which says which thermometers
            // control, comes only from a whole read, made once it answers.
            if (ok && !bus.station.wholeRead(address))
                row = bus.station.readModule(address, false).row;
            writer.record(address, row, ok ? drying_log::Status::Ok : drying_log::Status::Failed);
            answering.next(address, ok);
        }
        // Not one chamber answered: the adapter may have been pulled and
        // plugged back under the same name, which an open descriptor never
        // sees. Opening the port anew costs a silent line nothing.
        if (answering.noneAnswering())
            bus.reopen();
    }
    return answering.anyFailed || writer.anyFailed() ? kController : kDone;
}

} // namespace torv::cli
