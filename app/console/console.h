#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/console/panel.h"
#include "controller/memory_map.h"
#include "files/parameter_set.h"
#include "link/modbus_link.h"
#include "link/port_settings.h"
#include "settings/settings_file.h"
#include "station/station.h"
#include "texts/bus_texts.h"
#include "texts/notifier.h"

namespace torv {

namespace texts {
inline constexpr const char* kAddressActive = "Adr.aktywny";
inline constexpr const char* kAddressInactive = "Adr.nieaktywny";
inline constexpr const char* kExitQuestion = "Czy zakończyć program?";
inline constexpr const char* kExitCaption = "Koniec pracy...";
inline constexpr const char* kBusTestRunning = "Trwa test sieci MODBUS, proszę czekać....";
inline constexpr const char* kWaitBox = "Automatyczne testowanie magistrali ModBUS...";
inline constexpr const char* kWaitCaption = "Proszę czekać !!!";
inline constexpr const char* kNotLoaded = "Nie wczytano danych z modułu !!!";
inline constexpr const char* kScanningOn = "Wyłącz skanowanie wyników pomiarów !!!";
} // namespace texts

// The operator console without the widget toolkit: the program-wide state of
// the main window and its handlers. A handler gathers what the controls
// show, has the station do the line work, paints the result and asks or
// tells the operator. Every handler runs to its end; bus work blocks in the
// transactions.
class Console {
public:
    Console(ModbusLink& link, SettingsFile& settingsFile, Notifier& notifier, Panel& panel);

    // State owned by the window for the whole run.
    bool ScanOn = false;
    bool DataLoaded = false;
    std::uint16_t ErrorCount = 0;
    std::uint8_t ActiveAddress = 1;
    std::vector<std::uint8_t> FoundAddresses;
    std::uint8_t FoundCount = 0;
    std::uint8_t FoundIndex = 0;
    bool BusTested = false;

    // Decimal separator of every number shown or read (the locale's).
    std::string separator;

    PortSettings& settings() { return link_.settings(); }
    ModbusLink& link() { return link_; }
    Station& station() { return station_; }

    // Start-up, scanning, port, exit, contact link.
    void OpenCommClick();
    void Button2Click();
    void Timer1Timer();
    void ComboBox2Change();
    void Button5Click();
    void Label11Click();
    void Label11MouseEnter();
    void Label11MouseLeave();
    // The contact link's look: red and underlined under the pointer, else purple.
    static ControlChanges ContactLinkLook(bool hover);
    // Bus test and address selection.
    void Button6Click();
    void Button4Click();
    void UpDown1Click();
    // The alarm check box (also run when a refresh changes its tick).
    void CheckBox1Click();
    // Write-back, module baud rate and parity, programme start/stop, reset.
    void Button3Click();
    void ComboBox1Change();
    void ComboBox3Change();
    void Button7Click();
    void Button1Click();
    // Parameter sets. Saving takes what the parameter and programme controls
    // show now; loading moves them as the operator would and sends nothing
    // but a changed alarm tick: ZAPIS then writes what differs. Whether
    // either may start now (a module read first; loading also with scanning
    // off, since a scan repaints the programme); the notice says why not.
    bool ParameterSaveAllowed();
    bool ParameterLoadAllowed();
    // True when the file was written, or taken into the controls.
    bool SaveParameterSet(const std::string& path);
    bool LoadParameterSet(const std::string& path);
    // Spinner click handlers, run after the spinner has moved; the tenths
    // ones rewrite their field from the position.
    void UpDown2Click();
    void UpDown4Click();
    void UpDown5Click();
    void UpDown6Click();
    void UpDown7Click();
    void UpDown8Click();
    void UpDown9Click();
    void UpDown10Click();
    void UpDown11Click();
    void UpDown12Click();
    void UpDown14Click();

    void Read_Data_Modul();
    void Scan_ModBus();
    void Read_Data_AllModul();
    void View_Temp();
    void View_Data();
    void Load_CheckBox();
    // Told of every measurement scan, answered (`ok`) or not, and of every
    // block read that succeeded, with the controller's image row; the drying
    // log hangs here. It must not touch the bus.
    using MeasurementObserver = std::function<void(std::uint8_t address, const ImageRow& row, bool ok)>;
    MeasurementObserver onMeasurement;
    // Asked by ZAPIS before each row's write and before its final read, so
    // after the read-back of the row before: true ends the write-back there.
    // For a caller without a window that is told to stop; the window never sets it.
    std::function<bool()> writeBackCancelled;

private:
    const ImageRow& row() const { return link_.image.row(ActiveAddress); }
    // The end of every port, baud or parity change: remember it, reopen the port.
    void SaveAndReopenPort();
    // Opens the settings' port; one that cannot be had is beeped and boxed.
    void openPort();
    // Once a run, on stderr: a port opened without the parity chosen.
    void tellParityLeftOff();
    void scannerIndicators();
    void linkIndicator(const char* failureText);
    void errorCounterDisplay(const char* prefix, bool counting);
    void addressIndicator(bool ok);
    void measured(std::uint8_t address, bool ok);

    ModbusLink& link_;
    Station station_{link_};
    SettingsFile& settingsFile_;
    Notifier& notifier_;
    Panel& panel_;
    bool started_ = false;
    bool parityLeftOffTold_ = false;
};

} // namespace torv
