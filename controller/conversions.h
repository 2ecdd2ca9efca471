#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "controller/memory_map.h"
#include "controller/number_format.h"

namespace torv {

// Nearest integer, a half going to the even neighbour.
long long RoundHalfEven(double v);
// The low 8 bits of a value, as a byte keeps it (-1 -> 255, 256 -> 0).
std::uint8_t Low8(long long v);

// Stored byte -> the value shown, for the numeric kinds (WholeNumber, Number,
// Tenths, OffsetTenths); other kinds show the byte itself.
double ShownValue(Kind kind, std::uint8_t byte);

// Operator value -> stored byte. For List the value is the selected index
// (-1 when nothing is selected, stored as 255); for BaudSet the baud list
// index; for Flag non-zero means checked; AddressHigh is always 0.
std::uint8_t StoredByte(Kind kind, double value);

// A stored byte as a whole number in the map's units (its ValueRange's): the
// number itself, tenths (byte - 100 for OffsetTenths), a list index, 0 or 1
// for a flag; and back to the byte.
int UnitValue(const MapEntry& entry, std::uint8_t byte);
std::uint8_t StoredByteOfUnitValue(const MapEntry& entry, int value);

// The list item a byte selects, or -1 for none (List: index = byte,
// BaudList: index = byte - 1), given how many items the list holds.
int ListIndexOf(Kind kind, std::uint8_t byte, int itemCount);
inline bool FlagChecked(std::uint8_t byte) { return byte != 0; }

// Where a tenths field's spinner stands for a stored byte: the byte in tenths
// (minus 100 for offset fields), held within the spinner's range.
int SpinnerPosition(const MapEntry& entry, std::uint8_t byte);
// A tenths spinner position as its field shows it, format (3, 1).
std::string TenthsText(int position, const std::string& separator = systemDecimalSeparator());

// The text of the field showing `entry`: whole numbers as the byte in the
// entry's format, tenths fields from the clamped spinner position.
std::string FieldText(const MapEntry& entry, std::uint8_t byte,
                      const std::string& separator = systemDecimalSeparator());

// The byte to store for the text a field shows (write-back); nullopt when the
// text is not a number. Only numeric field kinds are read from text.
std::optional<std::uint8_t> StoredByteFromText(Kind kind, std::string_view text,
                                               const std::string& separator = systemDecimalSeparator());

// The byte ZAPIS writes for a field showing `text`, or nothing: not a
// number, or exactly what the view made of the stored byte. Such a text may
// be rounded ("1,2E2" for 123) or clamped, and read back it would overwrite
// the controller's value with another one.
std::optional<std::uint8_t> FieldWriteByte(const MapEntry& entry, const std::string& text, std::uint8_t stored,
                                           const std::string& separator = systemDecimalSeparator());

// Temperature word: raw = high x 256 + low; (raw - 500) / 10 degrees.
inline int TemperatureRaw(std::uint8_t high, std::uint8_t low) { return high * 256 + low; }
double TemperatureValue(std::uint8_t high, std::uint8_t low);
// A temperature as the labels show it: format (4, 1) directly followed by "°C".
std::string DegreesText(double value, const std::string& separator = systemDecimalSeparator());

} // namespace torv
