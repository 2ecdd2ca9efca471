#include "controller/number_format.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <QLocale>

namespace torv {

namespace {

// A rounded decimal: digits d1 d2 ... (no leading or trailing zeros) meaning
// d1.d2... x 10^exponent; no digits means zero.
struct Decimal {
    bool negative = false;
    std::string digits;
    int exponent = 0;
};

std::string printed(const char* format, int digits, double value)
{
    const int n = std::snprintf(nullptr, 0, format, digits, value);
    std::vector<char> buffer(static_cast<std::size_t>(n) + 1);
    std::snprintf(buffer.data(), buffer.size(), format, digits, value);
    return std::string(buffer.data(), static_cast<std::size_t>(n));
}

void trimTrailingZeros(Decimal& d)
{
    while (!d.digits.empty() && d.digits.back() == '0')
        d.digits.pop_back();
}

// `value` rounded to `decimals` places.
Decimal roundedToDecimals(double value, int decimals)
{
    const std::string text = printed("%.*f", decimals, value);
    Decimal d;
    std::size_t i = 0;
    if (text[i] == '-') {
        d.negative = true;
        ++i;
    }
    const std::size_t point = text.find('.', i);
    const std::string intPart = text.substr(i, point == std::string::npos ? std::string::npos : point - i);
    const std::string all = intPart + (point == std::string::npos ? std::string() : text.substr(point + 1));
    const std::size_t first = all.find_first_not_of('0');
    if (first == std::string::npos)
        return Decimal{};
    d.digits = all.substr(first);
    d.exponent = static_cast<int>(intPart.size()) - 1 - static_cast<int>(first);
    trimTrailingZeros(d);
    return d;
}

// `value` rounded to `significant` digits.
Decimal roundedToSignificant(double value, int significant)
{
    const std::string text = printed("%.*e", significant - 1, value);
    Decimal d;
    std::size_t i = 0;
    if (text[i] == '-') {
        d.negative = true;
        ++i;
    }
    const std::size_t e = text.find('e', i);
    for (std::size_t k = i; k < e; ++k)
        if (text[k] != '.')
            d.digits.push_back(text[k]);
    d.exponent = std::atoi(text.c_str() + e + 1);
    trimTrailingZeros(d);
    if (d.digits.empty())
        return Decimal{};
    return d;
}

char digitAt(const Decimal& d, int index)
{
    return index >= 0 && index < static_cast<int>(d.digits.size()) ? d.digits[static_cast<std::size_t>(index)] : '0';
}

} // namespace

std::string systemDecimalSeparator()
{
    return QLocale::system().decimalPoint().toStdString();
}

std::string FormatNumber(double value, int precision, int digits, const std::string& separator)
{
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    if (precision < 1)
        precision = 1;
    if (digits < 0)
        digits = 0;

    // Of the two roundings, take the one that keeps fewer decimals.
    Decimal d = roundedToSignificant(value, precision);
    if (!d.digits.empty() && precision - 1 - d.exponent >= digits)
        d = roundedToDecimals(value, digits);

    std::string out;
    if (d.digits.empty()) {
        out = "0";
        if (digits > 0)
            out += separator + std::string(static_cast<std::size_t>(digits), '0');
        return out;
    }
    if (d.negative)
        out = "-";

    if (d.exponent + 1 > precision) {
        out += d.digits[0];
        if (d.digits.size() > 1)
            out += separator + d.digits.substr(1);
        out += "E" + std::to_string(d.exponent);
        return out;
    }

    if (d.exponent < 0) {
        out += '0';
    } else {
        for (int i = 0; i <= d.exponent; ++i)
            out += digitAt(d, i);
    }
    if (digits > 0) {
        out += separator;
        for (int j = 1; j <= digits; ++j)
            out += digitAt(d, d.exponent + j);
    }
    return out;
}

std::optional<double> ParseNumber(std::string_view text, const std::string& separator)
{
    auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);

    // Rebuilt in the "C" form for from_chars, which ignores the C locale.
    std::string plain;
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';

    auto takeDigits = [&](std::string& into) {
        std::size_t n = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            into += text[i++];
            ++n;
        }
        return n;
    };

    std::size_t mantissaDigits = takeDigits(plain);
    if (!separator.empty() && text.substr(i, separator.size()) == separator) {
        i += separator.size();
        plain += '.';
        mantissaDigits += takeDigits(plain);
    }
    if (mantissaDigits == 0)
        return std::nullopt;
    if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
        ++i;
        plain += 'e';
        if (i < text.size() && (text[i] == '-' || text[i] == '+'))
            plain += text[i++];
        if (takeDigits(plain) == 0)
            return std::nullopt;
    }
    if (i != text.size())
        return std::nullopt;

    double value = 0;
    const auto [end, ec] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (ec != std::errc() || end != plain.data() + plain.size())
        return std::nullopt;
    return negative ? -value : value;
}

} // namespace torv
