#include "updown.h"

#include <algorithm>

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStyleOptionButton>
#include <QStylePainter>

#include "serving_clock.h"

namespace {
// Auto-repeat while an arrow is held, as the platform's spinner does.
constexpr int kRepeatDelayMs = 400;
constexpr int kRepeatIntervalMs = 60;
} // namespace

UpDown::UpDown(QWidget* parent)
    : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    repeatTimer_.setSingleShot(false);
    connect(&repeatTimer_, &QTimer::timeout, this, &UpDown::repeat);
}

void UpDown::setMinimum(int value)
{
    min_ = value;
    max_ = std::max(max_, min_);
    position_ = std::clamp(position_, min_, max_);
}

void UpDown::setMaximum(int value)
{
    max_ = value;
    min_ = std::min(min_, max_);
    position_ = std::clamp(position_, min_, max_);
}

void UpDown::setPosition(int value)
{
    position_ = std::clamp(value, min_, max_);
    if (buddy_)
        buddy_->setText(QString::number(position_));
}

void UpDown::setAssociate(const QString& name)
{
    associate_ = name;
}

void UpDown::setBuddy(QLineEdit* field)
{
    if (buddy_)
        buddy_->removeEventFilter(this);
    buddy_ = field;
    if (buddy_)
        buddy_->installEventFilter(this);
}

void UpDown::bindAssociates(QWidget* root)
{
    for (UpDown* spinner : root->findChildren<UpDown*>()) {
        QWidget* scope = spinner->parentWidget() ? spinner->parentWidget() : root;
        spinner->setBuddy(scope->findChild<QLineEdit*>(spinner->associate(), Qt::FindDirectChildrenOnly));
    }
}

void UpDown::step(Button button)
{
    int from = position_;
    if (wholeNumber_ && buddy_) {
        bool ok = false;
        const int shown = buddy_->text().trimmed().toInt(&ok);
        if (ok)
            from = std::clamp(shown, min_, max_);
    }
    const int delta = button == Button::Up ? 1 : -1;
    position_ = std::clamp(from + delta, min_, max_);
    if (buddy_)
        buddy_->setText(QString::number(position_));
    emit clicked(button);
}

QRect UpDown::half(Button button) const
{
    const int top = height() / 2;
    return button == Button::Up ? QRect(0, 0, width(), top) : QRect(0, top, width(), height() - top);
}

void UpDown::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    for (Button b : {Button::Up, Button::Down}) {
        QStyleOptionButton option;
        option.initFrom(this);
        option.rect = half(b);
        option.state |= QStyle::State_Raised;
        if (pressed_ && pressedButton_ == b)
            option.state = (option.state & ~QStyle::State_Raised) | QStyle::State_Sunken;
        painter.drawPrimitive(QStyle::PE_PanelButtonBevel, option);
        QStyleOption arrow(option);
        arrow.rect = option.rect.adjusted(3, 2, -3, -2);
        painter.drawPrimitive(b == Button::Up ? QStyle::PE_IndicatorArrowUp : QStyle::PE_IndicatorArrowDown, arrow);
    }
}

void UpDown::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    pressed_ = true;
    pressedButton_ = half(Button::Up).contains(event->position().toPoint()) ? Button::Up : Button::Down;
    update();
    step(pressedButton_);
    repeatTimer_.start(kRepeatDelayMs);
}

void UpDown::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    pressed_ = false;
    repeatTimer_.stop();
    update();
}

void UpDown::repeat()
{
    // Held down while bus work runs: the operator's input waits for nothing.
    if (ServingClock::serving())
        return;
    // A handler's modal box can swallow the release; a button no longer held ends the repeat.
    if (!pressed_ || !(QGuiApplication::mouseButtons() & Qt::LeftButton)) {
        pressed_ = false;
        repeatTimer_.stop();
        update();
        return;
    }
    repeatTimer_.setInterval(kRepeatIntervalMs);
    step(pressedButton_);
}

bool UpDown::eventFilter(QObject* watched, QEvent* event)
{
    // Type first: the buddy's own destruction passes events through here, and
    // comparing with the guarded pointer then downcasts a half-destroyed object.
    if (event->type() == QEvent::KeyPress && watched == buddy_) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) {
            step(key->key() == Qt::Key_Up ? Button::Up : Button::Down);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
