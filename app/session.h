#pragma once
#include "app/console/console.h"
#include "link/clock.h"
#include "link/modbus_link.h"
#include "link/port_settings.h"
#include "qt_notifier.h"
#include "serving_clock.h"
#include "settings/settings_file.h"

class TForm1;

// Everything the window owns for the whole run: the settings, the port and
// its transactions with the memory image, and the console state. The
// working directory holds the settings file and the COMn links.
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
    torv::Console console;

private:
    TForm1& form_;
};
