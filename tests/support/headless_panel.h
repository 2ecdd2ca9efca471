#pragma once
#include <functional>
#include <map>
#include <string>

#include "app/console/panel.h"

namespace torv {

// The window as plain data: what each control shows. Lists and spinners keep
// their ranges the way the widgets do, and a changed CheckBox1 tick runs the
// click handler, so the console's logic behaves as behind the real window.
// For the tests and benchmarks that drive the console without a window.
class HeadlessPanel : public Panel {
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

    void apply(const ControlChanges& changes) override;
    std::string text(const std::string& control) const override { return get(control).text; }
    int listIndex(const std::string& control) const override { return get(control).listIndex; }
    int spinnerPosition(const std::string& control) const override { return get(control).position; }
    bool checked(const std::string& control) const override { return get(control).checked; }
    void repaintNow() override
    {
        if (onRepaint)
            onRepaint();
    }
    void openLink(const std::string&) override {}
    void closeWindow() override {}

    const Control& get(const std::string& name) const;
    Control& at(const std::string& name) { return controls[name]; }

    std::map<std::string, Control> controls;
    std::function<void()> onCheckBoxClick;
    // Where the window would paint in the middle of bus work (the bus test's progress).
    std::function<void()> onRepaint;

protected:
    void applyOne(const ControlChange& change);
};

} // namespace torv
