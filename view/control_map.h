#pragma once
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "controller/memory_map.h"
#include "view/controls.h"

namespace torv {

// Which of the window's controls shows a byte of the map, keyed by byte: one
// row per byte the operator sees as a value (Shown), and no other.
struct ControlRow {
    int byte;
    Control control;       // the field, list, check box or label showing it
    Control spinner;       // the field's spinner, none when none
    std::string_view hint; // the field's hint text, empty when none
};
inline constexpr std::size_t kControlRows = 58;
const std::array<ControlRow, kControlRows>& ControlMap();

// The row of byte `byte`; nullptr when no control shows it.
const ControlRow* ControlRowOf(int byte);
// The control showing byte `byte`, and its spinner; none when none.
Control ControlOf(int byte);
Control SpinnerOf(int byte);
// The entry shown by `control` (field, list or check box); nullptr when none.
const MapEntry* MapByControl(Control control);

// The items of `control` (ComboBox1, ComboBox4, ComboBox5); empty for other controls.
std::vector<std::string> ListItems(Control control);

// The label lamp of each actuator bit, in kOutputLamps' order.
struct LampLabel {
    std::uint8_t mask;
    Control label;
};
inline constexpr std::array<LampLabel, kOutputLamps.size()> kLampLabels{{
    {0x08, controls::Label(24)},
    {0x04, controls::Label(39)},
    {0x02, controls::Label(17)},
    {0x01, controls::Label(18)},
}};

// The label of each programme step, in kProgrammeSteps' order.
struct StepLabel {
    int step;
    Control label;
};
inline constexpr std::array<StepLabel, kProgrammeSteps.size()> kStepLabels{{
    {1, controls::Label(48)},
    {2, controls::Label(55)},
    {3, controls::Label(56)},
    {4, controls::Label(57)},
    {5, controls::Label(58)},
    {6, controls::Label(59)},
    {7, controls::Label(60)},
    {8, controls::Label(61)},
    {9, controls::Label(62)},
    {10, controls::Label(63)},
}};

} // namespace torv
