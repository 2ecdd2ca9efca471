#pragma once
#include <array>
#include <optional>
#include <string>

#include "files/drying_log.h"
#include "quantities/moisture.h"

namespace torv::plant {

// What the overview shows of one chamber, as text: toolkit-free so every
// view of the plant says the same.
struct ChamberTile {
    std::string title;        // the chamber's name
    std::string address;      // "adres 3"
    std::string dry, wet;     // "T suchy 63,5 °C"
    std::string humidity;     // "RH 58 %", "RH –" without a value
    std::string woodMoisture; // "EMC 8,4 %", "EMC –"
    std::string difference;   // "Różnica 4,25 °C (zad. 5 °C)"
    std::string setTemperature;
    std::string programme;    // manual operation, or the step with its hours and estimated end
    struct Actuator {
        std::string caption;
        bool on;
    };
    std::array<Actuator, 4> actuators{};
    std::string lastAnswer;   // when it last answered, or that it never has
    bool stale = true;        // the values are not from the last scan (or there are none)
};

// The tile of chamber `name` at `address` from its last answered scan (none
// yet: empty values) and whether the latest scan was answered; `separator`
// is the decimal one, `conditions` the chamber's psychrometer.
ChamberTile TileOf(const std::string& name, int address, const std::optional<drying_log::Row>& lastAnswered,
                   bool latestAnswered, const std::string& separator = ",",
                   const quantities::Conditions& conditions = {});

// `time` moved by whole hours, its offset kept (so approximate across a
// clock change, as the controller's whole hours are anyway).
drying_log::LocalTime AddHours(const drying_log::LocalTime& time, int hours);

// "63,5" from 635 tenths, "-0,5" from -5.
std::string TenthsNumber(int tenths, const std::string& separator = ",");

} // namespace torv::plant
