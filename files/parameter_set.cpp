#include "files/parameter_set.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>

#include "controller/conversions.h"
#include "files/json_file.h"
#include "files/json_keys.h"
#include "files/json_writer.h"
#include "files/quoted_text.h"
#include "settings/file_target.h"

namespace torv {

namespace {

using parameter_set::kFormat;
using parameter_set::kMaxFileBytes;
using parameter_set::kVersion;

using bytes::kAlarmBuzzer;
constexpr int kStepCount = static_cast<int>(kProgrammeSteps.size());
constexpr std::array<std::string_view, 3> kStepKeys{"hours", "temperature", "difference"};

constexpr bool isTenths(Kind kind) { return kind == Kind::Tenths || kind == Kind::OffsetTenths; }

// ---- numbers and texts as the file writes them ----------------------------

std::string rangeText(const MapEntry& e)
{
    if (isTenths(e.kind))
        return TenthsNumberText(e.range.min) + ".." + TenthsNumberText(e.range.max);
    return std::to_string(e.range.min) + ".." + std::to_string(e.range.max);
}

std::string itemsText(const std::vector<std::string>& items)
{
    if (items.size() > 5)
        return QuotedText(items.front()) + " … " + QuotedText(items.back());
    std::string out;
    for (const std::string& item : items)
        out += (out.empty() ? "" : ", ") + QuotedText(item);
    return out;
}

// A value of the set as the file holds it.
void writeValue(JsonWriter& json, const MapEntry& e, int value)
{
    switch (e.kind) {
    case Kind::Tenths:
    case Kind::OffsetTenths: json.fixed(value, 1); break;
    case Kind::Flag: json.boolean(value != 0); break;
    case Kind::List: {
        const std::vector<std::string> items = ListItemsOf(e.byte);
        if (value >= 0 && static_cast<std::size_t>(value) < items.size())
            json.string(items[static_cast<std::size_t>(value)]);
        else
            json.integer(value); // outside the list: no set holds it, and it reads back as a problem
        break;
    }
    default: json.integer(value); break;
    }
}

bool holdsParameters(const ParameterSet& set)
{
    return std::any_of(ParameterSetBytes().begin(), ParameterSetBytes().begin() + kSetParameterCount,
                       [&](int byte) { return set.values.contains(byte); });
}

bool holdsProgramme(const ParameterSet& set)
{
    return std::any_of(ParameterSetBytes().begin() + kSetParameterCount, ParameterSetBytes().end(),
                       [&](int byte) { return set.values.contains(byte); });
}

// ---- reading ----------------------------------------------------------------

// Where in the file a problem is, as its line starts.
std::string parameterPlace(std::string_view name) { return "parameters, " + QuotedText(name); }
std::string stepPlace(int step, std::string_view key) { return "programme, krok " + std::to_string(step) + ", " + QuotedText(key); }
std::string sourcePlace(std::string_view key) { return "source, " + QuotedText(key); }

const JsonPath kTop;
const JsonPath kParameters{{"parameters"}};
const JsonPath kSource{{"source"}};
JsonPath stepPath(int step) { return {{"programme"}, {{}, static_cast<std::size_t>(step - 1), true}}; }

// The value `v` (`written` in the file, when a number) holds for the control
// of `e`, or a problem at `place`.
std::optional<int> fieldValue(const MapEntry& e, const QJsonValue& v, std::string_view written, const std::string& place,
                              std::vector<std::string>& problems)
{
    const auto problem = [&](const std::string& what) {
        problems.push_back(place + ": " + what);
        return std::nullopt;
    };
    switch (e.kind) {
    case Kind::WholeNumber:
    case Kind::Tenths:
    case Kind::OffsetTenths: {
        std::string what;
        const std::optional<int> value = e.kind == Kind::WholeNumber
                                             ? JsonWholeNumber(v, written, e.range.min, e.range.max, what)
                                             : JsonTenths(v, written, e.range.min, e.range.max, what);
        return value ? value : problem(what);
    }
    case Kind::List: {
        const std::vector<std::string> items = ListItemsOf(e.byte);
        if (!v.isString())
            return problem("oczekiwano tekstu pozycji listy: " + itemsText(items));
        const std::string text = v.toString().toStdString();
        for (std::size_t i = 0; i < items.size(); ++i)
            if (items[i] == text && e.range.clamp(static_cast<int>(i)) == static_cast<int>(i))
                return static_cast<int>(i);
        return problem("nieznana pozycja listy " + QuotedText(text) + ", dozwolone: " + itemsText(items));
    }
    case Kind::Flag:
        if (!v.isBool())
            return problem("oczekiwano true albo false");
        return v.toBool() ? 1 : 0;
    default: return problem("tej wartości nie można wczytać");
    }
}

void readParameters(const QJsonValue& value, const JsonWritten& written, ParameterSet& set,
                    std::vector<std::string>& problems)
{
    if (!value.isObject()) {
        problems.push_back(QuotedText("parameters") + ": oczekiwano obiektu");
        return;
    }
    const QJsonObject parameters = value.toObject();
    for (auto it = parameters.begin(); it != parameters.end(); ++it) {
        const std::string key = it.key().toStdString();
        const MapEntry* e = MapByName(key);
        if (!e || e->setPlace < 1 || e->setPlace > static_cast<int>(kSetParameterCount))
            problems.push_back(parameterPlace(key) + ": nieznany klucz");
    }
    for (const std::string& key : written.repeated(kParameters))
        problems.push_back(parameterPlace(key) + kJsonRepeatedKey);
    for (std::size_t i = 0; i < kSetParameterCount; ++i) {
        const MapEntry& e = MapAt(ParameterSetBytes()[i]);
        const QString key = QString::fromUtf8(e.name.data(), static_cast<qsizetype>(e.name.size()));
        if (!parameters.contains(key))
            continue;
        if (const std::optional<int> v =
                fieldValue(e, parameters.value(key), written.number(kParameters, e.name), parameterPlace(e.name), problems))
            set.values[e.byte] = *v;
    }
}

void readProgramme(const QJsonValue& value, const JsonWritten& written, ParameterSet& set,
                   std::vector<std::string>& problems)
{
    if (!value.isArray()) {
        problems.push_back(QuotedText("programme") + ": oczekiwano tablicy " + std::to_string(kStepCount) +
                           " kroków");
        return;
    }
    const QJsonArray steps = value.toArray();
    if (steps.size() != kStepCount) {
        problems.push_back(QuotedText("programme") + ": oczekiwano " + std::to_string(kStepCount) + " kroków, jest " +
                           std::to_string(steps.size()));
        return;
    }
    for (const ProgrammeStep& step : kProgrammeSteps) {
        const QJsonValue entry = steps.at(step.step - 1);
        const std::string place = "programme, krok " + std::to_string(step.step);
        if (!entry.isObject()) {
            problems.push_back(place + ": oczekiwano obiektu");
            continue;
        }
        const QJsonObject fields = entry.toObject();
        for (auto it = fields.begin(); it != fields.end(); ++it) {
            const std::string key = it.key().toStdString();
            if (std::find(kStepKeys.begin(), kStepKeys.end(), key) == kStepKeys.end())
                problems.push_back(stepPlace(step.step, key) + ": nieznany klucz");
        }
        for (const std::string& key : written.repeated(stepPath(step.step)))
            problems.push_back(stepPlace(step.step, key) + kJsonRepeatedKey);
        for (std::size_t k = 0; k < kStepKeys.size(); ++k) {
            const QString key = QString::fromLatin1(kStepKeys[k].data(), static_cast<qsizetype>(kStepKeys[k].size()));
            if (!fields.contains(key))
                continue;
            const MapEntry& e = MapAt(step.firstByte + static_cast<int>(k));
            if (const std::optional<int> v = fieldValue(e, fields.value(key), written.number(stepPath(step.step), kStepKeys[k]),
                                                        stepPlace(step.step, kStepKeys[k]), problems))
                set.values[e.byte] = *v;
        }
    }
}

void readSource(const QJsonValue& value, const JsonWritten& written, ParameterSet& set, std::vector<std::string>& problems)
{
    if (!value.isObject()) {
        problems.push_back(QuotedText("source") + ": oczekiwano obiektu");
        return;
    }
    const QJsonObject source = value.toObject();
    for (auto it = source.begin(); it != source.end(); ++it)
        if (it.key() != QLatin1String("address"))
            problems.push_back(sourcePlace(it.key().toStdString()) + ": nieznany klucz");
    for (const std::string& key : written.repeated(kSource))
        problems.push_back(sourcePlace(key) + kJsonRepeatedKey);
    if (!source.contains(QLatin1String("address")))
        return;
    const QJsonValue address = source.value(QLatin1String("address"));
    const double d = address.toDouble(-1);
    if (!address.isDouble() || std::trunc(d) != d || d < 1 || d > kMaxAddress)
        problems.push_back(sourcePlace("address") + ": oczekiwano adresu 1.." + std::to_string(kMaxAddress));
    else
        set.sourceAddress = static_cast<int>(d);
}

void readSaved(const QJsonValue& value, ParameterSet& set, std::vector<std::string>& problems)
{
    if (!value.isString() || !QDateTime::fromString(value.toString(), Qt::ISODate).isValid()) {
        problems.push_back(QuotedText("saved") + ": oczekiwano daty i czasu, np. \"2026-12-08T10:15:00+01:00\"");
        return;
    }
    set.saved = value.toString().toStdString();
}

} // namespace

std::string ParameterValueJson(const MapEntry& entry, int value)
{
    JsonWriter json;
    writeValue(json, entry, value);
    return json.str();
}

void WriteParametersJson(JsonWriter& json, const ParameterSet& set)
{
    json.beginObject();
    for (std::size_t i = 0; i < kSetParameterCount; ++i) {
        const auto it = set.values.find(ParameterSetBytes()[i]);
        if (it == set.values.end())
            continue;
        const MapEntry& e = MapAt(it->first);
        json.key(e.name);
        writeValue(json, e, it->second);
    }
    json.endObject();
}

void WriteProgrammeJson(JsonWriter& json, const ParameterSet& set)
{
    json.beginArray();
    if (holdsProgramme(set)) {
        for (const ProgrammeStep& step : kProgrammeSteps) {
            json.beginObject(JsonWriter::Layout::Spaced);
            for (std::size_t k = 0; k < kStepKeys.size(); ++k) {
                const auto it = set.values.find(step.firstByte + static_cast<int>(k));
                if (it == set.values.end())
                    continue;
                json.key(kStepKeys[k]);
                writeValue(json, MapAt(it->first), it->second);
            }
            json.endObject();
        }
    }
    json.endArray();
}

std::string ParameterSetJson(const ParameterSet& set)
{
    JsonWriter json;
    json.beginObject().key("format").string(kFormat).key("version").integer(kVersion);
    if (!set.saved.empty())
        json.key("saved").string(set.saved);
    if (set.sourceAddress != 0)
        json.key("source").beginObject(JsonWriter::Layout::Spaced).key("address").integer(set.sourceAddress).endObject();
    if (holdsParameters(set)) {
        json.key("parameters");
        WriteParametersJson(json, set);
    }
    if (holdsProgramme(set)) {
        json.key("programme");
        WriteProgrammeJson(json, set);
    }
    return json.endObject().str() + "\n";
}

ParameterSetResult ParameterSetFromRow(const ImageRow& row)
{
    ParameterSetResult result;
    for (const int byte : ParameterSetBytes()) {
        const MapEntry& e = MapAt(byte);
        const std::uint8_t stored = RowByte(row, byte);
        const int value = UnitValue(e, stored);
        if (e.range.clamp(value) == value) {
            result.set.values[byte] = value;
            continue;
        }
        const ProgrammeStep* step = nullptr;
        for (const ProgrammeStep& s : kProgrammeSteps)
            if (byte >= s.firstByte && byte < s.firstByte + 3)
                step = &s;
        const std::string place = step ? stepPlace(step->step, kStepKeys[static_cast<std::size_t>(byte - step->firstByte)])
                                       : parameterPlace(e.name);
        const std::string what = e.kind == Kind::List ? "bajt " + std::to_string(stored) + " nie odpowiada żadnej pozycji listy"
                                 : isTenths(e.kind)   ? "wartość " + TenthsNumberText(value) + " poza zakresem " + rangeText(e)
                                                      : "wartość " + std::to_string(value) + " poza zakresem " + rangeText(e);
        result.problems.push_back(place + ": " + what);
    }
    if (!result.ok())
        result.set = {};
    return result;
}

ParameterSetResult ParseParameterSet(std::string_view bytes)
{
    ParameterSetResult result;
    std::vector<std::string>& problems = result.problems;
    JsonFileObject file = ReadJsonFileObject(bytes, kMaxFileBytes, kFormat, kVersion, "plik parametrów");
    if (!file.ok()) {
        problems = std::move(file.problems);
        return result;
    }
    const QJsonObject& root = file.root;
    const JsonWritten& written = file.written;

    static const QStringList known{"format", "version", "saved", "source", "parameters", "programme"};
    for (auto it = root.begin(); it != root.end(); ++it)
        if (!known.contains(it.key()))
            problems.push_back(QuotedText(it.key().toStdString()) + ": nieznany klucz");
    for (const std::string& key : written.repeated(kTop))
        problems.push_back(QuotedText(key) + kJsonRepeatedKey);

    ParameterSet& set = result.set;
    if (root.contains(QLatin1String("saved")))
        readSaved(root.value(QLatin1String("saved")), set, problems);
    if (root.contains(QLatin1String("source")))
        readSource(root.value(QLatin1String("source")), written, set, problems);
    if (root.contains(QLatin1String("parameters")))
        readParameters(root.value(QLatin1String("parameters")), written, set, problems);
    if (root.contains(QLatin1String("programme")))
        readProgramme(root.value(QLatin1String("programme")), written, set, problems);
    if (!result.ok())
        set = {};
    return result;
}

std::vector<ByteWrite> ParameterSetWrites(const ParameterSet& set, const ImageRow& stored, const std::string& separator)
{
    std::vector<ByteWrite> writes;
    for (const WriteBackRow& row : WriteBackTable()) {
        const auto it = set.values.find(row.byte);
        if (it == set.values.end())
            continue;
        const MapEntry& e = MapAt(row.byte);
        const int v = it->second;
        if (e.kind == Kind::List) {
            if (v >= 0 && static_cast<std::size_t>(v) < ListItemsOf(e.byte).size())
                writes.push_back({row.byte, Low8(v)});
            continue;
        }
        const std::string text = isTenths(e.kind) ? TenthsText(v, separator) : std::to_string(v);
        if (const std::optional<std::uint8_t> byte = FieldWriteByte(e, text, RowByte(stored, row.byte), separator))
            writes.push_back({row.byte, *byte});
    }
    return writes;
}

std::string ParameterSetTimestamp()
{
    const QDateTime now = QDateTime::currentDateTime();
    return now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODate).toStdString();
}

std::string ParameterSetFileName(int address)
{
    char name[32];
    std::snprintf(name, sizeof name, "komora-%03d.json", address);
    return name;
}

ParameterSetResult ParameterSetOfContents(const files::Contents& file)
{
    if (std::optional<std::string> problem = JsonFileReadProblem(file, kMaxFileBytes))
        return {{}, {std::move(*problem)}};
    return ParseParameterSet(file.bytes);
}

ParameterSetResult ReadParameterSetFile(const std::string& path)
{
    return ParameterSetOfContents(files::ReadRegularFile(path, kMaxFileBytes));
}

bool WriteParameterSetFile(const std::string& path, const ParameterSet& set, std::string& error)
{
    return WriteJsonFile(path, ParameterSetJson(set), error);
}

} // namespace torv
