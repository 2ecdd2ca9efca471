#include "files/json_file.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSaveFile>
#include <QString>

#include "files/quoted_text.h"
#include "settings/file_target.h"

namespace torv {

namespace {

// A number as written: its digits, and how many of them stand after the
// decimal point once the exponent is applied ("0.30" 2, "3e-1" 1, "6e1" -1).
struct WrittenNumber {
    std::string digits;
    long decimals = 0;
};

WrittenNumber writtenNumber(std::string_view text)
{
    WrittenNumber n;
    std::size_t i = text.starts_with('-') ? 1 : 0;
    bool fraction = false;
    for (; i < text.size() && text[i] != 'e' && text[i] != 'E'; ++i) {
        if (text[i] == '.') {
            fraction = true;
            continue;
        }
        n.digits += text[i];
        n.decimals += fraction ? 1 : 0;
    }
    if (i < text.size()) {
        ++i;
        const bool negative = i < text.size() && text[i] == '-';
        if (i < text.size() && (text[i] == '-' || text[i] == '+'))
            ++i;
        long exponent = 0;
        for (; i < text.size(); ++i)
            exponent = std::min(exponent * 10 + (text[i] - '0'), 1'000'000L); // far past any file's digits
        n.decimals += negative ? exponent : -exponent;
    }
    return n;
}

// No digit but zeros after the decimal point: "12.0" and "1.2e1", not "12.0000000000000001".
bool writtenWhole(const WrittenNumber& n)
{
    const auto fraction = static_cast<std::size_t>(std::clamp(n.decimals, 0L, static_cast<long>(n.digits.size())));
    return n.digits.find_first_not_of('0', n.digits.size() - fraction) == std::string::npos;
}

const char* syntaxText(QJsonParseError::ParseError error)
{
    switch (error) {
    case QJsonParseError::UnterminatedObject: return "oczekiwano przecinka albo \"}\"";
    case QJsonParseError::MissingNameSeparator: return "brak dwukropka po nazwie klucza";
    case QJsonParseError::UnterminatedArray: return "oczekiwano przecinka albo \"]\"";
    case QJsonParseError::MissingValueSeparator: return "brak przecinka między wartościami tablicy";
    case QJsonParseError::IllegalValue: return "niedozwolona wartość";
    case QJsonParseError::TerminationByNumber: return "plik urywa się w liczbie";
    case QJsonParseError::IllegalNumber: return "niepoprawna liczba";
    case QJsonParseError::IllegalEscapeSequence: return "niepoprawny znak po \"\\\" w tekście";
    case QJsonParseError::IllegalUTF8String: return "tekst nie jest poprawnym UTF-8";
    case QJsonParseError::UnterminatedString: return "niezamknięty tekst (brak cudzysłowu)";
    case QJsonParseError::MissingObject: return "oczekiwano nazwy klucza w cudzysłowie";
    case QJsonParseError::DeepNesting: return "zbyt głębokie zagnieżdżenie";
    case QJsonParseError::DocumentTooLarge: return "dokument zbyt duży";
    case QJsonParseError::GarbageAtEnd: return "nadmiarowe znaki za końcem dokumentu";
    default: return "błąd składni";
    }
}

// Line and column (both from 1, columns in characters) of byte `offset`.
std::pair<int, int> lineAndColumn(std::string_view text, std::size_t offset)
{
    int line = 1, column = 1;
    for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\n') {
            ++line;
            column = 1;
        } else if ((c & 0xC0) != 0x80) { // not a UTF-8 continuation byte
            ++column;
        }
    }
    return {line, column};
}

std::string syntaxProblem(std::string_view text, std::size_t offset, const char* what)
{
    const auto [line, column] = lineAndColumn(text, offset);
    return "błąd składni JSON w wierszu " + std::to_string(line) + ", kolumnie " + std::to_string(column) + ": " + what;
}

// False when the file is not of `format` and `version`: nothing else is checked then.
bool readHeader(const QJsonObject& root, std::string_view format, int version, std::string_view kind,
                std::vector<std::string>& problems)
{
    const QJsonValue formatValue = root.value(QLatin1String("format"));
    if (formatValue.isUndefined()) {
        problems.push_back("brak klucza " + QuotedText("format") + ": to nie jest " + std::string(kind));
        return false;
    }
    if (!formatValue.isString() || formatValue.toString().toStdString() != format) {
        const std::string shown = formatValue.isString() ? QuotedText(formatValue.toString().toStdString()) : std::string("");
        problems.push_back("nieznany format pliku " + shown + (shown.empty() ? "" : " ") + "(oczekiwano " +
                           QuotedText(format) + ")");
        return false;
    }
    const QJsonValue versionValue = root.value(QLatin1String("version"));
    if (versionValue.isUndefined()) {
        problems.push_back("brak klucza " + QuotedText("version"));
        return false;
    }
    if (!versionValue.isDouble() || versionValue.toDouble() != version) {
        const std::string shown = versionValue.isDouble() ? JsonNumberText(versionValue.toDouble()) + " " : std::string("");
        problems.push_back("nieobsługiwana wersja pliku " + shown + "(obsługiwana: " + std::to_string(version) + ")");
        return false;
    }
    return true;
}

} // namespace

std::vector<std::string> JsonWritten::repeated(const JsonPath& object) const
{
    std::vector<std::string> keys;
    for (const JsonMember& m : members_)
        if (m.repeated && m.object == object && std::find(keys.begin(), keys.end(), m.name) == keys.end())
            keys.push_back(m.name);
    return keys;
}

std::string_view JsonWritten::number(const JsonPath& object, std::string_view key) const
{
    for (auto m = members_.rbegin(); m != members_.rend(); ++m)
        if (m->name == key && m->object == object)
            return m->number;
    return {};
}

JsonFileObject ReadJsonFileObject(std::string_view bytes, std::size_t maxBytes, std::string_view format, int version,
                                  std::string_view kind)
{
    JsonFileObject file;
    std::vector<std::string>& problems = file.problems;
    if (bytes.size() > maxBytes) {
        problems.push_back(JsonFileSizeProblem(bytes.size(), maxBytes));
        return file;
    }
    // Editors on some desktops start a UTF-8 file with a byte order mark.
    if (bytes.starts_with("\xEF\xBB\xBF"))
        bytes.remove_prefix(3);

    QJsonParseError error{};
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())), &error);
    if (error.error != QJsonParseError::NoError) {
        // The parser stops one character past the one it could not take.
        problems.push_back(
            syntaxProblem(bytes, error.offset < 1 ? 0 : static_cast<std::size_t>(error.offset - 1), syntaxText(error.error)));
        return file;
    }
    if (!document.isObject()) {
        problems.push_back("plik nie zawiera obiektu JSON");
        return file;
    }
    JsonMembers members = ScanJsonMembers(bytes);
    if (!members.ok) { // the scan takes all the syntax check takes; a file they differ on is not taken either
        problems.push_back(syntaxProblem(bytes, members.errorOffset, "błąd składni"));
        return file;
    }
    JsonWritten written(std::move(members.members));
    // With "format" or "version" twice, what the file is cannot be told either.
    for (const std::string& key : written.repeated({}))
        if (key == "format" || key == "version")
            problems.push_back(QuotedText(key) + kJsonRepeatedKey);
    if (!problems.empty())
        return file;
    const QJsonObject root = document.object();
    if (!readHeader(root, format, version, kind, problems))
        return file;
    file.root = root;
    file.written = std::move(written);
    return file;
}

std::optional<std::string> JsonFileReadProblem(const files::Contents& file, std::size_t maxBytes)
{
    if (file.refusal == files::Refusal::TooLarge)
        return JsonFileSizeProblem(file.size, maxBytes);
    if (!file.ok())
        return files::RefusalText(file.refusal, file.type, file.error);
    return std::nullopt;
}

std::string JsonFileSizeProblem(unsigned long long size, std::size_t maxBytes)
{
    return "plik za duży: " + std::to_string(size) + " bajtów (najwyżej " + std::to_string(maxBytes) + ")";
}

std::string JsonNumberText(double v)
{
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, v);
    return error == std::errc() ? std::string(buffer, end) : std::string("?");
}

std::string ScaledNumberText(int scaled, int decimals)
{
    int unit = 1;
    for (int i = 0; i < decimals; ++i)
        unit *= 10;
    const int magnitude = scaled < 0 ? -scaled : scaled;
    std::string fraction = std::to_string(magnitude % unit);
    fraction.insert(0, static_cast<std::size_t>(decimals) - fraction.size(), '0');
    return (scaled < 0 ? "-" : "") + std::to_string(magnitude / unit) + "." + fraction;
}

std::string TenthsNumberText(int tenths) { return ScaledNumberText(tenths, 1); }

std::optional<int> JsonWholeNumber(const QJsonValue& v, std::string_view written, int min, int max, std::string& problem)
{
    if (!v.isDouble()) {
        problem = "oczekiwano liczby całkowitej";
        return std::nullopt;
    }
    const double d = v.toDouble();
    const std::string shown = written.empty() ? JsonNumberText(d) : std::string(written);
    if (!std::isfinite(d) || std::trunc(d) != d || (!written.empty() && !writtenWhole(writtenNumber(written)))) {
        problem = "oczekiwano liczby całkowitej, jest " + shown;
        return std::nullopt;
    }
    if (d < min || d > max) {
        problem = "wartość " + JsonNumberText(d) + " poza zakresem " + std::to_string(min) + ".." + std::to_string(max);
        return std::nullopt;
    }
    return static_cast<int>(d);
}

std::optional<int> JsonScaled(const QJsonValue& v, std::string_view written, int decimals, int min, int max,
                              std::string& problem)
{
    if (!v.isDouble()) {
        problem = "oczekiwano liczby";
        return std::nullopt;
    }
    const double d = v.toDouble();
    const std::string shown = written.empty() ? JsonNumberText(d) : std::string(written);
    const std::string range = ScaledNumberText(min, decimals) + ".." + ScaledNumberText(max, decimals);
    const double scaled = d * std::pow(10.0, decimals);
    if (!std::isfinite(scaled)) {
        problem = "wartość " + JsonNumberText(d) + " poza zakresem " + range;
        return std::nullopt;
    }
    const double position = std::round(scaled);
    // Decimals as written: "0.30" and "0.30000001" both read as 0.3 (the second to a millionth).
    // Without the text only the double can tell (binary fractions: 0.3 x 10 is 3.0000000000000004).
    if (written.empty() ? std::fabs(scaled - position) > 1e-6 : writtenNumber(written).decimals > decimals) {
        problem = "wartość " + shown + " ma więcej niż " +
                  (decimals == 1 ? std::string("jedno miejsce") : decimals == 2 ? std::string("dwa miejsca")
                                                                   : std::to_string(decimals) + " miejsca") + " po przecinku";
        return std::nullopt;
    }
    if (position < min || position > max) {
        problem = "wartość " + JsonNumberText(d) + " poza zakresem " + range;
        return std::nullopt;
    }
    return static_cast<int>(position);
}

std::optional<int> JsonTenths(const QJsonValue& v, std::string_view written, int min, int max, std::string& problem)
{
    return JsonScaled(v, written, 1, min, max, problem);
}

bool WriteJsonFile(const std::string& path, const std::string& json, std::string& error)
{
    // The rename that replaces the file would replace a device or a FIFO as well.
    const files::Target target = files::SaveTarget(path);
    if (!target.ok()) {
        error = files::RefusalText(target.refusal, target.type, target.error);
        return false;
    }
    QSaveFile file(QString::fromStdString(target.path));
    if (!file.open(QIODevice::WriteOnly) || file.write(json.data(), static_cast<qint64>(json.size())) !=
                                                static_cast<qint64>(json.size())) {
        error = file.errorString().toStdString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        error = file.errorString().toStdString();
        return false;
    }
    return true;
}

} // namespace torv
