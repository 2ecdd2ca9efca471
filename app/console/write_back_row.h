#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "app/console/panel.h"
#include "controller/memory_map.h"

namespace torv {

// The value a write-back row takes from its control, or nothing to write:
// a list without a selection, a field showing no number, or a field still
// showing exactly what the view made of the stored byte.
std::optional<std::int16_t> RowValue(const WriteBackRow& row, const Panel& panel, const ImageRow& stored,
                                     const std::string& separator);

} // namespace torv
