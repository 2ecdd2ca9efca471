#pragma once
#include <cstdint>
#include <string>

#include "controller/memory_map.h"
#include "controller/number_format.h"
#include "view/control_change.h"

namespace torv {

struct ViewFlags {
    bool ScanOn = false;
    bool ReplyOk = false;
    std::uint16_t ErrorCount = 0;
};

// The parameter side of the window from one image row, then the measurements
// (View_Temp), then the status controls from the flags, in painting order.
// Applying the CheckBox1 change may write the alarm byte on the bus; a window
// that wants the status to show that write's outcome applies
// View_Data_Fields and then View_Data_Status with the flags as they are then.
ControlChanges View_Data(const ImageRow& row, const ViewFlags& flags,
                         const std::string& separator = systemDecimalSeparator());

// Everything of View_Data up to and including the alarm check box.
ControlChanges View_Data_Fields(const ImageRow& row, const std::string& separator = systemDecimalSeparator());
// The closing status controls: scanner, link and error counter indicators.
ControlChanges View_Data_Status(const ViewFlags& flags);

} // namespace torv
