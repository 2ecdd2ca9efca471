#include "caption_label.h"

#include <QMouseEvent>

CaptionLabel::CaptionLabel(QWidget* parent)
    : QLabel(parent)
{
}

void CaptionLabel::setText(const QString& text)
{
    QLabel::setText(text);
    if (autoSize_)
        resize(sizeHint().width(), height());
}

void CaptionLabel::setAutoSize(bool on)
{
    autoSize_ = on;
    if (autoSize_ && sizeHint().width() > width())
        resize(sizeHint().width(), height());
}

void CaptionLabel::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

void CaptionLabel::enterEvent(QEnterEvent* event)
{
    QLabel::enterEvent(event);
    emit mouseEntered();
}

void CaptionLabel::leaveEvent(QEvent* event)
{
    QLabel::leaveEvent(event);
    emit mouseLeft();
}
