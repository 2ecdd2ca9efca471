// Programme start/stop and the module reset, on simulated controllers and a
// virtual clock; the requests are checked as the controller received them.
#include <gtest/gtest.h>

#include "bus_log.h"
#include "console_fixture.h"

using namespace torv::testing;
using Box = RecordingNotifier::Box;
using Strings = std::vector<std::string>;

namespace {

const Box kStopQuestion{"question", "Czy zakończyć program automatu?", "AUTOMAT: STOP!"};
const Box kStopped{"notice", "ZDALNE ZAKOŃCZENIE PROGRAMU AUTOMATU!", "S T O P !"};
const Box kStartQuestion{"question", "Czy uruchomić program automatu?", "AUTOMAT: START!"};
const Box kStarted{"notice", "ZDALNE AKTYWOWANIE PROGRAMU AUTOMATU!", "S T A R T !"};
const Box kNoSteps{"notice", "Brak aktywnych programów automatu!", "Program wyzerowany!"};
const Box kResetQuestion{"question", "Czy napewno chcesz zresetować moduł ?", "RESET MODUŁU !!!"};
const Box kNoAnswer{"notice", "Brak komunikacji z modułem !!!", "Uwaga !"};

// A controller at address 1; start() reads it as the tester's start-up does.
struct Chamber : ConsoleFixture {
    BusLog bus;
    torv::sim::Controller& c;

    Chamber() : c(line.add(1)) { bus.attach(line); }
    void start()
    {
        startAt(1);
        bus.clear();
        notifier.boxes.clear();
    }
    void clearDurations()
    {
        for (int step = 1; step <= 10; ++step)
            c.memory()[torv::sim::bytes::stepByte(step, torv::sim::bytes::StepHours)] = 0;
    }
};

TEST(Programme, StopWhileRunning)
{
    Chamber f;
    f.c.startStopProgramme();
    ASSERT_TRUE(f.c.programmeRunning());
    f.start();
    f.console.toggleProgramme();
    EXPECT_EQ(f.bus.take(), Strings({"1:R104x2", "1:R119x1", "1:W119=1,10", "1:R104x4"}));
    EXPECT_EQ(f.notifier.boxes, std::vector<Box>({kStopQuestion, kStopped}));
    EXPECT_FALSE(f.c.programmeRunning());
    EXPECT_EQ(f.ctl("Label44").text, "Praca ręczna sterownika!") << "repainted from the read after the command";
    EXPECT_EQ(f.link.image.at(1, 119), 0) << "the image follows the controller's cleared command byte";
}

TEST(Programme, StartCountsOnlyStepsWithADurationInTheImage)
{
    struct Case {
        const char* name;
        bool onlyStep10;   // else no step has a duration
        bool neverRead;    // the address's image was never filled
        Strings sent;
        std::vector<Box> boxes;
        bool running;
    };
    const Case cases[] = {
        {"no step", false, false, {"1:R104x2"}, {kStartQuestion, kNoSteps}, false},
        {"only step 10", true, false, {"1:R104x2", "1:R119x1", "1:W119=1,10", "1:R104x4"}, {kStartQuestion, kStarted}, true},
        {"image never filled", true, true, {"1:R104x2"}, {kStartQuestion, kNoSteps}, false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Chamber f;
        f.clearDurations(); // the temperatures of steps 1..3 stay set
        if (k.onlyStep10)
            f.c.memory()[155] = 2;
        if (k.neverRead) {
            f.line.find(1)->faults().silent = true;
            f.start();
            f.line.find(1)->faults().silent = false;
            f.notifier.boxes.clear();
        } else {
            f.start();
        }
        f.console.toggleProgramme();
        EXPECT_EQ(f.bus.take(), k.sent);
        EXPECT_EQ(f.notifier.boxes, k.boxes);
        EXPECT_EQ(f.c.programmeRunning(), k.running);
    }
}

TEST(Programme, CancelAndASilentControllerSendNothing)
{
    for (bool running : {false, true}) {
        Chamber f;
        if (running)
            f.c.startStopProgramme();
        f.start();
        f.notifier.answerOk = false;
        f.console.toggleProgramme();
        EXPECT_EQ(f.bus.take(), Strings{"1:R104x2"});
        EXPECT_EQ(f.notifier.boxes, std::vector<Box>{running ? kStopQuestion : kStartQuestion});
        EXPECT_EQ(f.c.programmeRunning(), running);
    }
    Chamber f;
    f.start();
    f.c.faults().silent = true;
    f.console.toggleProgramme();
    EXPECT_EQ(f.bus.take(), Strings{"1:R104x2"});
    EXPECT_EQ(f.notifier.boxes, std::vector<Box>{kNoAnswer}) << "no question after a failed read";
}

// Register 119 carries the air hysteresis as its low half.
TEST(Programme, TheCommandCarriesTheControllersOwnHysteresis)
{
    Chamber f;
    f.c.startStopProgramme();
    f.start();
    f.link.image.at(1, 120) = 0; // a stale copy
    f.console.toggleProgramme();
    EXPECT_EQ(f.bus.take(), Strings({"1:R104x2", "1:R119x1", "1:W119=1,10", "1:R104x4"}));
    EXPECT_EQ(f.c.memory()[120], 10);

    // Without an answer to that read the command is not sent at all, and
    // no notice claims it was: the read's own error box says what happened.
    Chamber g;
    g.c.startStopProgramme();
    g.start();
    g.c.faults().failFrom = g.c.requests() + 2;
    g.console.toggleProgramme();
    EXPECT_EQ(g.bus.take(), Strings({"1:R104x2", "1:R119x1"}));
    EXPECT_EQ(g.notifier.boxes, std::vector<Box>({kStopQuestion, kNoAnswer}));
    EXPECT_TRUE(g.c.programmeRunning());
}

TEST(Programme, AWriteBackAfterAStartDoesNotRepeatTheCommand)
{
    Chamber f;
    f.start();
    f.console.toggleProgramme();
    ASSERT_TRUE(f.c.programmeRunning());
    f.console.toggleScanning(); // scanning off for ZAPIS
    f.bus.clear();
    f.panel.at("Edit4").text = "2,5"; // P5, register 118 carries byte 119
    f.console.writeBack();
    Strings p5;
    for (const auto& r : f.bus.take())
        if (r.rfind("1:W118=", 0) == 0)
            p5.push_back(r);
    EXPECT_EQ(p5, Strings{"1:W118=25,0"});
    EXPECT_TRUE(f.c.programmeRunning());
    EXPECT_EQ(f.c.memory()[118], 25);
}

TEST(Reset, IncrementsTheFreshlyReadCounter)
{
    for (int counter : {7, 255}) {
        Chamber f;
        f.start();
        f.c.memory()[100] = static_cast<std::uint8_t>(counter);
        f.link.image.at(1, 100) = 42; // stale: the increment starts from the controller's value
        f.console.resetModule();
        const std::string next = std::to_string((counter + 1) % 256);
        EXPECT_EQ(f.bus.take(), Strings({"1:R100x2", "1:W100=" + next + ",0"}));
        EXPECT_EQ(f.notifier.boxes, std::vector<Box>{kResetQuestion});
        EXPECT_EQ(f.c.restarts(), 1u);
    }
}

TEST(Reset, CancelOrNoAnswerSendsNoRequest)
{
    Chamber f;
    f.start();
    f.notifier.answerOk = false;
    f.console.resetModule();
    EXPECT_TRUE(f.bus.take().empty());
    EXPECT_EQ(f.notifier.boxes, std::vector<Box>{kResetQuestion});

    f.notifier.answerOk = true;
    f.notifier.boxes.clear();
    f.c.faults().silent = true;
    f.console.resetModule();
    EXPECT_EQ(f.bus.take(), Strings{"1:R100x2"});
    EXPECT_EQ(f.notifier.boxes, std::vector<Box>({kResetQuestion, kNoAnswer}));
    EXPECT_EQ(f.c.restarts(), 0u);
}

} // namespace
