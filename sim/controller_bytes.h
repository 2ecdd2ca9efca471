#pragma once
#include <cstdint>

namespace torv::sim {

// Byte addresses of the controller memory that the simulator acts on.
namespace bytes {
inline constexpr std::uint8_t AddressHigh = 96;
inline constexpr std::uint8_t SlaveAddress = 97;
inline constexpr std::uint8_t BaudSet = 98;
inline constexpr std::uint8_t BaudCode = 99;
inline constexpr std::uint8_t ResetCounter = 100;
inline constexpr std::uint8_t AutoStep = 104;
inline constexpr std::uint8_t AutoHoursTotal = 105;
inline constexpr std::uint8_t SetTemperature = 106;
inline constexpr std::uint8_t SetDifference = 107;
inline constexpr std::uint8_t CalibrationT1 = 108; // T1..T4 at 108..111
inline constexpr std::uint8_t VentOpenTime = 112;
inline constexpr std::uint8_t VentOpenPause = 113;
inline constexpr std::uint8_t VentCloseTime = 114;
inline constexpr std::uint8_t VentClosePause = 115;
inline constexpr std::uint8_t HumidifyTime = 116;
inline constexpr std::uint8_t HumidifyPause = 117;
inline constexpr std::uint8_t HumidifyAlarmThreshold = 118;
inline constexpr std::uint8_t AutoStartStop = 119;
inline constexpr std::uint8_t AirHysteresis = 120;
inline constexpr std::uint8_t DifferenceHysteresis = 121;
inline constexpr std::uint8_t LcdMode = 122;
inline constexpr std::uint8_t LcdInfoTime1 = 123;
inline constexpr std::uint8_t LcdInfoTime2 = 124;
inline constexpr std::uint8_t AlarmBuzzer = 125;
inline constexpr std::uint8_t AutoHoursDone = 126;
inline constexpr std::uint8_t OutputBits = 127;
inline constexpr std::uint8_t StepHours = 128;      // step k (1..10) at 128 + 3(k-1)
inline constexpr std::uint8_t StepTemperature = 129;
inline constexpr std::uint8_t StepDifference = 130;
inline constexpr int kSteps = 10;
inline constexpr std::uint8_t TempDry = 160;        // big-endian words, raw = value * 10 + 500
inline constexpr std::uint8_t TempWet = 162;
inline constexpr std::uint8_t TempControl1 = 164;
inline constexpr std::uint8_t TempControl2 = 166;

inline constexpr std::uint8_t stepByte(int step, std::uint8_t first) { return static_cast<std::uint8_t>(first + 3 * (step - 1)); }
} // namespace bytes

// OutputBits
namespace outputs {
inline constexpr std::uint8_t VentClosing = 1u << 0;
inline constexpr std::uint8_t VentOpening = 1u << 1;
inline constexpr std::uint8_t Heating = 1u << 2;
inline constexpr std::uint8_t Humidifying = 1u << 3;
} // namespace outputs

// Baud codes of BaudSet / BaudCode: 1 = 19200, 2 = 9600, 3 = 4800; 0 for any other code.
unsigned baudOfCode(std::uint8_t code);
// The code of 19200, 9600 or 4800; 0 for any other rate.
std::uint8_t codeOfBaud(unsigned baud);

inline constexpr unsigned kMaxSlaveAddress = 250;

} // namespace torv::sim
