#pragma once
#include <string>

#include "view/control_change.h"
#include "view/controls.h"

namespace torv {

// The window as the workflows see it: controls addressed by name (the
// identities of view/controls.h give the names). The Qt
// window implements it with widgets, tests with a plain record of states.
// Setting a list's selection or a spinner's position through apply() raises
// no operator-change handler; setting CheckBox1's tick does run its click
// handler when the tick changes.
class Panel {
public:
    virtual ~Panel() = default;
    virtual void apply(const ControlChanges& changes) = 0;
    virtual std::string text(const std::string& control) const = 0;
    virtual int listIndex(const std::string& control) const = 0;
    virtual int spinnerPosition(const std::string& control) const = 0;
    virtual bool checked(const std::string& control) const = 0;
    // The same by identity.
    std::string text(Control c) const { return text(c.name()); }
    int listIndex(Control c) const { return listIndex(c.name()); }
    int spinnerPosition(Control c) const { return spinnerPosition(c.name()); }
    bool checked(Control c) const { return checked(c.name()); }
    // Paint the bus-test line and the progress bar now, in the middle of bus work.
    virtual void repaintNow() = 0;
    // Hand a link to the desktop ("open"); the outcome is not examined.
    virtual void openLink(const std::string& link) = 0;
    // End the program: the window closes and the event loop stops.
    virtual void closeWindow() = 0;
};

} // namespace torv
