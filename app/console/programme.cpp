// Starting and stopping the controller's automatic programme, and the reset.
#include "app/console/console.h"

namespace torv {

namespace {

constexpr const char* kStopCaption = "AUTOMAT: STOP!";
constexpr const char* kStopQuestion = "Czy zakończyć program automatu?";
constexpr const char* kStopped = "ZDALNE ZAKOŃCZENIE PROGRAMU AUTOMATU!";
constexpr const char* kStoppedCaption = "S T O P !";
constexpr const char* kStartCaption = "AUTOMAT: START!";
constexpr const char* kStartQuestion = "Czy uruchomić program automatu?";
constexpr const char* kStarted = "ZDALNE AKTYWOWANIE PROGRAMU AUTOMATU!";
constexpr const char* kStartedCaption = "S T A R T !";
constexpr const char* kNoSteps = "Brak aktywnych programów automatu!";
constexpr const char* kNoStepsCaption = "Program wyzerowany!";
constexpr const char* kResetQuestion = "Czy napewno chcesz zresetować moduł ?";
constexpr const char* kResetCaption = "RESET MODUŁU !!!";

} // namespace

void Console::toggleProgramme()
{
    const ProgrammeState state = station_.readProgrammeState(ActiveAddress);
    if (!state.ok)
        return;
    if (state.running) {
        if (!notifier_.question(kStopQuestion, kStopCaption))
            return;
        // Without an answer to its first read the command never left; that
        // read's box said why.
        if (!station_.programmeCommand(ActiveAddress).wrote())
            return;
        notifier_.notice(kStopped, kStoppedCaption);
    } else {
        if (!notifier_.question(kStartQuestion, kStartCaption))
            return;
        // The durations as the image holds them; they are not read anew.
        if (state.activeSteps == 0) {
            notifier_.notice(kNoSteps, kNoStepsCaption);
            return;
        }
        if (!station_.programmeCommand(ActiveAddress).wrote())
            return;
        notifier_.notice(kStarted, kStartedCaption);
    }
    station_.readProgramme(ActiveAddress);
    viewTemp();
}

void Console::resetModule()
{
    if (notifier_.question(kResetQuestion, kResetCaption))
        station_.reset(ActiveAddress);
}

} // namespace torv
