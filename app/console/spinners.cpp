// The parameter spinners: after a spinner has moved, its field shows the new
// position (tenths spinners in tenths).
#include <string>

#include "app/console/console.h"
#include "controller/conversions.h"

namespace torv {

ControlChanges Console::SpinnerField(Control spinner, int position, const std::string& separator)
{
    for (const MapEntry& e : MemoryMap()) {
        if (e.spinner != spinner)
            continue;
        const bool tenths = e.kind == Kind::Tenths || e.kind == Kind::OffsetTenths;
        return {SetText(e.control, tenths ? TenthsText(position, separator) : std::to_string(position))};
    }
    return {};
}

void Console::spinnerMoved(Control spinner)
{
    panel_.apply(SpinnerField(spinner, panel_.spinnerPosition(spinner), separator_));
}

} // namespace torv
