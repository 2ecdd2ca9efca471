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
    : link_(link), settingsFile_(settingsFile), notifier_(notifier), panel_(panel), separator_(systemDecimalSeparator())
{
    station_.onReportedFailure = [this](const Exchange& e) { ShowTransactionBox(notifier_, e.function, e.outcome); };
}

// ---- display updates -------------------------------------------------------

void Console::scannerIndicators() { panel_.apply(ScannerIndicators(ScanOn)); }

void Console::linkIndicator(const char* failureText)
{
    panel_.apply(LinkIndicator(station_.lastAnswered(), failureText));
}

void Console::errorCounterDisplay(const char* prefix, bool counting)
{
    if (counting && !station_.lastAnswered())
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

void Console::viewTemp() { panel_.apply(View_Temp(row(), separator_)); }

void Console::viewData()
{
    // The check box at the end of the fields may write the alarm byte; the
    // status controls then show that write's outcome.
    panel_.apply(View_Data_Fields(row(), separator_));
    panel_.apply(View_Data_Status({ScanOn, station_.lastAnswered(), ErrorCount}));
}

// ---- shared routines -------------------------------------------------------

void Console::measured(std::uint8_t address, bool ok)
{
    if (onMeasurement)
        onMeasurement(address, link_.image.row(address), ok);
}

void Console::readModule()
{
    if (!ScanOn) {
        if (station_.readModule(ActiveAddress).ok) {
            measured(ActiveAddress, true);
            viewData();
            DataLoaded = true;
            ErrorCount = 0;
        } else {
            DataLoaded = false;
        }
    }
    scannerIndicators();
    scan();
    linkIndicator(texts::kLinkError);
    errorCounterDisplay(texts::kErrorsPrefixRead, true);
    addressIndicator(station_.lastAnswered());
}

void Console::scan()
{
    if (!ScanOn)
        return;
    const Result scan = station_.scan(ActiveAddress);
    if (scan.ok)
        viewTemp();
    // The log and the chart take only what this scan read.
    measured(ActiveAddress, scan.allAnswered());
    linkIndicator(texts::kScanLinkError);
    // Only the connection label of the scanner indicators.
    const ControlChanges scanner = ScannerIndicators(ScanOn);
    panel_.apply(ControlChanges(scanner.end() - 2, scanner.end()));
    errorCounterDisplay(texts::kErrorsPrefixScan, true);
}

// ---- start-up, scanning, port, exit ----------------------------------------

void Console::start()
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
    readModule();
    ScanOn = station_.lastAnswered();
    scannerIndicators();
}

void Console::toggleScanning()
{
    readModule();
    if (ScanOn)
        ScanOn = false;
    else if (station_.lastAnswered())
        ScanOn = true;
    scannerIndicators();
    scan();
}

void Console::scanTick() { scan(); }

void Console::choosePort()
{
    settings().ComIndex = static_cast<std::uint8_t>(panel_.listIndex(controls::ComboBox(2)));
    saveAndReopenPort();
}

void Console::saveAndReopenPort()
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

void Console::quit()
{
    if (!notifier_.question(texts::kExitQuestion, texts::kExitCaption))
        return;
    link_.CloseHandle();
    panel_.closeWindow();
}

void Console::openContactLink() { panel_.openLink(panel_.text(kContactLink)); }

ControlChanges Console::ContactLinkLook(bool hover)
{
    return {SetValue(kContactLink, Property::FontColor, hover ? colours::kRed : colours::kPurple),
            SetValue(kContactLink, Property::Underline, hover ? 1 : 0)};
}

// ---- bus test and address selection ----------------------------------------

void Console::busTest()
{
    ScanOn = false;
    const std::uint8_t previous = ActiveAddress;
    BusTested = false;
    FoundIndex = 0;
    FoundAddresses.clear();
    panel_.apply({SetValue(controls::ProgressBar1, Property::ProgressMax, kMaxAddress)});
    station_.busTest([&](const BusTestStep& step) {
        if (step.found) {
            measured(step.address, true);
            FoundAddresses.push_back(step.address);
            if (step.address == previous)
                FoundIndex = FoundAddresses.size() - 1;
        }
        panel_.apply({SetValue(controls::ProgressBar1, Property::ProgressStep, 1)});
        panel_.repaintNow();
    });
    if (!FoundAddresses.empty()) {
        BusTested = true;
        panel_.apply({SetValue(controls::Label(26), Property::FontColor, colours::kBlue),
                      SetText(controls::Label(26), texts::kBusTestOk + std::to_string(FoundCount()))});
    } else {
        panel_.apply({SetText(controls::Label(26), texts::kBusTestNone)});
    }
    panel_.apply({SetValue(controls::ProgressBar1, Property::ProgressMax, 0)});
    scannerIndicators();
}

void Console::testBus() { busTest(); }

void Console::nextAddress()
{
    if (!BusTested) {
        notifier_.notice(texts::kWaitBox, texts::kWaitCaption);
        panel_.apply({SetText(controls::Label(26), texts::kBusTestRunning)});
        panel_.repaintNow();
        busTest();
        return;
    }
    // A bus test that found controllers leaves at least one address.
    FoundIndex = (FoundIndex + 1) % FoundCount();
    ActiveAddress = FoundAddresses[FoundIndex];
    settings().ModuleAddress = ActiveAddress;
    settingsFile_.SaveSettings(settings());
    viewData();
}

void Console::chooseAddress()
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
        readModule();
        ScanOn = true;
        scan();
        ScanOn = false;
    } else {
        ScanOn = false;
        readModule();
        ScanOn = true;
        scan();
        // The scans go on: the indicators the module read painted off say so.
        scannerIndicators();
    }
    addressIndicator(true);
}

// ---- alarm switch ----------------------------------------------------------

void Console::switchAlarm() { station_.writeAlarm(ActiveAddress, panel_.checked(controls::CheckBox1)); }

} // namespace torv
