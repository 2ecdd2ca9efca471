// The parameter spinners: after a spinner has moved, its field shows the new
// position (tenths spinners in tenths).
#include <string>

#include "app/console/console.h"
#include "controller/conversions.h"
#include "view/control_map.h"

namespace torv {

ControlChanges Console::SpinnerField(Control spinner, int position, const std::string& separator)
{
    for (const ControlRow& r : ControlMap()) {
        if (r.spinner != spinner)
            continue;
        const Kind kind = MapAt(r.byte).kind;
        const bool tenths = kind == Kind::Tenths || kind == Kind::OffsetTenths;
        return {SetText(r.control, tenths ? TenthsText(position, separator) : std::to_string(position))};
    }
    return {};
}

void Console::spinnerMoved(Control spinner)
{
    panel_.apply(SpinnerField(spinner, panel_.spinnerPosition(spinner), separator_));
}

} // namespace torv
