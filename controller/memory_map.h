#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "link/memory_image.h"

namespace torv {

// The bytes with a meaning of their own, under their names in the map, whose
// rows take their addresses from here.
namespace bytes {
inline constexpr int kAddressHigh = 96; // the address register is 96/97
inline constexpr int kSlaveAddress = 97;
inline constexpr int kBaudSet = 98;
inline constexpr int kBaudCode = 99;
inline constexpr int kResetCounter = 100;
inline constexpr int kAutoStep = 104;
inline constexpr int kAutoHoursTotal = 105;
inline constexpr int kSetTemperature = 106;
inline constexpr int kSetDifference = 107;
inline constexpr int kCalibrationT1 = 108;
inline constexpr int kCalibrationT2 = 109;
inline constexpr int kCalibrationT3 = 110;
inline constexpr int kCalibrationT4 = 111;
inline constexpr int kVentOpenTime = 112;
inline constexpr int kVentOpenPause = 113;
inline constexpr int kVentCloseTime = 114;
inline constexpr int kVentClosePause = 115;
inline constexpr int kHumidifyTime = 116;
inline constexpr int kHumidifyPause = 117;
inline constexpr int kHumidifyAlarmThreshold = 118;
inline constexpr int kAutoStartStop = 119;
inline constexpr int kAirHysteresis = 120;
inline constexpr int kDifferenceHysteresis = 121;
inline constexpr int kLcdMode = 122;
inline constexpr int kLcdInfoTime1 = 123;
inline constexpr int kLcdInfoTime2 = 124;
inline constexpr int kAlarmBuzzer = 125;
inline constexpr int kAutoHoursDone = 126;
inline constexpr int kOutputBits = 127;
inline constexpr int kProgramme = 128; // the ten steps, three bytes each
inline constexpr int kTempDry = 160;   // the temperatures are big-endian words
inline constexpr int kTempWet = 162;
inline constexpr int kTempControl1 = 164;
inline constexpr int kTempControl2 = 166;
} // namespace bytes

// How a byte of the controller's memory window is shown and written.
enum class Kind {
    Unused,          // read with the block, never shown or written
    AddressHigh,     // high byte of the address register, 0 whenever written
    WholeNumber,     // field showing the byte; written as round(v)
    Tenths,          // field showing byte x 0.1; written as round(v x 10)
    OffsetTenths,    // field showing (byte - 100) x 0.1; written as round(v x 10 + 100)
    List,            // list whose zero-based index is the byte
    BaudList,        // baud list showing item byte - 1 (as the controller reports it)
    BaudSet,         // baud code as a baud change writes it: list index + 1
    Counter,         // incremented and written to request a restart
    Flag,            // check box, non-zero = checked; written as 0 or 1
    Number,          // whole number inside a composite text (mode line)
    TemperatureWord, // big-endian word, (raw - 500) / 10 degrees
    BitField,        // actuator lamps
    Command,         // written with a fixed value, never shown
};

// The kinds whose byte the operator sees as a value of its own: a number, a
// list item, a tick or a temperature (a word by its first byte). The
// actuator lamps show the bits of OutputBits one by one.
constexpr bool ShowsValue(Kind kind)
{
    switch (kind) {
    case Kind::WholeNumber:
    case Kind::Tenths:
    case Kind::OffsetTenths:
    case Kind::List:
    case Kind::BaudList:
    case Kind::Flag:
    case Kind::Number:
    case Kind::TemperatureWord: return true;
    default: return false;
    }
}

// Number format (P, D); P = 0 for bytes that are not shown as numbers.
struct NumberFormat {
    int precision = 0;
    int digits = 0;
};

// Range of a byte's value in the map's units (see UnitValue): whole numbers,
// tenths, list indexes. `limited` is false where the value has no range.
struct ValueRange {
    bool limited = false;
    int min = 0;
    int max = 0;
    constexpr int clamp(int v) const { return !limited ? v : v < min ? min : v > max ? max : v; }
};

struct MapEntry {
    int byte;               // controller byte address 96..168
    std::string_view name;  // empty for bytes without a meaning
    Kind kind;
    NumberFormat format;
    ValueRange range;
    int writeBackRow = 0;     // its place 1..48 in ZAPIS's order; 0 when ZAPIS never writes it
    int setPlace = 0;         // its place 1..49 in a parameter set file; 0 when no set holds it
    bool lowByte = false;     // second byte of a temperature word
};

inline constexpr std::size_t kMapSize = static_cast<std::size_t>(kRowBytes);
using ImageRow = std::array<std::uint8_t, kRowBytes>;

// Every byte of the window 96..168, indexed by byte - 96.
const std::array<MapEntry, kMapSize>& MemoryMap();
// The entry of controller byte `byte` (96..168); throws std::out_of_range otherwise.
const MapEntry& MapAt(int byte);
// The entry named `name` (the first byte of a temperature word); nullptr when unknown.
const MapEntry* MapByName(std::string_view name);
// Whether the operator sees `entry`'s byte as a value of its own.
constexpr bool Shown(const MapEntry& entry) { return ShowsValue(entry.kind) && !entry.lowByte; }

// Byte `byte` (96..168) of an image row.
inline std::uint8_t RowByte(const ImageRow& row, int byte) { return row.at(static_cast<std::size_t>(byte - kFirstByte)); }

// The parameter write-back walks these rows in this order (the map's
// writeBackRow column).
struct WriteBackRow {
    int number;               // 1..48
    int byte;
    Kind kind;
};
inline constexpr std::size_t kWriteBackRows = 48;
// A byte and the value a write leaves in it.
struct ByteWrite {
    int byte;
    std::uint8_t value;
    bool operator==(const ByteWrite&) const = default;
};
const std::array<WriteBackRow, kWriteBackRows>& WriteBackTable();

// How many values each list byte has.
inline constexpr int kBaudListItems = 3;        // BaudCode
inline constexpr int kLcdModeItems = 3;         // LcdMode
inline constexpr int kHumidifyPauseItems = 109; // HumidifyPause
// What the values of list byte `byte` (BaudCode, LcdMode, HumidifyPause) stand
// for, index 0 first; empty for other bytes. A baud change (BaudSet) takes
// BaudCode's items.
std::vector<std::string> ListItemsOf(int byte);
// Item i of HumidifyPause: i x 10 minutes as h:mm ("0:00" ... "18:00").
std::string HumidifyPauseText(int index);

// The four actuator bits of OutputBits, each with the name of what it
// switches (the tiles and the monitor show it as it is).
struct OutputLamp {
    std::uint8_t mask;
    std::string_view caption;
};
inline constexpr std::array<OutputLamp, 4> kOutputLamps{{
    {0x08, "Nawilżanie"},
    {0x04, "Grzanie"},
    {0x02, "Otwarcie"},
    {0x01, "Zamknięcie"},
}};

// The ten programme steps: step k (1..10) holds its hours, temperature and
// difference (column 0, 1, 2) in the three bytes from ProgrammeByte(k, 0).
constexpr int ProgrammeByte(int step, int column) { return bytes::kProgramme + 3 * (step - 1) + column; }
struct ProgrammeStep {
    int step;
    std::string_view caption;
    int firstByte;
};
inline constexpr std::array<ProgrammeStep, 10> kProgrammeSteps{{
    {1, "Pr.1", ProgrammeByte(1, 0)},
    {2, "Pr.2", ProgrammeByte(2, 0)},
    {3, "Pr.3", ProgrammeByte(3, 0)},
    {4, "Pr.4", ProgrammeByte(4, 0)},
    {5, "Pr.5", ProgrammeByte(5, 0)},
    {6, "Pr.6", ProgrammeByte(6, 0)},
    {7, "Pr.7", ProgrammeByte(7, 0)},
    {8, "Pr.8", ProgrammeByte(8, 0)},
    {9, "Pr.9", ProgrammeByte(9, 0)},
    {10, "Pr10", ProgrammeByte(10, 0)},
}};

// The bytes a parameter set holds, in its file's order (the map's setPlace
// column): the parameters, then the programme step by step. Never the
// controller's address or line settings.
inline constexpr std::size_t kSetParameterCount = 19;
inline constexpr std::size_t kParameterSetBytes = kSetParameterCount + 3 * kProgrammeSteps.size();
const std::array<int, kParameterSetBytes>& ParameterSetBytes();
bool InParameterSet(int byte);

} // namespace torv
