#pragma once
#include <optional>
#include <string>

#include "files/drying_log.h"

namespace torv::report {

// How a charge report writes times, lengths and values, in Polish.

// "08.12.2026 05:43:17": the plant's clock as the log holds it.
std::string PlantTime(const drying_log::LocalTime& t);
// "08.12.2026 05:43:17 (UTC+01:00)".
std::string PlantTimeWithOffset(const drying_log::LocalTime& t);
// "2 d 03 h 05 min", "3 h 05 min", "5 min 20 s", "40 s".
std::string Duration(long long seconds);
// "56,0": a decimal comma, `decimals` places; "–" without a value.
std::string Number(const std::optional<double>& v, int decimals = 1);

} // namespace torv::report
