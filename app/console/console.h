#pragma once
#include <cstddef>
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
#include "texts/console_texts.h"
#include "texts/notifier.h"

namespace torv {

// The operator console without the widget toolkit: the program-wide state of
// the main window and what the operator can ask of it. Each request gathers
// what the controls show, has the station do the line work, paints the
// result and asks or tells the operator. Every request runs to its end; bus
// work blocks in the transactions.
class Console {
public:
    Console(ModbusLink& link, SettingsFile& settingsFile, Notifier& notifier, Panel& panel);

    // Start-up, once: the saved settings shown, the port opened, the module
    // read, and scanning on when it answered.
    void start();
    // START/STOP: the module read anew, then scanning switched.
    void toggleScanning();
    // The periodic tick: a measurement scan while scanning is on.
    void scanTick();
    // The port list changed: saved, and the port reopened.
    void choosePort();
    // Asked first; the port closed and the window with it.
    void quit();
    // The contact link handed to the desktop, and its look under the pointer.
    void openContactLink();
    static ControlChanges ContactLinkLook(bool hover);
    // Every address asked; the found ones become the address list.
    void testBus();
    // The next found address made active (the bus tested first when it was not).
    void nextAddress();
    // The address the address field shows, made active when a controller answers there.
    void chooseAddress();
    // The alarm tick written to the controller (also when a refresh changes the tick).
    void switchAlarm();
    // ZAPIS: the address change and the edited rows written, each read back.
    void writeBack();
    // The module's baud rate and parity lists: asked, written, the port follows.
    void changeModuleBaud();
    void changeModuleParity();
    // The controller's programme started or stopped, as it stands.
    void toggleProgramme();
    // The controller restarted, asked first.
    void resetModule();
    // A parameter spinner has moved: its field shows the new position (tenths
    // spinners in tenths).
    void spinnerMoved(Control spinner);
    // The field `spinner` rewrites when at `position`; nothing for a spinner
    // no field of the memory map is attached to.
    static ControlChanges SpinnerField(Control spinner, int position, const std::string& separator);

    // Parameter sets. Saving takes what the parameter and programme controls
    // show now; loading moves them as the operator would and sends nothing
    // but a changed alarm tick: ZAPIS then writes what differs. Whether
    // either may start now (a module read first; loading also with scanning
    // off, since a scan repaints the programme); the notice says why not.
    bool parameterSaveAllowed();
    bool parameterLoadAllowed();
    // True when the file was written, or taken into the controls.
    bool saveParameterSet(const std::string& path);
    bool loadParameterSet(const std::string& path);

    // What the window holds for the whole run.
    bool scanning() const { return ScanOn; }
    // The active controller's memory was read whole since it became active.
    bool dataLoaded() const { return DataLoaded; }
    std::uint16_t errorCount() const { return ErrorCount; }
    std::uint8_t activeAddress() const { return ActiveAddress; }
    // A bus test found controllers; the addresses it found, in address order.
    bool busTested() const { return BusTested; }
    const std::vector<std::uint8_t>& foundAddresses() const { return FoundAddresses; }
    // Where the active address stands among them (0 when it is not there).
    std::size_t foundIndex() const { return FoundIndex; }

    // Decimal separator of every number shown or read (the locale's by default).
    const std::string& separator() const { return separator_; }
    void useSeparator(const std::string& separator) { separator_ = separator; }

    PortSettings& settings() { return link_.settings(); }
    ModbusLink& link() { return link_; }
    Station& station() { return station_; }

    // Told of every measurement scan, answered (`ok`) or not, and of every
    // block read that succeeded, with the controller's image row; the drying
    // log hangs here. It must not touch the bus.
    using MeasurementObserver = std::function<void(std::uint8_t address, const ImageRow& row, bool ok)>;
    MeasurementObserver onMeasurement;

private:
    const ImageRow& row() const { return link_.image.row(ActiveAddress); }
    void readModule();
    void scan();
    void busTest();
    void viewTemp();
    void viewData();
    // The end of every port, baud or parity change: remember it, reopen the port.
    void saveAndReopenPort();
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
    std::string separator_;
    bool ScanOn = false;
    bool DataLoaded = false;
    std::uint16_t ErrorCount = 0;
    std::uint8_t ActiveAddress = 1;
    std::vector<std::uint8_t> FoundAddresses;
    // The bus test's count of found controllers: the list's length, never kept apart from it.
    std::size_t FoundCount() const { return FoundAddresses.size(); }
    std::size_t FoundIndex = 0;
    bool BusTested = false;
    bool started_ = false;
    bool parityLeftOffTold_ = false;
};

} // namespace torv
