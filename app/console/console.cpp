#include "app/console/console.h"

#include <cstdio>

#include "controller/number_format.h"
#include "link/com_device.h"
#include "station/read_blk.h"
#include "texts/transaction_boxes.h"
#include "texts/window_texts.h"
#include "view/colours.h"
#include "view/status_indicators.h"
#include "view/view_data.h"
#include "view/view_temp.h"

namespace torv {

namespace {
constexpr Control kContactLink = controls::Label(11);
} // namespace

Console::Console(ModbusLink& link, SettingsFile& settingsFile, Notifier& notifier, Panel& panel)
    : separator(systemDecimalSeparator()), link_(link), settingsFile_(settingsFile), notifier_(notifier), panel_(panel)
{
    station_.onReportedFailure = [this](const Exchange& e) { ShowTransactionBox(notifier_, e.function, e.outcome); };
}

// ---- display updates -------------------------------------------------------

void Console::scannerIndicators() { panel_.apply(ScannerIndicators(ScanOn)); }

void Console::linkIndicator(const char* failureText) { panel_.apply(LinkIndicator(link_.ReplyOk, failureText)); }

void Console::errorCounterDisplay(const char* prefix, bool counting)
{
    if (counting && !link_.ReplyOk)
        ++ErrorCount; // 16-bit: 65535 + 1 wraps to 0
    panel_.apply(ErrorCounterDisplay(prefix, ErrorCount));
}

void Console::addressIndicator(bool ok)
{
    const int colour = ok ? colours::kBlue : colours::kRed;
    panel_.apply({SetValue(controls::Edit(1), Property::FontColor, colour),
                  SetText(controls::Label(37), ok ? texts::kAddressActive : texts::kAddressInactive),
                  SetValue(controls::Label(37), Property::FontColor, colour)});
}

// ---- views -----------------------------------------------------------------

void Console::View_Temp() { panel_.apply(torv::View_Temp(row(), separator)); }

void Console::View_Data()
{
    // The check box at the end of the fields may write the alarm byte; the
    // status controls then show that write's outcome.
    panel_.apply(View_Data_Fields(row(), separator));
    panel_.apply(View_Data_Status({ScanOn, link_.ReplyOk, ErrorCount}));
}

// ---- shared routines -------------------------------------------------------

void Console::measured(std::uint8_t address, bool ok)
{
    if (onMeasurement)
        onMeasurement(address, link_.image.row(address), ok);
}

void Console::Read_Data_Modul()
{
    if (!ScanOn) {
        if (station_.readModule(ActiveAddress).ok) {
            measured(ActiveAddress, true);
            View_Data();
            DataLoaded = true;
            ErrorCount = 0;
        } else {
            DataLoaded = false;
        }
    }
    scannerIndicators();
    Scan_ModBus();
    linkIndicator(texts::kLinkError);
    errorCounterDisplay(texts::kErrorsPrefixRead, true);
    addressIndicator(link_.ReplyOk);
}

void Console::Scan_ModBus()
{
    if (!ScanOn)
        return;
    const Result scan = station_.scan(ActiveAddress);
    if (scan.ok)
        View_Temp();
    // The log and the chart take only what this scan read.
    measured(ActiveAddress, scan.allAnswered());
    linkIndicator(texts::kScanLinkError);
    // Only the connection label of the scanner indicators.
    const ControlChanges scanner = ScannerIndicators(ScanOn);
    panel_.apply(ControlChanges(scanner.end() - 2, scanner.end()));
    errorCounterDisplay(texts::kErrorsPrefixScan, true);
}

// ---- start-up, scanning, port, exit ----------------------------------------

void Console::OpenCommClick()
{
    if (started_)
        return;
    started_ = true;
    PortSettings& s = settings();
    settingsFile_.LoadSettings(s);
    ActiveAddress = s.ModuleAddress;
    DataLoaded = false;
    panel_.apply({SetValue(controls::ComboBox(1), Property::ListIndex, s.BaudIndex),
                  SetValue(controls::ComboBox(2), Property::ListIndex, s.ComIndex),
                  SetValue(controls::ComboBox(3), Property::ListIndex, s.ParityIndex),
                  SetValue(controls::UpDown(1), Property::SpinnerPosition, s.ModuleAddress)});
    panel_.apply({SetText(controls::Edit(1), std::to_string(panel_.spinnerPosition(controls::UpDown(1))))});
    openPort();
    tellParityLeftOff();
    link_.DelayMs(20);
    Read_Data_Modul();
    ScanOn = link_.ReplyOk;
    scannerIndicators();
}

void Console::Button2Click()
{
    Read_Data_Modul();
    if (ScanOn)
        ScanOn = false;
    else if (link_.ReplyOk)
        ScanOn = true;
    scannerIndicators();
    Scan_ModBus();
}

void Console::Timer1Timer() { Scan_ModBus(); }

void Console::ComboBox2Change()
{
    settings().ComIndex = static_cast<std::uint8_t>(panel_.listIndex(controls::ComboBox(2)));
    SaveAndReopenPort();
}

void Console::SaveAndReopenPort()
{
    settingsFile_.SaveSettings(settings());
    link_.CloseHandle();
    openPort();
    tellParityLeftOff();
}

void Console::openPort()
{
    if (!link_.Ustaw_COM())
        ShowPortOpenFailure(notifier_, ComPortName(settings().ComIndex));
}

void Console::tellParityLeftOff()
{
    if (parityLeftOffTold_ || !link_.PortParityLeftOff())
        return;
    parityLeftOffTold_ = true;
    std::fprintf(stderr, "port %s (%s)%s\n", ComPortName(settings().ComIndex).c_str(), link_.deviceName().c_str(),
                 texts::kParityLeftOff);
}

void Console::Button5Click()
{
    if (!notifier_.question(texts::kExitQuestion, texts::kExitCaption))
        return;
    link_.CloseHandle();
    panel_.closeWindow();
}

void Console::Label11Click() { panel_.openLink(panel_.text(kContactLink)); }

ControlChanges Console::ContactLinkLook(bool hover)
{
    return {SetValue(kContactLink, Property::FontColor, hover ? colours::kRed : colours::kPurple),
            SetValue(kContactLink, Property::Underline, hover ? 1 : 0)};
}

void Console::Label11MouseEnter() { panel_.apply(ContactLinkLook(true)); }

void Console::Label11MouseLeave() { panel_.apply(ContactLinkLook(false)); }

// ---- bus test and address selection ----------------------------------------

void Console::Read_Data_AllModul()
{
    ScanOn = false;
    const std::uint8_t previous = ActiveAddress;
    FoundCount = 0;
    BusTested = false;
    FoundIndex = 0;
    FoundAddresses.clear();
    panel_.apply({SetValue(controls::ProgressBar1, Property::ProgressMax, kMaxAddress)});
    station_.busTest([&](const BusTestStep& step) {
        if (step.found) {
            measured(step.address, true);
            FoundAddresses.push_back(step.address);
            if (step.address == previous)
                FoundIndex = static_cast<std::uint8_t>(FoundAddresses.size() - 1);
            ++FoundCount;
        }
        panel_.apply({SetValue(controls::ProgressBar1, Property::ProgressStep, 1)});
        panel_.repaintNow();
    });
    if (FoundCount > 0) {
        BusTested = true;
        panel_.apply({SetValue(controls::Label(26), Property::FontColor, colours::kBlue),
                      SetText(controls::Label(26), texts::kBusTestOk + std::to_string(FoundCount))});
    } else {
        panel_.apply({SetText(controls::Label(26), texts::kBusTestNone)});
    }
    panel_.apply({SetValue(controls::ProgressBar1, Property::ProgressMax, 0)});
    scannerIndicators();
}

void Console::Button6Click() { Read_Data_AllModul(); }

void Console::Button4Click()
{
    if (!BusTested) {
        notifier_.notice(texts::kWaitBox, texts::kWaitCaption);
        panel_.apply({SetText(controls::Label(26), texts::kBusTestRunning)});
        panel_.repaintNow();
        Read_Data_AllModul();
        return;
    }
    FoundIndex = static_cast<std::uint8_t>(FoundIndex + 1);
    if (FoundIndex == FoundCount)
        FoundIndex = 0;
    if (FoundIndex >= FoundAddresses.size())
        return; // nothing found: BusTested would be false
    ActiveAddress = FoundAddresses[FoundIndex];
    settings().ModuleAddress = ActiveAddress;
    settingsFile_.SaveSettings(settings());
    View_Data();
}

void Console::UpDown1Click()
{
    PortSettings& s = settings();
    s.ModuleAddress = static_cast<std::uint8_t>(std::stoi("0" + panel_.text(controls::Edit(1))) & 0xFF);
    if (!station_.probe(s.ModuleAddress).ok) {
        addressIndicator(false);
        return;
    }
    ActiveAddress = s.ModuleAddress;
    settingsFile_.SaveSettings(s);
    if (!ScanOn) {
        link_.DelayMs(5);
        Read_Data_Modul();
        ScanOn = true;
        Scan_ModBus();
        ScanOn = false;
    } else {
        ScanOn = false;
        Read_Data_Modul();
        ScanOn = true;
        Scan_ModBus();
        // The scans go on: the indicators the module read painted off say so.
        scannerIndicators();
    }
    addressIndicator(true);
}

// ---- alarm switch ----------------------------------------------------------

void Console::CheckBox1Click() { Load_CheckBox(); }

void Console::Load_CheckBox() { station_.writeAlarm(ActiveAddress, panel_.checked(controls::CheckBox1)); }

} // namespace torv
