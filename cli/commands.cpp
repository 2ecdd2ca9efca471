#include "cli/commands.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <unistd.h>

#include "cli/report.h"
#include "cli/stop.h"
#include "controller/drying_log_writer.h"
#include "settings/file_target.h"

namespace torv::cli {

namespace {

// The boxes `work` brings up: messages when it failed; when it succeeded,
// results or nothing (the window's "press ZAPIS" has no reader here).
bool Held(Bus& bus, const std::function<bool()>& work, bool resultsOnSuccess)
{
    bus.notifier.hold();
    const bool ok = work();
    for (const std::string& text : bus.notifier.release()) {
        if (!ok)
            Message(text);
        else if (resultsOnSuccess)
            Print(text + "\n");
    }
    return ok;
}

// "komora N: Name: old → new", a line for each value of the set that
// differs between the two rows.
std::string Changes(const std::string& chamber, const ParameterSet& wanted, const ImageRow& before,
                    const ImageRow& after)
{
    std::string changes;
    for (const auto& [byte, value] : wanted.values) {
        const MapEntry& e = MapAt(byte);
        const int old = ControlValue(e, RowByte(before, byte));
        const int now = ControlValue(e, RowByte(after, byte));
        if (old != now)
            changes += chamber + std::string(e.name) + ": " + ValueText(byte, old) + " → " + ValueText(byte, now) + "\n";
    }
    return changes;
}

// The write-back of one controller and what it holds afterwards. `stopped`
// is set when a stop signal ended it early.
Exit RestoreOne(Bus& bus, const std::string& file, const ParameterSet& wanted, std::uint8_t address,
                StopSignals& stop, bool& stopped)
{
    if (!bus.blockRead(address))
        return kController;
    const std::string chamber = bus.notifier.chamber + ": ";
    const ImageRow before = bus.row(address);
    // The row as the controller confirmed it: a byte counts as written once
    // its write was echoed and its read-back answered, the values read back.
    ImageRow confirmed = before;
    std::optional<std::uint8_t> echoed;
    bool unconfirmed = false;
    bus.link.onTransaction = [&](const ModbusLink::Transaction& t) {
        if (t.function == 0x06) {
            echoed = t.ok ? std::optional<std::uint8_t>(t.start) : std::nullopt;
            // ZAPIS goes on silently past a write without its echo; said here, in its place.
            if (!t.ok && !unconfirmed) {
                unconfirmed = true;
                Message(chamber + texts::kNoWriteAck);
            }
            return;
        }
        if (echoed && t.ok && t.start == *echoed)
            for (const int byte : {int{t.start}, t.start + 1})
                if (MemoryImage::holds(address, byte))
                    confirmed[static_cast<std::size_t>(byte - kFirstByte)] = bus.link.image.at(address, byte);
        echoed.reset();
    };
    // Asked between transactions, so a write in flight ends with its read-back.
    const auto stopNow = [&] { return stopped = stop.requested(); };
    bus.console.writeBackCancelled = stopNow;
    // The window's way: the set into the controls (a changed alarm tick is
    // written at once), then ZAPIS writes the rows that differ, each read
    // back, and reads the whole controller again.
    const bool loaded = !stopNow() && Held(bus, [&] { return bus.console.LoadParameterSet(wanted, file); }, false);
    if (loaded && !stopNow())
        bus.console.Button3Click();
    bus.link.onTransaction = nullptr;
    bus.console.writeBackCancelled = nullptr;
    if (!loaded && !stopped)
        return kUsage;
    if (stopped || !bus.link.ReplyOk) {
        // Half done: what the controller confirmed, as a finished restore tells it.
        Print(Changes(chamber, wanted, before, confirmed));
        return kController; // the notices said why, or the caller says it was stopped
    }

    const ImageRow& after = bus.row(address);
    std::string missing;
    for (const auto& [byte, value] : wanted.values) {
        const int now = ControlValue(MapAt(byte), RowByte(after, byte));
        if (now != value)
            missing += (missing.empty() ? " (" : ", ") + std::string(MapAt(byte).name) + " = " + ValueText(byte, now) +
                       ", w zestawie " + ValueText(byte, value);
    }
    const std::string changes = Changes(chamber, wanted, before, after);
    Print((changes.empty() ? chamber + "bez zmian\n" : changes) + chamber + "zestaw w module: " +
          (missing.empty() ? "tak" : "nie" + missing + ")") + "\n");
    return missing.empty() && !unconfirmed ? kDone : kController;
}

} // namespace

Exit Read(Bus& bus, const Options& options)
{
    const std::uint8_t address = options.addresses.front();
    if (!bus.blockRead(address))
        return kController;
    const ImageRow& row = bus.row(address);
    for (const std::string& problem : ParameterSetFromRow(row).problems)
        Message(bus.notifier.chamber + ": " + problem);
    const drying_log::LocalTime time = drying_log::SystemLocalTime();
    Print(options.json ? ReadJson(address, row, time) : ReadTable(address, row, time));
    return kDone;
}

Exit BusTest(Bus& bus, const Options& options)
{
    const bool progress = isatty(STDERR_FILENO) == 1;
    if (progress)
        bus.panel.onRepaint = [&bus] {
            std::fprintf(stderr, "\rtorv-cli: %d/%d", bus.panel.get(controls::ProgressBar1.name()).progressValue, kMaxAddress);
        };
    bus.console.Button6Click();
    if (progress)
        std::fprintf(stderr, "\r%30s\r", "");
    const std::vector<std::uint8_t>& found = bus.console.FoundAddresses;
    if (found.empty()) {
        Message(texts::kBusTestNone);
        return kController;
    }
    if (options.json) {
        Print(FoundJson(found));
    } else {
        for (const std::uint8_t address : found)
            Print(std::to_string(address) + "\n");
    }
    return kDone;
}

Exit Backup(Bus& bus, const Options& options)
{
    const std::uint8_t address = options.addresses.front();
    if (!bus.blockRead(address))
        return kController;
    if (Held(bus, [&] { return bus.console.SaveParameterSet(options.file); }, true))
        return kDone;
    // Not written: a value no set can hold, or the file.
    return ParameterSetFromRow(bus.row(address)).ok() ? kUsage : kController;
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
                                 : RestoreOne(bus, options.file, wanted.set, options.addresses[i], stop, stopped);
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

Exit Prepare(const Options& options)
{
    // A backup that could only be refused at the end must not ask the line first.
    if (options.command == "backup") {
        const files::Target target = files::SaveTarget(options.file);
        if (target.refusal != files::Refusal::NotRegular)
            return kDone;
        Message(options.file + ": " + files::RefusalText(target.refusal, target.type, target.error));
        return kUsage;
    }
    if (options.command != "log")
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
    bus.console.onMeasurement = [&writer](std::uint8_t address, const ImageRow& row, bool ok) {
        writer.record(address, row, ok ? drying_log::Status::Ok : drying_log::Status::Failed);
    };
    bool anyFailed = false;
    std::map<std::uint8_t, bool> answering;
    for (const std::uint8_t address : options.addresses) {
        if (stop.requested())
            return stopped();
        answering[address] = bus.blockRead(address);
        anyFailed = anyFailed || !answering[address];
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
            bus.aboutChamber(address);
            bus.console.ActiveAddress = address;
            bus.console.ScanOn = true;
            bus.console.Timer1Timer();
            const bool ok = bus.link.ReplyOk;
            // Told when it changes, not every round.
            if (ok != answering[address])
                Message(bus.notifier.chamber + ": " + (ok ? std::string("answers again") : texts::kNoCommunication));
            answering[address] = ok;
            anyFailed = anyFailed || !ok;
        }
        // Not one chamber answered: the adapter may have been pulled and
        // plugged back under the same name, which an open descriptor never
        // sees. Opening the port anew costs a silent line nothing.
        if (std::none_of(answering.begin(), answering.end(), [](const auto& a) { return a.second; }))
            bus.reopen();
    }
    return anyFailed || writer.anyFailed() ? kController : kDone;
}

} // namespace torv::cli
