#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "controller/controls.h"
#include "link/memory_image.h"

namespace torv {

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

// Number format (P, D); P = 0 for bytes that are not shown as numbers.
struct NumberFormat {
    int precision = 0;
    int digits = 0;
};

// Range of the operator's control in its own units (spinner positions,
// list indexes). `limited` is false where the control has no range.
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
    std::string_view control; // window control showing the byte, empty when none
    std::string_view spinner; // its spinner, empty when none
    std::string_view hint;    // the field's hint text, empty when none
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
// The entry shown by `control` (field, list or check box); nullptr when none.
const MapEntry* MapByControl(std::string_view control);

// Byte `byte` (96..168) of an image row.
inline std::uint8_t RowByte(const ImageRow& row, int byte) { return row.at(static_cast<std::size_t>(byte - kFirstByte)); }

// The parameter write-back walks these rows in this order.
struct WriteBackRow {
    int number;               // 1..48
    int byte;
    std::string_view control;
    Kind kind;
};
inline constexpr std::size_t kWriteBackRows = 48;
const std::array<WriteBackRow, kWriteBackRows>& WriteBackTable();

// Items of the lists that show controller bytes, index 0 first.
inline constexpr int kBaudListItems = 3;       // ComboBox1
inline constexpr int kLcdModeItems = 3;        // ComboBox4
inline constexpr int kHumidifyPauseItems = 109; // ComboBox5
// The items of `control` ("ComboBox1", "ComboBox4", "ComboBox5"); empty for other names.
std::vector<std::string> ListItems(std::string_view control);
// Item i of ComboBox5: i x 10 minutes as h:mm ("0:00" ... "18:00").
std::string HumidifyPauseText(int index);

// The measured bytes, by their names in the map: the decoders and the
// drying log read the same places.
namespace measured {
inline constexpr int kAutoStep = 104;
inline constexpr int kAutoHoursTotal = 105;
inline constexpr int kSetTemperature = 106;
inline constexpr int kSetDifference = 107;
inline constexpr int kLcdMode = 122;
inline constexpr int kAutoHoursDone = 126;
inline constexpr int kOutputBits = 127;
inline constexpr int kTempDry = 160;
inline constexpr int kTempWet = 162;
inline constexpr int kTempControl1 = 164;
inline constexpr int kTempControl2 = 166;
} // namespace measured

// The four actuator lamps of OutputBits (byte 127).
struct OutputLamp {
    std::uint8_t mask;
    Control label;
    std::string_view caption;
};
inline constexpr std::array<OutputLamp, 4> kOutputLamps{{
    {0x08, controls::Label(24), "Nawilżanie"},
    {0x04, controls::Label(39), "Grzanie"},
    {0x02, controls::Label(17), "Otwarcie"},
    {0x01, controls::Label(18), "Zamknięcie"},
}};

// The ten programme steps: step k uses bytes 128 + 3(k-1) .. 130 + 3(k-1).
struct ProgrammeStep {
    int step;
    Control label;
    std::string_view caption;
    int firstByte;
};
inline constexpr std::array<ProgrammeStep, 10> kProgrammeSteps{{
    {1, controls::Label(48), "Pr.1", 128},
    {2, controls::Label(55), "Pr.2", 131},
    {3, controls::Label(56), "Pr.3", 134},
    {4, controls::Label(57), "Pr.4", 137},
    {5, controls::Label(58), "Pr.5", 140},
    {6, controls::Label(59), "Pr.6", 143},
    {7, controls::Label(60), "Pr.7", 146},
    {8, controls::Label(61), "Pr.8", 149},
    {9, controls::Label(62), "Pr.9", 152},
    {10, controls::Label(63), "Pr10", 155},
}};

} // namespace torv
