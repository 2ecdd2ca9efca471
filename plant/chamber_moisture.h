#pragma once
#include <optional>
#include <string>

#include "files/drying_log.h"
#include "plant/chamber_list.h"
#include "quantities/moisture.h"

namespace torv::plant {

// A chamber's relative humidity and the wood's equilibrium moisture, as
// every view of the plant shows them (the overview's tiles, torv-cli read and
// serve). They come from the first thermometer pair, T suchy and T mokry, in
// every LCD mode: the drying log holds no mode, and computed from its columns
// the quantities are the same for a log read later as for the scan itself.

// Chamber `address`'s psychrometer on `list` (a chamber not listed has the
// defaults), the plant's air pressure, and the sensor-fault limits of its alarms.
quantities::Conditions MoistureConditions(const ChamberList& list, int address);

// Both quantities of an answered log row; none for a failed one.
quantities::Moisture RowMoisture(const drying_log::Row& row, const quantities::Conditions& conditions);
// The same for chamber `row.address` on `list`.
quantities::Moisture ChamberMoisture(const ChamberList& list, const drying_log::Row& row);

// A percentage to its tenth, as the reports and the broker carry it: 58.44 -> 584.
std::optional<int> PercentTenths(const std::optional<double>& percent);

} // namespace torv::plant
