#pragma once
#include "app/console/console.h"
#include "files/drying_log_writer.h"
#include "link/clock.h"
#include "link/modbus_link.h"
#include "link/port_settings.h"
#include "monitor/bus_monitor.h"
#include "qt_notifier.h"
#include "serving_clock.h"
#include "settings/settings_file.h"

class TForm1;

// Everything the window owns for the whole run: the settings, the port and
// its transactions with the memory image, the drying log and the console
// state. The working directory holds the settings file, the COMn links and
// the drying log.
class Session {
public:
    explicit Session(TForm1& form);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    torv::PortSettings settings;
    ServingClock clock;
    QtNotifier notifier;
    torv::ModbusLink link;
    torv::SettingsFile settingsFile;
    // Every measurement under pomiary/ of the working directory; its
    // problems go to stderr, the last one kept in lastProblem().
    torv::drying_log::Writer dryingLog;
    torv::Console console;
    // Every frame on the line since start, for the bus monitor.
    torv::bus_monitor::Recorder busRecorder;

private:
    TForm1& form_;
};
