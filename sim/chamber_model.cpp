// The chamber behind a simulated controller: the programme clock, two
// thermometers drifting toward what the actuators push them to, and the
// actuator bits switched with the controller's hystereses. Deliberately crude:
// it only has to look alive on the tester's screen. The vent bits follow the
// chamber state, not the P1..P4 pulse and pause times.
#include <algorithm>
#include <cmath>

#include "sim/controller.h"

namespace torv::sim {

namespace {

struct ChamberRates {
    double ambient = 20.0;          // degrees C the chamber cools toward
    double cooling = 0.004;         // per second, share of the gap to ambient
    double heating = 0.25;          // degrees C per second while heating
    double ventCooling = 0.05;      // degrees C per second while the vent is open
    double drying = 0.02;           // difference gain per second (evaporation, open vent)
    double humidifying = 0.15;      // difference loss per second while humidifying
    double naturalDifference = 3.0; // the difference a closed, idle chamber settles to
};
constexpr ChamberRates kRates{};

// Longest stretch of chamber time integrated per call; beyond it the chamber has settled anyway.
constexpr double kMostModelSeconds = 3600.0;
constexpr double kModelStepSeconds = 1.0;

double tenths(std::uint8_t b) { return b * 0.1; }

void putWord(std::array<std::uint8_t, 256>& m, std::uint8_t at, double celsius)
{
    const long raw = std::clamp(std::lround(celsius * 10.0) + 500L, 0L, 65535L);
    m[at] = static_cast<std::uint8_t>(raw >> 8);
    m[at + 1] = static_cast<std::uint8_t>(raw & 0xFF);
}

} // namespace

void Controller::setTemperatures(double dry, double wet)
{
    dry_ = dry;
    difference_ = std::max(0.0, dry - wet);
    updateOutputs();
    publishTemperatures();
}

void Controller::advanceModel(std::uint64_t dtUs, double hourSeconds)
{
    if (programmeRunning())
        runProgrammeClock(dtUs, hourSeconds);
    double seconds = std::min(static_cast<double>(dtUs) / 1e6, kMostModelSeconds);
    while (seconds > 0.0) {
        const double step = std::min(seconds, kModelStepSeconds);
        stepChamber(step);
        updateOutputs();
        seconds -= step;
    }
    publishTemperatures();
}

void Controller::runProgrammeClock(std::uint64_t dtUs, double hourSeconds)
{
    programmeUs_ += dtUs;
    const auto hourUs = static_cast<std::uint64_t>(std::max(hourSeconds, 0.001) * 1e6);
    const std::uint64_t hoursDone = programmeUs_ / hourUs;

    // Hours are re-read every time, so a programme edited while it runs takes effect at once.
    unsigned total = 0;
    int current = 0;
    for (int step = 1; step <= bytes::kSteps; ++step) {
        const unsigned hours = memory_[bytes::stepByte(step, bytes::StepHours)];
        total += hours;
        if (current == 0 && hours != 0 && hoursDone < total)
            current = step;
    }
    // Bytes saturate: ten steps of 99 h do not fit in one.
    memory_[bytes::AutoHoursTotal] = static_cast<std::uint8_t>(std::min(total, 255u));
    memory_[bytes::AutoHoursDone] = static_cast<std::uint8_t>(std::min<std::uint64_t>(hoursDone, 255u));
    memory_[bytes::AutoStep] = static_cast<std::uint8_t>(current);
    if (current != 0) {
        memory_[bytes::SetTemperature] = memory_[bytes::stepByte(current, bytes::StepTemperature)];
        memory_[bytes::SetDifference] = memory_[bytes::stepByte(current, bytes::StepDifference)];
    }
}

void Controller::stepChamber(double s)
{
    const std::uint8_t out = memory_[bytes::OutputBits];
    dry_ += (kRates.ambient - dry_) * kRates.cooling * s;
    if (out & outputs::Heating)
        dry_ += kRates.heating * s;
    if (out & outputs::VentOpening)
        dry_ -= kRates.ventCooling * s;

    if (out & outputs::Humidifying)
        difference_ -= kRates.humidifying * s;
    else if (out & outputs::VentOpening)
        difference_ += kRates.drying * s;
    else
        difference_ += (kRates.naturalDifference - difference_) * kRates.drying * s;
    difference_ = std::clamp(difference_, 0.0, std::max(0.0, dry_ + 50.0));
}

void Controller::updateOutputs()
{
    const double set = memory_[bytes::SetTemperature];
    const double setDifference = memory_[bytes::SetDifference];
    const double airHysteresis = tenths(memory_[bytes::AirHysteresis]);
    const double differenceHysteresis = tenths(memory_[bytes::DifferenceHysteresis]);
    const std::uint8_t before = memory_[bytes::OutputBits];

    // Each actuator switches on beyond its hysteresis band and off once the set value is reached.
    auto band = [](bool wasOn, bool switchOn, bool switchOff) { return switchOn || (wasOn && !switchOff); };
    const bool heating = band(before & outputs::Heating, dry_ < set - airHysteresis, dry_ >= set);
    const bool humidifying = band(before & outputs::Humidifying, difference_ > setDifference + differenceHysteresis,
                                  difference_ <= setDifference);
    // Open the vent when the air is too hot or too humid, close it while heating or humidifying.
    const bool opening = band(before & outputs::VentOpening,
                              dry_ > set + airHysteresis || difference_ < setDifference - differenceHysteresis,
                              dry_ <= set && difference_ >= setDifference);
    const bool closing = !opening && (heating || humidifying);

    std::uint8_t out = 0;
    if (heating)
        out |= outputs::Heating;
    if (humidifying)
        out |= outputs::Humidifying;
    if (opening)
        out |= outputs::VentOpening;
    if (closing)
        out |= outputs::VentClosing;
    memory_[bytes::OutputBits] = out;
}

void Controller::publishTemperatures()
{
    // Calibrations are offsets in tenths around 100.
    auto calibrated = [this](double value, int probe) {
        return value + (memory_[bytes::CalibrationT1 + probe] - 100) * 0.1;
    };
    putWord(memory_, bytes::TempDry, calibrated(dry_, 0));
    putWord(memory_, bytes::TempWet, calibrated(wet(), 1));
    putWord(memory_, bytes::TempControl1, calibrated(dry_ - 0.4, 2));
    putWord(memory_, bytes::TempControl2, calibrated(wet() - 0.3, 3));
}

} // namespace torv::sim
