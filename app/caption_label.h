#pragma once
#include <QLabel>

// A window label: static text that keeps its left edge and widens or narrows
// to its caption whenever the program changes the caption, so a longer status
// text is never clipped by the width it was laid out with. It also reports the
// pointer entering and leaving it and a click, for the contact link.
class CaptionLabel : public QLabel {
    Q_OBJECT
public:
    explicit CaptionLabel(QWidget* parent = nullptr);

    // Hides QLabel::setText on purpose: the window's code reaches its labels
    // through their CaptionLabel pointers, and every caption change re-fits.
    void setText(const QString& text);
    // Fitting starts once the window is built, so the form's own sizes hold
    // at creation; only a caption that the substitute face draws wider than
    // its box widens the label then.
    void setAutoSize(bool on);

signals:
    void clicked();
    void mouseEntered();
    void mouseLeft();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    bool autoSize_ = false;
};
