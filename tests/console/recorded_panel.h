#pragma once
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/console/panel.h"

namespace torv::testing {

// The window as plain data: what each control shows, plus a log of every
// change in the order it was made. Lists and spinners keep their ranges the
// way the widgets do; a changed CheckBox1 tick runs the click handler.
class RecordedPanel final : public Panel {
public:
    struct Control {
        std::string text;
        int fontColor = -1;
        int listIndex = -1;
        int position = 0;
        bool checked = false;
        bool underline = false;
        int progressMax = 70;
        int progressValue = 0;
    };

    RecordedPanel();

    void apply(const ControlChanges& changes) override;
    std::string text(const std::string& control) const override { return get(control).text; }
    int listIndex(const std::string& control) const override { return get(control).listIndex; }
    int spinnerPosition(const std::string& control) const override { return get(control).position; }
    bool checked(const std::string& control) const override { return get(control).checked; }
    void repaintNow() override { ++repaints; }
    void openLink(const std::string& link) override { openedLinks.push_back(link); }
    void closeWindow() override { closed = true; }

    const Control& get(const std::string& name) const;
    Control& at(const std::string& name) { return controls[name]; }
    // The operator steps a whole-number spinner: it continues from its field.
    void stepAddressSpinner(int delta);

    std::map<std::string, Control> controls;
    std::vector<ControlChange> log;
    std::function<void()> onCheckBoxClick;
    std::vector<std::string> openedLinks;
    int repaints = 0;
    bool closed = false;
};

} // namespace torv::testing
