#include "controller/conversions.h"

#include <cmath>

namespace torv {

long long RoundHalfEven(double v)
{
    // Far beyond any field value; keeps the integer conversion defined.
    constexpr double kLimit = 1e15;
    if (std::isnan(v))
        return 0;
    if (v > kLimit)
        v = kLimit;
    if (v < -kLimit)
        v = -kLimit;
    const double lower = std::floor(v);
    const double fraction = v - lower;
    long long r = static_cast<long long>(lower);
    if (fraction > 0.5 || (fraction == 0.5 && (r % 2) != 0))
        ++r;
    return r;
}

std::uint8_t Low8(long long v)
{
    return static_cast<std::uint8_t>(static_cast<unsigned long long>(v) & 0xFFu);
}

double ShownValue(Kind kind, std::uint8_t byte)
{
    switch (kind) {
    case Kind::Tenths:
        return byte / 10.0;
    case Kind::OffsetTenths:
        return (byte - 100) / 10.0;
    default:
        return byte;
    }
}

std::uint8_t StoredByte(Kind kind, double value)
{
    switch (kind) {
    case Kind::Tenths:
        return Low8(RoundHalfEven(value * 10));
    case Kind::OffsetTenths:
        return Low8(RoundHalfEven(value * 10 + 100));
    case Kind::BaudSet:
        return Low8(RoundHalfEven(value) + 1);
    case Kind::Flag:
        return value != 0 ? 1 : 0;
    case Kind::AddressHigh:
        return 0;
    default:
        return Low8(RoundHalfEven(value));
    }
}

int UnitValue(const MapEntry& entry, std::uint8_t byte)
{
    switch (entry.kind) {
    case Kind::OffsetTenths: return byte - 100;
    case Kind::Flag: return FlagChecked(byte) ? 1 : 0;
    default: return byte;
    }
}

std::uint8_t StoredByteOfUnitValue(const MapEntry& entry, int value)
{
    return Low8(entry.kind == Kind::OffsetTenths ? value + 100 : value);
}

int ListIndexOf(Kind kind, std::uint8_t byte, int itemCount)
{
    const int index = kind == Kind::BaudList ? byte - 1 : byte;
    return index >= 0 && index < itemCount ? index : -1;
}

int SpinnerPosition(const MapEntry& entry, std::uint8_t byte)
{
    const int position = entry.kind == Kind::OffsetTenths ? byte - 100 : byte;
    return entry.range.clamp(position);
}

std::string TenthsText(int position, const std::string& separator)
{
    return FormatNumber(position / 10.0, 3, 1, separator);
}

std::string FieldText(const MapEntry& entry, std::uint8_t byte, const std::string& separator)
{
    if (entry.kind == Kind::Tenths || entry.kind == Kind::OffsetTenths)
        return TenthsText(SpinnerPosition(entry, byte), separator);
    return FormatNumber(ShownValue(entry.kind, byte), entry.format.precision, entry.format.digits, separator);
}

std::optional<std::uint8_t> StoredByteFromText(Kind kind, std::string_view text, const std::string& separator)
{
    if (kind != Kind::WholeNumber && kind != Kind::Tenths && kind != Kind::OffsetTenths)
        return std::nullopt;
    const std::optional<double> value = ParseNumber(text, separator);
    if (!value || !std::isfinite(*value))
        return std::nullopt;
    return StoredByte(kind, *value);
}

std::optional<std::uint8_t> FieldWriteByte(const MapEntry& entry, const std::string& text, std::uint8_t stored,
                                           const std::string& separator)
{
    if (text == FieldText(entry, stored, separator))
        return std::nullopt;
    return StoredByteFromText(entry.kind, text, separator);
}

double TemperatureValue(std::uint8_t high, std::uint8_t low)
{
    return (TemperatureRaw(high, low) - 500) / 10.0;
}

std::string DegreesText(double value, const std::string& separator)
{
    return FormatNumber(value, 4, 1, separator) + "°C";
}

} // namespace torv
