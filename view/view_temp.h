#pragma once
#include <string>

#include "controller/memory_map.h"
#include "controller/number_format.h"
#include "view/control_change.h"

namespace torv {

// The live part of the window from one image row: set values, mode line,
// actuator lamps, temperatures, humidity and the programme table, in the
// order they are painted. Every row has a display, also one never filled.
ControlChanges View_Temp(const ImageRow& row, const std::string& separator = systemDecimalSeparator());

// A whole-number field showing its byte. Where the text is not the byte
// itself ("1,2E2" for 123) the spinner cannot step from it, so it is first
// put at the byte within its range; otherwise it steps from the text.
void PaintWholeField(ControlChanges& out, const MapEntry& entry, std::uint8_t byte, const std::string& separator);

} // namespace torv
