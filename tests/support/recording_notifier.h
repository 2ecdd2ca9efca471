#pragma once
#include <string>
#include <vector>

#include "texts/notifier.h"

namespace torv::testing {

// Records every box and beep; answers questions with a scripted OK/Cancel.
class RecordingNotifier final : public Notifier {
public:
    struct Box {
        std::string kind; // "notice", "error", "question"
        std::string text;
        std::string caption;
        bool operator==(const Box&) const = default;
    };

    void notice(const std::string& text, const std::string& caption) override { boxes.push_back({"notice", text, caption}); }
    void errorDialog(const std::string& text, const std::string& caption) override { boxes.push_back({"error", text, caption}); }
    bool question(const std::string& text, const std::string& caption) override
    {
        boxes.push_back({"question", text, caption});
        return answerOk;
    }
    void beep() override { ++beeps; }

    std::vector<Box> boxes;
    int beeps = 0;
    bool answerOk = true;
};

} // namespace torv::testing
