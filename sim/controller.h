#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "sim/controller_bytes.h"
#include "sim/faults.h"

namespace torv::sim {

// One simulated drying-chamber controller: its byte memory, what it does with
// register writes, and a small chamber model.
//
// Start memory: address at 97 (96 = 0), baud code at 98 and 99, restart counter
// 100 = 0, set temperature 60 / difference 8, calibrations 100 (0.0), vent times
// 10/5/10/5, humidify 5 min with pause index 6 (1:00), alarm threshold 50 (5.0),
// hystereses 10/10 (1.0), LCD mode 1, info times 5/5, buzzer on, a programme of
// three steps (4 h 50/5, 6 h 60/8, 8 h 70/12), temperatures 25.0 dry / 20.0 wet.
//
// Writes: register 96 moves the controller to the address in its low byte
// (1..250, anything else is refused with exception 03). Register 119 with high
// byte 1 starts an idle programme that has hours or stops a running one; the
// command byte always reads 0. A change of byte 100 is a restart, which takes
// a baud code 1..3 from byte 98 into byte 99 and the line speed. Bytes the
// controller owns (99, 104, 105, 126, 127, 160..167) ignore writes, so a stale
// copy travelling as the other half of a register cannot corrupt them. Parity
// is not modelled: the controller takes any parity, and byte 100 is only a
// restart request.
class Controller {
public:
    explicit Controller(std::uint8_t address, std::uint8_t baudCode = 2);

    std::uint8_t address() const { return memory_[bytes::SlaveAddress]; }
    std::array<std::uint8_t, 256>& memory() { return memory_; }
    const std::array<std::uint8_t, 256>& memory() const { return memory_; }
    Faults& faults() { return faults_; }
    unsigned requests() const { return requests_; }
    void noteRequest() { ++requests_; }
    // Function 06 requests that reached this controller, taken or refused.
    unsigned writes() const { return writes_; }

    std::uint8_t baudCode() const { return memory_[bytes::BaudCode]; }
    // Line speed in baud; an unknown code leaves the controller at 9600.
    unsigned baudRate() const;
    unsigned restarts() const { return restarts_; }

    // Function 06 on register `reg`: returns 0 or the Modbus exception code.
    std::uint8_t writeRegister(unsigned reg, std::uint8_t high, std::uint8_t low);
    // Function 03 data: returns 0 and appends 2 * count bytes, or the exception code.
    std::uint8_t readRegisters(unsigned start, unsigned count, std::vector<std::uint8_t>& out) const;

    bool programmeRunning() const { return memory_[bytes::AutoStep] != 0; }
    void startStopProgramme();
    void restart();

    // Moves the chamber model on by dtUs of real time; the programme clock runs
    // hourSeconds real seconds per programme hour.
    void advanceModel(std::uint64_t dtUs, double hourSeconds);
    // True chamber temperatures in degrees Celsius (before calibration).
    void setTemperatures(double dry, double wet);
    double dry() const { return dry_; }
    double wet() const { return dry_ - difference_; }

private:
    void storeByte(std::uint8_t at, std::uint8_t value, bool highByte, bool& restart);
    void runProgrammeClock(std::uint64_t dtUs, double hourSeconds);
    void stepChamber(double seconds);
    void updateOutputs();
    void publishTemperatures();

    std::array<std::uint8_t, 256> memory_{};
    Faults faults_;
    unsigned requests_ = 0;
    unsigned writes_ = 0;
    unsigned restarts_ = 0;
    std::uint64_t programmeUs_ = 0; // programme time elapsed since its start
    double dry_ = 25.0;
    double difference_ = 5.0;       // dry minus wet
};

} // namespace torv::sim
