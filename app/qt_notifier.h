#pragma once
#include "texts/notifier.h"

class QWidget;

// The operator-facing boxes as Qt message boxes.
class QtNotifier final : public torv::Notifier {
public:
    // `window` owns the modal boxes (the question and the error dialog).
    explicit QtNotifier(QWidget* window = nullptr);
    void setWindow(QWidget* window) { window_ = window; }

    void notice(const std::string& text, const std::string& caption) override;
    void errorDialog(const std::string& text, const std::string& caption) override;
    bool question(const std::string& text, const std::string& caption) override;
    void beep() override;

private:
    QWidget* window_;
};
