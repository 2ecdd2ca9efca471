#include "cli/report.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "controller/conversions.h"
#include "files/json_file.h"
#include "files/json_writer.h"
#include "plant/chamber_moisture.h"
#include "view/control_map.h"

namespace torv::cli {

namespace {

using bytes::kBaudCode;

// Characters as a terminal shows them (UTF-8 continuation bytes take no column).
std::size_t Width(const std::string& s)
{
    return static_cast<std::size_t>(std::count_if(s.begin(), s.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

std::string PadRight(const std::string& s, std::size_t width) { return s + std::string(width - std::min(width, Width(s)), ' '); }

std::string PadLeft(const std::string& s, std::size_t width) { return std::string(width - std::min(width, Width(s)), ' ') + s; }

// The measurement columns with their values as the drying log writes them.
std::vector<std::pair<std::string, std::string>> Measurements(std::uint8_t address, const ImageRow& row,
                                                              const drying_log::LocalTime& time)
{
    const std::vector<std::string> fields =
        drying_log::RowFields(drying_log::MeasurementRow(address, row, drying_log::Status::Ok, time));
    std::vector<std::pair<std::string, std::string>> out;
    for (std::size_t i = 0; i < fields.size(); ++i)
        out.emplace_back(drying_log::Columns()[i], fields[i]);
    return out;
}

// RH and EMC of the read, percent to a tenth, under their JSON keys.
std::vector<std::pair<std::string, std::optional<int>>> MoistureTenths(std::uint8_t address, const ImageRow& row,
                                                                        const drying_log::LocalTime& time,
                                                                        const quantities::Conditions& conditions)
{
    const quantities::Moisture m =
        plant::RowMoisture(drying_log::MeasurementRow(address, row, drying_log::Status::Ok, time), conditions);
    return {{"relativeHumidity", plant::PercentTenths(m.relativeHumidity)},
            {"equilibriumMoisture", plant::PercentTenths(m.equilibriumMoisture)}};
}

std::string BaudText(std::uint8_t code)
{
    const std::vector<std::string> items = ListItemsOf(kBaudCode);
    const std::string rate = code >= 1 && code <= items.size() ? items[code - 1u] : "?";
    return rate + " (kod " + std::to_string(code) + ")";
}

} // namespace

ParameterSet HeldSet(const ImageRow& row)
{
    ParameterSet set;
    for (const int byte : ParameterSetBytes()) {
        const MapEntry& e = MapAt(byte);
        const int value = UnitValue(e, RowByte(row, byte));
        if (e.range.clamp(value) == value)
            set.values[byte] = value;
    }
    return set;
}

std::string ValueText(int byte, int value)
{
    std::string text = ParameterValueJson(MapAt(byte), value);
    if (text.size() >= 2 && text.front() == '"')
        text = text.substr(1, text.size() - 2);
    return text;
}

std::string ReadJson(std::uint8_t address, const ImageRow& row, const drying_log::LocalTime& time,
                     const quantities::Conditions& conditions)
{
    JsonWriter json;
    json.beginObject().key("address").integer(address).key("measurements").beginObject();
    drying_log::WriteRowJson(json, drying_log::MeasurementRow(address, row, drying_log::Status::Ok, time));
    json.endObject();
    for (const auto& [key, tenths] : MoistureTenths(address, row, time, conditions)) {
        json.key(key);
        if (tenths)
            json.fixed(*tenths, 1);
        else
            json.null();
    }
    const ParameterSet set = HeldSet(row);
    json.key("parameters");
    WriteParametersJson(json, set);
    json.key("programme");
    WriteProgrammeJson(json, set);
    return json.key("baudCode").integer(RowByte(row, kBaudCode)).endObject().str() + "\n";
}

std::string ReadTable(std::uint8_t address, const ImageRow& row, const drying_log::LocalTime& time,
                      const quantities::Conditions& conditions)
{
    const auto moisture = MoistureTenths(address, row, time, conditions);
    const ParameterSet set = HeldSet(row);
    std::size_t nameWidth = 0;
    for (const std::string_view c : drying_log::Columns())
        nameWidth = std::max(nameWidth, c.size());
    for (const auto& [byte, value] : set.values)
        nameWidth = std::max(nameWidth, MapAt(byte).name.size());
    for (const auto& [key, tenths] : moisture)
        nameWidth = std::max(nameWidth, key.size());

    std::string out = "Komora " + std::to_string(address) + ", odczyt " + drying_log::IsoTime(time) +
                      ", prędkość " + BaudText(RowByte(row, kBaudCode)) + "\n\nPomiary\n";
    for (const auto& [column, value] : Measurements(address, row, time))
        if (column != "time" && column != "address" && column != "status")
            out += "  " + PadRight(column, nameWidth) + PadLeft(value.empty() ? "-" : value, 7) + "\n";
    for (const auto& [key, tenths] : moisture)
        out += "  " + PadRight(key, nameWidth) +
               (tenths ? PadLeft(TenthsNumberText(*tenths), 7) + " %" : PadLeft("-", 7)) + "\n";

    out += "\nParametry\n";
    for (std::size_t i = 0; i < kSetParameterCount; ++i) {
        const int byte = ParameterSetBytes()[i];
        const auto it = set.values.find(byte);
        const MapEntry& e = MapAt(byte);
        const ControlRow* shown = ControlRowOf(byte);
        out += "  " + PadRight(std::string(e.name), nameWidth) +
               PadLeft(it == set.values.end() ? "?" : ValueText(byte, it->second), 7) +
               (!shown || shown->hint.empty() ? "" : "  " + std::string(shown->hint)) + "\n";
    }

    out += "\nProgram\n  krok  godziny  temperatura  różnica\n";
    for (const ProgrammeStep& step : kProgrammeSteps) {
        out += "  " + PadLeft(std::to_string(step.step), 4);
        for (int k = 0; k < 3; ++k) {
            const auto it = set.values.find(step.firstByte + k);
            out += PadLeft(it == set.values.end() ? "?" : std::to_string(it->second), k == 1 ? 13 : 9);
        }
        out += "\n";
    }
    return out;
}

std::string FoundJson(const std::vector<std::uint8_t>& found)
{
    JsonWriter json;
    json.beginObject(JsonWriter::Layout::Tight).key("found").beginArray();
    for (const std::uint8_t a : found)
        json.integer(a);
    return json.endArray().endObject().str() + "\n";
}

} // namespace torv::cli
