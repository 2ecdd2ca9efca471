#pragma once
#include <string>

namespace torv {

// The operator-facing boxes and the beep, kept behind an interface so the bus
// code needs no widget toolkit. Texts are UTF-8.
class Notifier {
public:
    virtual ~Notifier() = default;
    // Notice box: OK only, no owner window, no icon.
    virtual void notice(const std::string& text, const std::string& caption) = 0;
    // Modal error dialog with the error icon and one OK button.
    virtual void errorDialog(const std::string& text, const std::string& caption) = 0;
    // Question box modal to the window: OK and Cancel; true only for OK.
    virtual bool question(const std::string& text, const std::string& caption) = 0;
    virtual void beep() = 0;
};

} // namespace torv
