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

using bytes::kAutoStartStop;
using bytes::kAutoStep;
using bytes::kResetCounter;

// Steps with a duration; temperature and difference alone do not make a step.
int ActiveSteps(const ImageRow& row)
{
    int n = 0;
    for (const ProgrammeStep& step : kProgrammeSteps)
        if (RowByte(row, step.firstByte) != 0)
            ++n;
    return n;
}

// The start/stop command: 1 in byte 119, which shares its register with the
// air hysteresis (120). That half is read first, so a stale or never-read
// copy cannot overwrite the controller's setting; without an answer nothing
// is sent, the read's error box says why, and false tells the caller not to
// announce a command that never left. The controller clears the command
// byte itself; the image follows it, or a later write of register 118 would
// carry the 1 and toggle the programme again.
bool ProgrammeCommand(ModbusLink& link, std::uint8_t address)
{
    link.Read_Modbus_Byte(address, kAutoStartStop, 1, true);
    if (!link.ReplyOk)
        return false;
    std::uint8_t& command = link.image.at(address, kAutoStartStop);
    command = 1;
    link.Load_Modbus_Byte(address, kAutoStartStop, false);
    command = 0;
    return true;
}

} // namespace

void Console::Button7Click()
{
    read(ActiveAddress, kAutoStep, 2, true);
    if (!link_.ReplyOk)
        return;
    const bool running = link_.image.at(ActiveAddress, kAutoStep) != 0;
    if (running) {
        if (!notifier_.question(kStopQuestion, kStopCaption))
            return;
        if (!ProgrammeCommand(link_, ActiveAddress))
            return;
        notifier_.notice(kStopped, kStoppedCaption);
    } else {
        if (!notifier_.question(kStartQuestion, kStartCaption))
            return;
        // The durations as the image holds them; they are not read anew.
        if (ActiveSteps(row()) == 0) {
            notifier_.notice(kNoSteps, kNoStepsCaption);
            return;
        }
        if (!ProgrammeCommand(link_, ActiveAddress))
            return;
        notifier_.notice(kStarted, kStartedCaption);
    }
    read(ActiveAddress, kAutoStep, 4, true);
    View_Temp();
}

void Console::Button1Click()
{
    if (!notifier_.question(kResetQuestion, kResetCaption))
        return;
    // Fresh, so the increment starts from the controller's own count.
    read(ActiveAddress, kResetCounter, 2, true);
    if (!link_.ReplyOk)
        return;
    ResetRequest();
}

} // namespace torv
