#pragma once
#include "link/notifier.h"

namespace torv {

// The link's boxes for a caller without a window: nothing is shown (the
// station's results say what failed) and every question is answered Cancel,
// so nothing unattended changes how a controller answers.
class QuietNotifier final : public Notifier {
public:
    void notice(const std::string&, const std::string&) override {}
    void errorDialog(const std::string&, const std::string&) override {}
    bool question(const std::string&, const std::string&) override { return false; }
    void beep() override {}
};

} // namespace torv
