#include "recorded_panel.h"

#include <algorithm>

namespace torv::testing {

RecordedPanel::RecordedPanel()
{
    controls["Label11"].text = "mailto: serwis@example.invalid";
    controls["UpDown1"].position = 1;
    controls["Edit1"].text = "1";
}

void RecordedPanel::apply(const ControlChanges& changes)
{
    for (const auto& c : changes) {
        log.push_back(c);
        applyOne(c);
    }
}

void RecordedPanel::stepAddressSpinner(int delta)
{
    Control& spinner = controls["UpDown1"];
    const int from = std::stoi("0" + get("Edit1").text);
    spinner.position = std::clamp(from + delta, 1, 250);
    controls["Edit1"].text = std::to_string(spinner.position);
}

} // namespace torv::testing
