// The station's operations on simulated controllers and a virtual clock:
// what each result says of its exchanges, and the chains that ask the caller.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "console/bus_log.h"
#include "sim/line.h"
#include "sim/sim_port.h"
#include "station/station.h"
#include "support/recording_notifier.h"
#include "texts/transaction_boxes.h"

using namespace torv;
using namespace torv::testing;
using Strings = std::vector<std::string>;

namespace {

struct StationFixture {
    VirtualClock clock;
    sim::Line line;
    RecordingNotifier notifier;
    PortSettings settings;
    ModbusLink link{settings, clock};
    Station station{link};
    BusLog bus;

    StationFixture()
    {
        link.attachPort(std::make_unique<sim::SimPort>(line, clock));
        bus.attach(line);
        // The window's presenter: a reported failure is boxed.
        station.onReportedFailure = [this](const Exchange& e) { ShowTransactionBox(notifier, e.function, e.outcome); };
    }
};

Strings Starts(const Result& r)
{
    Strings s;
    for (const Exchange& e : r.exchanges)
        s.push_back((e.isWrite() ? "W" : "R") + std::to_string(e.start) + "x" + std::to_string(e.count) +
                    (e.ok() ? "" : " failed") + (e.reported ? " reported" : ""));
    return s;
}

} // namespace

TEST(StationResults, EachOperationTellsItsExchangesTheirJudgementAndTheRowAfterwards)
{
    StationFixture f;
    sim::Controller& c = f.line.add(5);
    c.memory()[bytes::kSetTemperature] = 64;
    f.line.add(6).faults().silent = true;
    f.line.add(7).faults().badCrc = true;

    const Result read = f.station.readModule(5);
    EXPECT_TRUE(read.ok);
    EXPECT_EQ(Starts(read), (Strings{"R96x8 reported", "R104x8 reported", "R112x8 reported", "R120x8 reported",
                                     "R160x8 reported", "R128x8 reported", "R136x8 reported", "R144x8 reported",
                                     "R152x8 reported"}));
    EXPECT_EQ(RowByte(read.row, bytes::kSetTemperature), 64);
    EXPECT_EQ(read.exchanges[1].data[2], 64) << "a read carries the bytes it brought, from its start";
    EXPECT_EQ(read.reportedFailure(), nullptr);

    // A silent controller: the first read fails, is the one reported, and the
    // window's box is raised for it.
    const Result silent = f.station.readModule(6);
    EXPECT_FALSE(silent.ok);
    ASSERT_EQ(Starts(silent), (Strings{"R96x8 failed reported"}));
    EXPECT_EQ(silent.exchanges[0].outcome, LinkOutcome::NoReply);
    EXPECT_EQ(FailureText(silent.reportedFailure()->function, silent.reportedFailure()->outcome), texts::kNoCommunication);
    EXPECT_EQ(f.notifier.boxes.size(), 1u);
    const Result crc = f.station.readModule(7);
    EXPECT_EQ(FailureText(crc.reportedFailure()->function, crc.reportedFailure()->outcome), texts::kReadCrcError);

    // The scan is silent about failures and stops before the measurements.
    f.notifier.boxes.clear();
    EXPECT_EQ(Starts(f.station.scan(5)), (Strings{"R104x4", "R126x2", "R160x8"}));
    EXPECT_EQ(Starts(f.station.scan(6)), (Strings{"R104x4 failed", "R126x2 failed"}));
    EXPECT_TRUE(f.notifier.boxes.empty());
    EXPECT_EQ(Starts(f.station.probe(6)), (Strings{"R96x1 failed"}));
    // Stopped by its caller: nothing after the transaction that was on the line.
    const Result cut = f.station.scan(5, [] { return true; });
    EXPECT_TRUE(cut.stopped);
    EXPECT_EQ(Starts(cut), (Strings{"R104x4"}));
    int asked = 0;
    EXPECT_EQ(Starts(f.station.scan(5, [&asked] { return ++asked == 2; })), (Strings{"R104x4", "R126x2"}));

    // The alarm switch: any non-zero byte means on; only a change of meaning writes.
    c.memory()[bytes::kAlarmBuzzer] = 2;
    f.station.readModule(5);
    EXPECT_FALSE(f.station.writeAlarm(5, true).sent());
    const Result off = f.station.writeAlarm(5, false);
    EXPECT_EQ(Starts(off), (Strings{"W125x1", "R125x2"}));
    EXPECT_TRUE(off.ok);
    EXPECT_EQ(c.memory()[bytes::kAlarmBuzzer], 0);
}

TEST(StationResults, EachReportedFailureIsHandedOnOnceTheMomentItIsJudged)
{
    struct Case {
        const char* what;
        std::function<void(Station&)> run;
        Strings handed; // start, text, transactions judged by then
    };
    const Case cases[] = {
        {"a block read failing at its third read", [](Station& s) { s.readModule(3); },
         {"112 Brak komunikacji z modułem !!! after 3"}},
        {"a block read with a bad CRC", [](Station& s) { s.readModule(7); }, {"96 Błąd CRC ramki !!! after 1"}},
        {"an unreported block read", [](Station& s) { s.readModule(6, false); }, {}},
        {"a scan", [](Station& s) { s.scan(6); }, {}},
        {"a restart request", [](Station& s) { s.reset(6); }, {"100 Brak komunikacji z modułem !!! after 1"}},
        {"a programme state", [](Station& s) { s.readProgrammeState(7); }, {"104 Błąd CRC ramki !!! after 1"}},
        {"reads in a row", [](Station& s) {
             s.readProgramme(6);
             s.readModule(5);
             s.programmeCommand(7);
         },
         {"104 Brak komunikacji z modułem !!! after 1", "119 Błąd CRC ramki !!! after 11"}},
        {"a bus test: a controller answering its probe but not its block read",
         [](Station& s) { s.busTest(); }, {"96 Brak komunikacji z modułem !!! after 4"}},
    };
    for (const Case& c : cases) {
        StationFixture f;
        const bool busTest = std::string(c.what).starts_with("a bus test");
        f.line.add(3).faults().failFrom = busTest ? 2 : 3;
        if (!busTest) {
            f.line.add(5);
            f.line.add(6).faults().silent = true;
            f.line.add(7).faults().badCrc = true;
        }
        int judged = 0;
        std::uint64_t judgedUs = 0;
        f.link.onTransaction = [&](const ModbusLink::Transaction& t) { ++judged, judgedUs = t.judgedUs; };
        Strings handed;
        f.station.onReportedFailure = [&](const Exchange& e) {
            handed.push_back(std::to_string(e.start) + " " + FailureText(e.function, e.outcome) + " after " +
                             std::to_string(judged) + (f.clock.nowUs() == judgedUs ? "" : " late"));
        };
        c.run(f.station);
        EXPECT_EQ(handed, c.handed) << c.what;
    }
}

TEST(StationResults, AWatcherOfTheLineKeepsSeeingEveryTransactionAndKeepsItsPlace)
{
    StationFixture f;
    f.line.add(5);
    int seen = 0;
    f.link.onTransaction = [&seen](const ModbusLink::Transaction&) { ++seen; };
    // Nested operations (a setting change with its restart request) record into both results.
    f.station.readModule(5);
    const Result baud = f.station.changeBaud(5, 2);
    EXPECT_EQ(Starts(baud), (Strings{"W98x1", "R98x2", "W100x1"}));
    EXPECT_EQ(seen, 9 + 3);
    f.link.Read_Modbus_Byte(5, 96, 1);
    EXPECT_EQ(seen, 13) << "the watcher is back in place after the operations";
}

TEST(StationWriteBack, RowsGoOutInOrderEachReadBackAndAStopComesOnlyAfterAReadBack)
{
    StationFixture f;
    sim::Controller& c = f.line.add(5);
    f.station.readModule(5);
    f.bus.clear();
    const std::uint8_t same = c.memory()[bytes::kVentOpenTime];
    const std::uint8_t lcd = c.memory()[bytes::kLcdMode];
    WriteBackRequest request;
    request.rows = {{bytes::kSetTemperature, 72}, {bytes::kVentOpenTime, same}, {bytes::kLcdMode, 2}};
    int asked = 0;
    request.stop = [&asked] { return ++asked > 2; };
    const WriteBackResult r = f.station.writeBack(5, request);
    // The row the controller already holds sends nothing; the stop is asked
    // before each row and after the last, never between a write and its read.
    const std::string low = std::to_string(c.memory()[bytes::kSetTemperature + 1]);
    EXPECT_EQ(f.bus.take(), (Strings{"5:R96x1", "5:W106=72," + low, "5:R106x2"}));
    EXPECT_TRUE(r.stopped);
    EXPECT_EQ(asked, 3);
    EXPECT_EQ(c.memory()[bytes::kSetTemperature], 72);
    EXPECT_EQ(c.memory()[bytes::kLcdMode], lcd) << "the row after the stop is never written";
    EXPECT_EQ(RowByte(r.row, bytes::kSetTemperature), 72);

    // A row after a read-back that failed is not written: the line is not trusted.
    c.faults().failFrom = c.requests() + 3; // the ZAPIS read and one write answer, its read-back not
    request.stop = nullptr;
    request.rows = {{bytes::kSetTemperature, 70}, {bytes::kLcdMode, 1}};
    const WriteBackResult failed = f.station.writeBack(5, request);
    EXPECT_EQ(Starts(failed), (Strings{"R96x1 reported", "W106x1", "R106x2 failed"}));
    EXPECT_FALSE(failed.ok);
}

TEST(StationWriteBack, AnAddressChangeIsAskedToldAndTheRowsFollowTheController)
{
    StationFixture f;
    sim::Controller& c = f.line.add(5);
    f.station.readModule(5);
    f.bus.clear();
    Strings told;
    WriteBackRequest request;
    request.newAddress = 9;
    request.rows = {{bytes::kSetTemperature, 71}};
    request.confirmAddressChange = [&](std::uint8_t old) {
        told.push_back("asked " + std::to_string(old));
        return true;
    };
    request.addressWritten = [&](bool moved) { told.push_back(moved ? "moved" : "not moved"); };
    request.addressConfirmed = [&] { told.push_back("confirmed"); };
    const WriteBackResult r = f.station.writeBack(5, request);
    EXPECT_EQ(told, (Strings{"asked 5", "moved", "confirmed"}));
    const std::string low = std::to_string(c.memory()[bytes::kSetTemperature + 1]);
    EXPECT_EQ(f.bus.take(), (Strings{"5:R96x1", "5:W96=0,9", "9:R96x2", "9:W106=71," + low, "9:R106x2"}));
    EXPECT_EQ(r.finalAddress, 9);
    EXPECT_EQ(c.address(), 9);
    EXPECT_EQ(RowByte(r.row, bytes::kSlaveAddress), 9) << "the row afterwards is the new address's";

    // Declined, or the address it already has: nothing but the rows.
    request.newAddress = 12;
    request.confirmAddressChange = [](std::uint8_t) { return false; };
    request.rows.clear();
    f.station.writeBack(9, request);
    request.newAddress = 9;
    f.station.writeBack(9, request);
    EXPECT_EQ(f.bus.take(), (Strings{"9:R96x1", "9:R96x1"}));
}

TEST(StationBusTest, EveryAddressIsAskedAndAControllerCountsOnlyWhenReadWhole)
{
    StationFixture f;
    f.line.add(3);
    f.line.add(12).faults().failFrom = 3; // answers the probe and one block read
    std::vector<int> steps;
    const BusTestResult r = f.station.busTest([&](const BusTestStep& s) {
        if (s.found || s.address == 12)
            steps.push_back(s.found ? s.address : -s.address);
    });
    EXPECT_EQ(r.found, (std::vector<std::uint8_t>{3}));
    EXPECT_EQ(steps, (std::vector<int>{3, -12}));
    ASSERT_NE(r.reportedFailure(), nullptr);
    EXPECT_EQ(r.reportedFailure()->address, 12);
    EXPECT_TRUE(f.station.lastAnswered()) << "a line that answered lets the next setting change be written";
}

TEST(StationProgramme, TheStateIsReadAfreshAndACommandWithoutItsFirstReadIsNotSent)
{
    StationFixture f;
    sim::Controller& c = f.line.add(5);
    for (const ProgrammeStep& step : kProgrammeSteps)
        c.memory()[step.firstByte] = step.step == 2 ? 4 : 0;
    c.memory()[bytes::kAutoStep] = 1;
    const ProgrammeState state = f.station.readProgrammeState(5);
    EXPECT_TRUE(state.running);
    EXPECT_EQ(state.activeSteps, 0) << "the steps are those of the image, not read here";
    f.station.readModule(5);
    EXPECT_EQ(f.station.readProgrammeState(5).activeSteps, 1);

    EXPECT_TRUE(f.station.programmeCommand(5).wrote());
    EXPECT_EQ(f.link.image.at(5, bytes::kAutoStartStop), 0) << "the image does not keep the command";
    c.faults().silent = true;
    const Result silent = f.station.programmeCommand(5);
    EXPECT_FALSE(silent.wrote());
    EXPECT_EQ(Starts(silent), (Strings{"R119x1 failed reported"}));
}
