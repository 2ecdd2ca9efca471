// The parameter spinners' click handlers: after a spinner has moved, its
// field shows the new position (tenths spinners in tenths).
#include <string>
#include <string_view>

#include "app/console/console.h"
#include "controller/conversions.h"
#include "view/control_map.h"

namespace torv {

namespace {

// The field a spinner is attached to, rewritten from the spinner's position.
ControlChanges FieldFromSpinner(const Panel& panel, Control spinner, const std::string& separator)
{
    for (const ControlRow& r : ControlMap()) {
        if (r.spinner != spinner)
            continue;
        const int position = panel.spinnerPosition(spinner);
        const Kind kind = MapAt(r.byte).kind;
        const bool tenths = kind == Kind::Tenths || kind == Kind::OffsetTenths;
        return {SetText(r.control, tenths ? TenthsText(position, separator) : std::to_string(position))};
    }
    return {};
}

} // namespace

void Console::UpDown2Click() { panel_.apply(FieldFromSpinner(panel_, controls::UpDown(2), separator)); }
void Console::UpDown4Click() { panel_.apply(FieldFromSpinner(panel_, controls::UpDown(4), separator)); }
void Console::UpDown5Click() { panel_.apply(FieldFromSpinner(panel_, controls::UpDown(5), separator)); }
void Console::UpDown6Click() { panel_.apply(FieldFromSpinner(panel_, controls::UpDown(6), separator)); }
void Console::UpDown7Click() { panel_.apply(FieldFromSpinner(panel_, controls::UpDown(7), separator)); }
void Console::UpDown8Click() { panel_.apply(FieldFromSpinner(panel_, controls::UpDown(8), separator)); }
void Console::UpDown9Click() { panel_.apply(FieldFromSpinner(panel_, controls::UpDown(9), separator)); }
void Console::UpDown10Click() { panel_.apply(FieldFromSpinner(panel_, controls::UpDown(10), separator)); }
void Console::UpDown11Click() { panel_.apply(FieldFromSpinner(panel_, controls::UpDown(11), separator)); }
void Console::UpDown12Click() { panel_.apply(FieldFromSpinner(panel_, controls::UpDown(12), separator)); }
void Console::UpDown14Click() { panel_.apply(FieldFromSpinner(panel_, controls::UpDown(14), separator)); }

} // namespace torv
