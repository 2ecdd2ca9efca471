#include "plant/chamber_list.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <map>
#include <optional>
#include <utility>

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include "files/json_file.h"
#include "files/json_writer.h"
#include "files/quoted_text.h"
#include "link/memory_image.h"

namespace torv::plant {

namespace {

constexpr std::string_view kKnownKeys[] = {"format", "version",       "plant",   "roundSeconds", "airPressureHPa",
                                            "alarms", "heatTreatment", "chambers"};
constexpr std::string_view kPlantKeys[] = {"name", "address"};
constexpr std::string_view kChamberKeys[] = {"address", "name", "psychrometer", "coreProbes"};
constexpr std::string_view kHeatTreatmentKeys[] = {"minCelsius", "minutes"};

// Each psychrometer and core probe by its name in the file.
constexpr struct {
    Psychrometer kind;
    std::string_view key;
} kPsychrometers[] = {{Psychrometer::Ventilated, "ventilated"}, {Psychrometer::Unventilated, "unventilated"}};
constexpr struct {
    bool CoreProbes::*probe;
    std::string_view key;
} kCoreProbes[] = {{&CoreProbes::control1, "TempControl1"}, {&CoreProbes::control2, "TempControl2"}};

const JsonPath kTop;
const JsonPath kAlarms{{"alarms"}};
const JsonPath kHeatTreatment{{"heatTreatment"}};
const JsonPath kPlant{{"plant"}};
JsonPath chamberPath(std::size_t index) { return {{"chambers"}, {{}, index, true}}; }

// Where in the file a problem is, as its line starts; chambers count from 1.
std::string alarmPlace(std::string_view key) { return "alarms, " + QuotedText(key); }
std::string chamberPlace(std::size_t index) { return "chambers, pozycja " + std::to_string(index + 1); }
std::string chamberPlace(std::size_t index, std::string_view key) { return chamberPlace(index) + ", " + QuotedText(key); }

QString keyString(std::string_view key) { return QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size())); }

std::string heatTreatmentPlace(std::string_view key) { return "heatTreatment, " + QuotedText(key); }
std::string plantPlace(std::string_view key) { return "plant, " + QuotedText(key); }

std::string addressProblem() { return "oczekiwano adresu 1.." + std::to_string(kMaxAddress); }
std::string psychrometerProblem()
{
    return "oczekiwano " + QuotedText(kPsychrometers[0].key) + " albo " + QuotedText(kPsychrometers[1].key);
}
std::string coreProbesProblem()
{
    return "oczekiwano [" + QuotedText(kCoreProbes[0].key) + "], [" + QuotedText(kCoreProbes[1].key) + "] albo obu";
}
std::string pressureRange()
{
    return ScaledNumberText(kMinAirPressureHundredths, 2) + ".." + ScaledNumberText(kMaxAirPressureHundredths, 2);
}

// The probes an array names: one or both, each once; anything else is no choice of them.
std::optional<CoreProbes> coreProbesOf(const QJsonValue& value)
{
    if (!value.isArray() || value.toArray().isEmpty())
        return std::nullopt;
    CoreProbes probes{false, false};
    for (const QJsonValue entry : value.toArray()) {
        const auto named = [&entry](const auto& p) { return entry.isString() && entry.toString() == keyString(p.key); };
        const auto it = std::find_if(std::begin(kCoreProbes), std::end(kCoreProbes), named);
        if (it == std::end(kCoreProbes) || probes.*it->probe)
            return std::nullopt;
        probes.*it->probe = true;
    }
    return probes;
}

bool known(std::string_view key, const auto& keys)
{
    for (std::string_view k : keys)
        if (k == key)
            return true;
    return false;
}

// Line and paragraph separators break a row as a line break does; bidi
// controls turn the text after them round, so a name could show as another.
constexpr char32_t kRefusedAnywhere[][2] = {{0x061C, 0x061C}, {0x200E, 0x200F}, {0x2028, 0x202E}, {0x2066, 0x2069}};
// Letters and symbols that draw nothing.
constexpr char32_t kBlankLetters[] = {0x115F, 0x1160, 0x2800, 0x3164, 0xFFA0};

bool refusedAnywhere(char32_t c)
{
    for (const auto& [first, last] : kRefusedAnywhere)
        if (c >= first && c <= last)
            return true;
    return false;
}

bool visible(char32_t c)
{
    for (const char32_t blank : kBlankLetters)
        if (c == blank)
            return false;
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_NotAssigned:
    case QChar::Separator_Space:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
    case QChar::Mark_NonSpacing:
    case QChar::Mark_Enclosing: return false;
    default: return !QChar::isSpace(c);
    }
}

std::string codePoint(char32_t c)
{
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
    return text;
}

// What is wrong with a name as given (before trimming), if anything. A
// control character is refused anywhere: a tab or a line break would break
// the overview's row, the log's columns and a report's line. `what` is the
// text's noun in the message.
std::optional<std::string> nameProblem(const QString& name, int maxLength = kMaxChamberNameLength,
                                       const std::string& what = "nazwa")
{
    for (const QChar c : name)
        if (c.category() == QChar::Other_Control)
            return what + " " + QuotedText(name.toStdString()) + " zawiera znak sterujący";
    // Told by its number: quoted, the name would turn the message round too.
    const auto characters = name.toUcs4();
    for (const char32_t c : characters)
        if (refusedAnywhere(c))
            return what + " zawiera znak sterujący " + codePoint(c);
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty())
        return std::string("nazwa jest pusta");
    if (std::none_of(characters.begin(), characters.end(), visible))
        return what + " nie ma żadnego widocznego znaku";
    const auto length = trimmed.toUcs4().size();
    if (length > maxLength)
        return what + " " + QuotedText(trimmed.toStdString()) + " ma " + std::to_string(length) + " znaków (najwyżej " +
               std::to_string(maxLength) + ")";
    return std::nullopt;
}

std::string duplicateProblem(int address, std::size_t first)
{
    return "adres " + std::to_string(address) + " podany już w pozycji " + std::to_string(first + 1);
}

std::string rangeProblem(const ThresholdField& f, int value)
{
    if (f.degrees)
        return "wartość " + TenthsNumberText(value) + " poza zakresem " + TenthsNumberText(f.min) + ".." +
               TenthsNumberText(f.max);
    return "wartość " + std::to_string(value) + " poza zakresem " + std::to_string(f.min) + ".." + std::to_string(f.max);
}

void unknownAndRepeated(const QJsonObject& object, const auto& keys, const JsonWritten& written, const JsonPath& path,
                        const auto& place, std::vector<std::string>& problems)
{
    for (auto it = object.begin(); it != object.end(); ++it)
        if (!known(it.key().toStdString(), keys))
            problems.push_back(place(it.key().toStdString()) + ": nieznany klucz");
    for (const std::string& key : written.repeated(path))
        problems.push_back(place(key) + kJsonRepeatedKey);
}

void readAlarms(const QJsonValue& value, const JsonWritten& written, AlarmThresholds& alarms,
                std::vector<std::string>& problems)
{
    if (!value.isObject()) {
        problems.push_back(QuotedText("alarms") + ": oczekiwano obiektu");
        return;
    }
    const QJsonObject object = value.toObject();
    std::vector<std::string_view> keys;
    for (const ThresholdField& f : kThresholdFields)
        keys.push_back(f.key);
    unknownAndRepeated(object, keys, written, kAlarms, alarmPlace, problems);
    for (const ThresholdField& f : kThresholdFields) {
        const QJsonValue v = object.value(keyString(f.key));
        if (v.isUndefined())
            continue;
        std::string what;
        const std::string_view number = written.number(kAlarms, f.key);
        if (const std::optional<int> read = f.degrees ? JsonTenths(v, number, f.min, f.max, what)
                                                      : JsonWholeNumber(v, number, f.min, f.max, what))
            alarms.*f.field = *read;
        else
            problems.push_back(alarmPlace(f.key) + ": " + what);
    }
}

// The plant's name and address: each optional, a blank one as none.
void readPlant(const QJsonValue& value, const JsonWritten& written, ChamberList& list, std::vector<std::string>& problems)
{
    if (!value.isObject()) {
        problems.push_back(QuotedText("plant") + ": oczekiwano obiektu");
        return;
    }
    const QJsonObject object = value.toObject();
    unknownAndRepeated(object, kPlantKeys, written, kPlant, plantPlace, problems);
    const struct {
        const char* key;
        std::string ChamberList::*field;
        int maxLength;
        const char* noun;
    } fields[] = {{"name", &ChamberList::plantName, kMaxPlantNameLength, "nazwa"},
                  {"address", &ChamberList::plantAddress, kMaxPlantAddressLength, "adres"}};
    for (const auto& f : fields) {
        const QJsonValue v = object.value(QLatin1String(f.key));
        if (v.isUndefined() || (v.isString() && v.toString().trimmed().isEmpty()))
            continue;
        if (!v.isString())
            problems.push_back(plantPlace(f.key) + ": oczekiwano tekstu");
        else if (const std::optional<std::string> what = nameProblem(v.toString(), f.maxLength, f.noun))
            problems.push_back(plantPlace(f.key) + ": " + *what);
        else
            list.*f.field = v.toString().trimmed().toStdString();
    }
}

void readHeatTreatment(const QJsonValue& value, const JsonWritten& written, HeatTreatment& heat,
                       std::vector<std::string>& problems)
{
    if (!value.isObject()) {
        problems.push_back(QuotedText("heatTreatment") + ": oczekiwano obiektu");
        return;
    }
    const QJsonObject object = value.toObject();
    unknownAndRepeated(object, kHeatTreatmentKeys, written, kHeatTreatment, heatTreatmentPlace, problems);
    std::string what;
    if (const QJsonValue v = object.value(QLatin1String("minCelsius")); !v.isUndefined()) {
        if (const std::optional<int> tenths = JsonTenths(v, written.number(kHeatTreatment, "minCelsius"),
                                                         kMinHeatTreatmentTenths, kMaxHeatTreatmentTenths, what))
            heat.minTenths = *tenths;
        else
            problems.push_back(heatTreatmentPlace("minCelsius") + ": " + what);
    }
    if (const QJsonValue v = object.value(QLatin1String("minutes")); !v.isUndefined()) {
        if (const std::optional<int> minutes = JsonWholeNumber(v, written.number(kHeatTreatment, "minutes"),
                                                               kMinHeatTreatmentMinutes, kMaxHeatTreatmentMinutes, what))
            heat.minutes = *minutes;
        else
            problems.push_back(heatTreatmentPlace("minutes") + ": " + what);
    }
}

void readChambers(const QJsonValue& value, const JsonWritten& written, std::vector<Chamber>& chambers,
                  std::vector<std::string>& problems)
{
    if (!value.isArray()) {
        problems.push_back(QuotedText("chambers") + ": oczekiwano tablicy");
        return;
    }
    const QJsonArray array = value.toArray();
    std::map<int, std::size_t> seen; // address -> the first position giving it
    for (std::size_t i = 0; i < static_cast<std::size_t>(array.size()); ++i) {
        const QJsonValue entry = array.at(static_cast<qsizetype>(i));
        if (!entry.isObject()) {
            problems.push_back(chamberPlace(i) + ": oczekiwano obiektu");
            continue;
        }
        const QJsonObject object = entry.toObject();
        const auto place = [i](std::string_view key) { return chamberPlace(i, key); };
        unknownAndRepeated(object, kChamberKeys, written, chamberPath(i), place, problems);

        Chamber chamber;
        const QJsonValue address = object.value(QLatin1String("address"));
        if (address.isUndefined()) {
            problems.push_back(chamberPlace(i) + ": brak klucza " + QuotedText("address"));
        } else {
            std::string what;
            const std::string_view number = written.number(chamberPath(i), "address");
            if (const std::optional<int> a = JsonWholeNumber(address, number, 1, kMaxAddress, what)) {
                chamber.address = *a;
                if (const auto [first, added] = seen.emplace(*a, i); !added)
                    problems.push_back(place("address") + ": " + duplicateProblem(*a, first->second));
            } else {
                problems.push_back(place("address") + ": " + addressProblem());
            }
        }

        if (const QJsonValue v = object.value(QLatin1String("psychrometer")); !v.isUndefined()) {
            const auto named = [&v](const auto& p) { return v.isString() && v.toString() == keyString(p.key); };
            const auto it = std::find_if(std::begin(kPsychrometers), std::end(kPsychrometers), named);
            if (it == std::end(kPsychrometers))
                problems.push_back(place("psychrometer") + ": " + psychrometerProblem());
            else
                chamber.psychrometer = it->kind;
        }
        if (const QJsonValue v = object.value(QLatin1String("coreProbes")); !v.isUndefined()) {
            if (const std::optional<CoreProbes> probes = coreProbesOf(v))
                chamber.coreProbes = *probes;
            else
                problems.push_back(place("coreProbes") + ": " + coreProbesProblem());
        }

        const QJsonValue name = object.value(QLatin1String("name"));
        if (name.isUndefined()) {
            chamber.name = DefaultChamberName(chamber.address);
        } else if (!name.isString()) {
            problems.push_back(place("name") + ": oczekiwano tekstu");
        } else if (const std::optional<std::string> what = nameProblem(name.toString())) {
            problems.push_back(place("name") + ": " + *what);
        } else {
            chamber.name = name.toString().trimmed().toStdString();
        }
        chambers.push_back(std::move(chamber));
    }
}

} // namespace

std::string DefaultChamberName(int address) { return "Komora " + std::to_string(address); }

const Chamber* FindChamber(const ChamberList& list, int address)
{
    const auto it = std::find_if(list.chambers.begin(), list.chambers.end(),
                                 [address](const Chamber& c) { return c.address == address; });
    return it == list.chambers.end() ? nullptr : &*it;
}

Chamber* FindChamber(ChamberList& list, int address)
{
    return const_cast<Chamber*>(FindChamber(std::as_const(list), address));
}

std::string ChamberName(const ChamberList& list, int address)
{
    const Chamber* c = FindChamber(list, address);
    return c ? c->name : DefaultChamberName(address);
}

std::string ChamberListJson(const ChamberList& list)
{
    JsonWriter json;
    json.beginObject()
        .key("format").string(kChamberListFormat)
        .key("version").integer(kChamberListVersion);
    if (!list.plantName.empty() || !list.plantAddress.empty()) {
        json.key("plant").beginObject(JsonWriter::Layout::Spaced);
        if (!list.plantName.empty())
            json.key("name").string(list.plantName);
        if (!list.plantAddress.empty())
            json.key("address").string(list.plantAddress);
        json.endObject();
    }
    json.key("roundSeconds").integer(list.roundSeconds);
    if (list.airPressureHundredths != kDefaultAirPressureHundredths)
        json.key("airPressureHPa").fixed(list.airPressureHundredths, 2);
    json.key("alarms").beginObject();
    for (const ThresholdField& f : kThresholdFields) {
        json.key(f.key);
        if (f.degrees)
            json.fixed(list.alarms.*f.field, 1);
        else
            json.integer(list.alarms.*f.field);
    }
    json.endObject();
    if (list.heatTreatment != HeatTreatment{})
        json.key("heatTreatment")
            .beginObject(JsonWriter::Layout::Spaced)
            .key("minCelsius").fixed(list.heatTreatment.minTenths, 1)
            .key("minutes").integer(list.heatTreatment.minutes)
            .endObject();
    json.key("chambers").beginArray();
    for (const Chamber& c : list.chambers) {
        json.beginObject(JsonWriter::Layout::Spaced).key("address").integer(c.address).key("name").string(c.name);
        if (c.psychrometer != Psychrometer::Ventilated)
            for (const auto& p : kPsychrometers)
                if (p.kind == c.psychrometer)
                    json.key("psychrometer").string(p.key);
        if (c.coreProbes != CoreProbes{}) {
            json.key("coreProbes").beginArray(JsonWriter::Layout::Tight);
            for (const auto& p : kCoreProbes)
                if (c.coreProbes.*p.probe)
                    json.string(p.key);
            json.endArray();
        }
        json.endObject();
    }
    return json.endArray().endObject().str() + "\n";
}

ChamberListResult ParseChamberList(std::string_view bytes)
{
    ChamberListResult result;
    std::vector<std::string>& problems = result.problems;
    JsonFileObject file =
        ReadJsonFileObject(bytes, kChamberListMaxBytes, kChamberListFormat, kChamberListVersion, "plik listy komór");
    if (!file.ok()) {
        problems = std::move(file.problems);
        return result;
    }
    const QJsonObject& root = file.root;
    unknownAndRepeated(root, kKnownKeys, file.written, kTop, [](std::string_view key) { return QuotedText(key); },
                       problems);

    ChamberList& list = result.list;
    if (const QJsonValue v = root.value(QLatin1String("plant")); !v.isUndefined())
        readPlant(v, file.written, list, problems);
    if (const QJsonValue v = root.value(QLatin1String("roundSeconds")); !v.isUndefined()) {
        std::string what;
        if (const std::optional<int> seconds =
                JsonWholeNumber(v, file.written.number(kTop, "roundSeconds"), kMinRoundSeconds, kMaxRoundSeconds, what))
            list.roundSeconds = *seconds;
        else
            problems.push_back(QuotedText("roundSeconds") + ": " + what);
    }
    if (const QJsonValue v = root.value(QLatin1String("airPressureHPa")); !v.isUndefined()) {
        std::string what;
        if (const std::optional<int> hundredths = JsonScaled(v, file.written.number(kTop, "airPressureHPa"), 2,
                                                             kMinAirPressureHundredths, kMaxAirPressureHundredths, what))
            list.airPressureHundredths = *hundredths;
        else
            problems.push_back(QuotedText("airPressureHPa") + ": " + what);
    }
    if (const QJsonValue v = root.value(QLatin1String("alarms")); !v.isUndefined())
        readAlarms(v, file.written, list.alarms, problems);
    if (const QJsonValue v = root.value(QLatin1String("heatTreatment")); !v.isUndefined())
        readHeatTreatment(v, file.written, list.heatTreatment, problems);
    if (const QJsonValue v = root.value(QLatin1String("chambers")); !v.isUndefined())
        readChambers(v, file.written, list.chambers, problems);
    if (!result.ok())
        list = {};
    return result;
}

std::vector<std::string> ChamberListProblems(const ChamberList& list)
{
    std::vector<std::string> problems;
    if (list.roundSeconds < kMinRoundSeconds || list.roundSeconds > kMaxRoundSeconds)
        problems.push_back(QuotedText("roundSeconds") + ": wartość " + std::to_string(list.roundSeconds) +
                           " poza zakresem " + std::to_string(kMinRoundSeconds) + ".." + std::to_string(kMaxRoundSeconds));
    if (const int p = list.airPressureHundredths; p < kMinAirPressureHundredths || p > kMaxAirPressureHundredths)
        problems.push_back(QuotedText("airPressureHPa") + ": wartość " + JsonNumberText(p / 100.0) + " poza zakresem " +
                           pressureRange());
    for (const ThresholdField& f : kThresholdFields)
        if (const int v = list.alarms.*f.field; v < f.min || v > f.max)
            problems.push_back(alarmPlace(f.key) + ": " + rangeProblem(f, v));
    if (const int t = list.heatTreatment.minTenths; t < kMinHeatTreatmentTenths || t > kMaxHeatTreatmentTenths)
        problems.push_back(heatTreatmentPlace("minCelsius") + ": wartość " + JsonNumberText(t / 10.0) +
                           " poza zakresem " + TenthsNumberText(kMinHeatTreatmentTenths) + ".." +
                           TenthsNumberText(kMaxHeatTreatmentTenths));
    if (const int m = list.heatTreatment.minutes; m < kMinHeatTreatmentMinutes || m > kMaxHeatTreatmentMinutes)
        problems.push_back(heatTreatmentPlace("minutes") + ": wartość " + std::to_string(m) + " poza zakresem " +
                           std::to_string(kMinHeatTreatmentMinutes) + ".." + std::to_string(kMaxHeatTreatmentMinutes));
    std::map<int, std::size_t> seen;
    for (std::size_t i = 0; i < list.chambers.size(); ++i) {
        const Chamber& c = list.chambers[i];
        if (!IsSlaveAddress(c.address))
            problems.push_back(chamberPlace(i, "address") + ": " + addressProblem());
        else if (const auto [first, added] = seen.emplace(c.address, i); !added)
            problems.push_back(chamberPlace(i, "address") + ": " + duplicateProblem(c.address, first->second));
        // As the file would give it back: valid UTF-8, already trimmed.
        const QString name = QString::fromStdString(c.name);
        if (name.toStdString() != c.name)
            problems.push_back(chamberPlace(i, "name") + ": nazwa nie jest poprawnym tekstem UTF-8");
        else if (const std::optional<std::string> what = nameProblem(name))
            problems.push_back(chamberPlace(i, "name") + ": " + *what);
        else if (name.trimmed() != name)
            problems.push_back(chamberPlace(i, "name") + ": nazwa " + QuotedText(c.name) +
                               " zaczyna się albo kończy odstępem");
    }
    return problems;
}

ChamberListResult ChamberListOfContents(const files::Contents& file)
{
    if (file.refusal == files::Refusal::Unreadable && file.error == ENOENT)
        return {}; // no list kept yet
    if (std::optional<std::string> problem = JsonFileReadProblem(file, kChamberListMaxBytes))
        return {{}, {std::move(*problem)}};
    return ParseChamberList(file.bytes);
}

ChamberListResult ReadChamberListFile(const std::string& path)
{
    return ChamberListOfContents(files::ReadRegularFile(path, kChamberListMaxBytes));
}

bool WriteChamberListFile(const std::string& path, const ChamberList& list, std::string& error)
{
    if (const std::vector<std::string> problems = ChamberListProblems(list); !problems.empty()) {
        error = problems.front();
        return false;
    }
    return WriteJsonFile(path, ChamberListJson(list), error);
}

} // namespace torv::plant
