#include "support/headless_panel.h"

#include <algorithm>

#include "view/control_map.h"

namespace torv {

namespace {

int listSize(const std::string& name)
{
    if (name == controls::ComboBox(2).name())
        return 10;
    if (name == controls::ComboBox(5).name())
        return kHumidifyPauseItems;
    return 3; // ComboBox1, ComboBox3, ComboBox4
}

ValueRange spinnerRange(const std::string& name)
{
    for (const ControlRow& r : ControlMap())
        if (r.spinner.name() == name)
            return MapAt(r.byte).range;
    return {};
}

} // namespace

const HeadlessPanel::Control& HeadlessPanel::get(const std::string& name) const
{
    static const Control none;
    const auto it = controls.find(name);
    return it == controls.end() ? none : it->second;
}

void HeadlessPanel::apply(const ControlChanges& changes)
{
    for (const auto& c : changes)
        applyOne(c);
}

void HeadlessPanel::applyOne(const ControlChange& c)
{
    Control& ctl = controls[c.control];
    switch (c.property) {
    case Property::Text:
    case Property::Caption: ctl.text = c.text; break;
    case Property::FontColor: ctl.fontColor = c.value; break;
    case Property::ListIndex: ctl.listIndex = c.value >= 0 && c.value < listSize(c.control) ? c.value : -1; break;
    case Property::SpinnerPosition: ctl.position = spinnerRange(c.control).clamp(c.value); break;
    case Property::Underline: ctl.underline = c.value != 0; break;
    case Property::ProgressMax:
        ctl.progressMax = c.value;
        ctl.progressValue = std::min(ctl.progressValue, c.value);
        break;
    case Property::ProgressStep: ctl.progressValue = std::min(ctl.progressValue + c.value, ctl.progressMax); break;
    case Property::Checked: {
        const bool changed = ctl.checked != (c.value != 0);
        ctl.checked = c.value != 0;
        if (changed && onCheckBoxClick)
            onCheckBoxClick();
        break;
    }
    }
}

} // namespace torv
