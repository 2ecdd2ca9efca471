#pragma once
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "view/control_change.h"

namespace torv {

// The classes of the main window's controls that the workflows address. The
// window numbers each class's controls from its first to its last number.
enum class ControlClass { Label, Field, Spinner, List, CheckBox, Button, ProgressBar };

// One control of the main window by class and number: {Field, 16} is "Edit16".
struct Control {
    ControlClass kind = ControlClass::Label;
    int number = 0; // 0: no control

    constexpr bool valid() const { return number != 0; }
    // "Edit16"; empty for no control.
    std::string name() const;
    bool operator==(const Control&) const = default;
};

// The one table binding the identities to the window's controls: the name
// prefix, the numbers, and the class of the control in the form file.
struct ControlRange {
    ControlClass kind;
    std::string_view prefix;
    int first;
    int last;
    std::string_view formClass;
};
inline constexpr std::array<ControlRange, 7> kControlRanges{{
    {ControlClass::Label, "Label", 2, 69, "CaptionLabel"},
    {ControlClass::Field, "Edit", 1, 47, "QLineEdit"},
    {ControlClass::Spinner, "UpDown", 1, 47, "UpDown"},
    {ControlClass::List, "ComboBox", 1, 5, "QComboBox"},
    {ControlClass::CheckBox, "CheckBox", 1, 1, "QCheckBox"},
    {ControlClass::Button, "Button", 1, 7, "QPushButton"},
    {ControlClass::ProgressBar, "ProgressBar", 1, 1, "QProgressBar"},
}};

// Every identity of the table, in its order.
const std::vector<Control>& AllControls();
// The identity named `name` ("Edit16"); false when the window has no such control.
bool ControlNamed(std::string_view name, Control& out);

// The identities, checked when the program is compiled: a number the window
// does not have is a compile error, not a control silently never found.
namespace controls {
consteval Control Make(ControlClass kind, int number)
{
    for (const ControlRange& r : kControlRanges)
        if (r.kind == kind && number >= r.first && number <= r.last)
            return {kind, number};
    throw "the window has no such control";
}
consteval Control Label(int n) { return Make(ControlClass::Label, n); }
consteval Control Edit(int n) { return Make(ControlClass::Field, n); }
consteval Control UpDown(int n) { return Make(ControlClass::Spinner, n); }
consteval Control ComboBox(int n) { return Make(ControlClass::List, n); }
consteval Control Button(int n) { return Make(ControlClass::Button, n); }
inline constexpr Control CheckBox1{ControlClass::CheckBox, 1};
inline constexpr Control ProgressBar1{ControlClass::ProgressBar, 1};
} // namespace controls

// Readable test failures.
inline std::ostream& operator<<(std::ostream& os, const Control& c) { return os << c.name(); }

// The control changes by identity.
inline ControlChange SetText(Control c, std::string text) { return SetText(c.name(), std::move(text)); }
inline ControlChange SetCaption(Control c, std::string text) { return SetCaption(c.name(), std::move(text)); }
inline ControlChange SetValue(Control c, Property property, int value) { return SetValue(c.name(), property, value); }

} // namespace torv
