#pragma once
#include <string>
#include <vector>

#include "support/headless_panel.h"

namespace torv::testing {

// The headless window plus a log of every change in the order it was made,
// and what the window would have done with links, repaints and closing.
class RecordedPanel final : public HeadlessPanel {
public:
    RecordedPanel();

    void apply(const ControlChanges& changes) override;
    void repaintNow() override { ++repaints; }
    void openLink(const std::string& link) override { openedLinks.push_back(link); }
    void closeWindow() override { closed = true; }

    // The operator steps a whole-number spinner: it continues from its field.
    void stepAddressSpinner(int delta);

    std::vector<ControlChange> log;
    std::vector<std::string> openedLinks;
    int repaints = 0;
    bool closed = false;
};

} // namespace torv::testing
