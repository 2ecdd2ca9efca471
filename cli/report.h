#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "controller/memory_map.h"
#include "files/drying_log.h"
#include "files/parameter_set.h"
#include "quantities/moisture.h"

namespace torv::cli {

// What a controller's row holds of a parameter set: every value its control
// can show (ParameterSetFromRow's set when the whole row can be shown).
ParameterSet HeldSet(const ImageRow& row);

// A block read as one JSON object: address, measurements (the drying log's
// columns), relativeHumidity and equilibriumMoisture (percent with one
// decimal, null without a value; from the measurements under `conditions`),
// parameters and programme (as a parameter set file has them), baudCode.
std::string ReadJson(std::uint8_t address, const ImageRow& row, const drying_log::LocalTime& time,
                     const quantities::Conditions& conditions = {});
// The same as a short aligned table.
std::string ReadTable(std::uint8_t address, const ImageRow& row, const drying_log::LocalTime& time,
                      const quantities::Conditions& conditions = {});

std::string FoundJson(const std::vector<std::uint8_t>& found);

// A value of the set as the report shows it: "0.5", "1:00", "true".
std::string ValueText(int byte, int value);

} // namespace torv::cli
