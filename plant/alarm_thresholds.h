#pragma once
#include <array>
#include <string_view>

namespace torv::plant {

// When the plant's alarms are raised; kept with the chamber list. Temperatures
// in tenths of a degree, as the drying log holds them.
struct AlarmThresholds {
    int noCommunicationScans = 3; // failed scans in a row
    int deviationTenths = 50;     // T suchy this far from TEMP zadana while a programme runs ...
    int deviationMinutes = 30;    // ... for longer than this
    int sensorLowTenths = -400;   // a reading below this cannot be real
    int sensorHighTenths = 1500;  // nor one above this
    int wetAboveDryTenths = 20;   // T mokry above T suchy by more than this ...
    int wetAboveDryScans = 3;     // ... in this many scans in a row
    bool operator==(const AlarmThresholds&) const = default;
};

// One threshold as the chamber list file holds it: its key, the field, the
// range it must lie in, and whether the file gives it in degrees with one
// decimal (tenths inside) rather than as a whole number.
struct ThresholdField {
    std::string_view key;
    int AlarmThresholds::*field;
    int min, max;
    bool degrees;
};
inline constexpr std::array<ThresholdField, 7> kThresholdFields{{
    {"noCommunicationScans", &AlarmThresholds::noCommunicationScans, 1, 100, false},
    {"deviationCelsius", &AlarmThresholds::deviationTenths, 5, 500, true},
    {"deviationMinutes", &AlarmThresholds::deviationMinutes, 1, 1440, false},
    {"sensorLowCelsius", &AlarmThresholds::sensorLowTenths, -500, 0, true},
    {"sensorHighCelsius", &AlarmThresholds::sensorHighTenths, 500, 3000, true},
    {"wetAboveDryCelsius", &AlarmThresholds::wetAboveDryTenths, 0, 200, true},
    {"wetAboveDryScans", &AlarmThresholds::wetAboveDryScans, 1, 100, false},
}};

} // namespace torv::plant
