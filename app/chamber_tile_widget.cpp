#include "chamber_tile_widget.h"
#include "app/qs.h"

#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

using torv::qs;

namespace {


QLabel* line(QWidget* parent, QVBoxLayout* layout)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    layout->addWidget(label);
    return label;
}

} // namespace

ChamberTileWidget::ChamberTileWidget(int address, QWidget* parent) : QFrame(parent), address_(address)
{
    setObjectName(QStringLiteral("ChamberTile%1").arg(address));
    setFocusPolicy(Qt::StrongFocus);
    setFixedWidth(230);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->setSpacing(2);
    title_ = line(this, layout);
    QFont bold = title_->font();
    bold.setBold(true);
    title_->setFont(bold);
    values_ = line(this, layout);
    programme_ = line(this, layout);
    programme_->setWordWrap(true);
    actuators_ = new QLabel(this); // rich text: the lit marks in colour
    actuators_->setTextFormat(Qt::RichText);
    layout->addWidget(actuators_);
    lastAnswer_ = line(this, layout);
    alarmText_ = line(this, layout);
    alarmText_->setWordWrap(true);
    restyle();
}

void ChamberTileWidget::display(const torv::plant::ChamberTile& tile, Alarm alarm, const QString& alarmText)
{
    title_->setText(qs(tile.title + " (" + tile.address + ")"));
    // The air and the wood under the bulbs they come from, on one line.
    QStringList values{qs(tile.dry), qs(tile.wet), qs(tile.humidity + "   " + tile.woodMoisture)};
    if (!tile.difference.empty())
        values << qs(tile.difference);
    if (!tile.setTemperature.empty())
        values << qs(tile.setTemperature);
    values_->setText(values.join(QLatin1Char('\n')));
    programme_->setText(qs(tile.programme));
    programme_->setVisible(!tile.programme.empty());
    QStringList marks;
    for (const auto& a : tile.actuators)
        marks << QStringLiteral("<span style=\"color:%1\">%2</span> %3")
                     .arg(a.on && !tile.stale ? QStringLiteral("#d00000") : QStringLiteral("#a0a0a0"),
                          a.on ? QStringLiteral("\u25cf") : QStringLiteral("\u25cb"), qs(a.caption).toHtmlEscaped());
    actuators_->setText(marks.mid(0, 2).join(QStringLiteral("&nbsp;&nbsp;")) + QStringLiteral("<br>") +
                        marks.mid(2).join(QStringLiteral("&nbsp;&nbsp;")));
    lastAnswer_->setText(qs(tile.lastAnswer));
    alarmText_->setText(alarmText);
    alarmText_->setVisible(!alarmText.isEmpty());
    stale_ = tile.stale;
    alarm_ = alarm;
    restyle();
}

QStringList ChamberTileWidget::lines() const
{
    QStringList all{title_->text()};
    all << values_->text().split(QLatin1Char('\n'));
    for (const QLabel* l : {programme_, lastAnswer_, alarmText_})
        if (!l->text().isEmpty())
            all << l->text();
    return all;
}

void ChamberTileWidget::restyle()
{
    const QString frame = alarm_ == Alarm::Fault    ? QStringLiteral("#d00000")
                          : alarm_ == Alarm::Notice ? QStringLiteral("#0060c0")
                          : hasFocus()              ? QStringLiteral("#303030")
                                                    : QStringLiteral("#a0a0a0");
    const int width = alarm_ == Alarm::None ? 1 : 3;
    // Values not from the last scan are grey, never shown as if fresh.
    const QString text = stale_ ? QStringLiteral("#8a8a8a") : QStringLiteral("#000000");
    setStyleSheet(QStringLiteral("ChamberTileWidget { border: %1px solid %2; background: #fafafa; }"
                                 " QLabel { color: %3; }")
                      .arg(width)
                      .arg(frame, text));
}

void ChamberTileWidget::mouseDoubleClickEvent(QMouseEvent* event)
{
    QFrame::mouseDoubleClickEvent(event);
    emit activated(address_);
}

void ChamberTileWidget::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        emit activated(address_);
        return;
    }
    QFrame::keyPressEvent(event);
}

void ChamberTileWidget::focusInEvent(QFocusEvent* event)
{
    QFrame::focusInEvent(event);
    restyle();
    emit selected(address_);
}

void ChamberTileWidget::focusOutEvent(QFocusEvent* event)
{
    QFrame::focusOutEvent(event);
    restyle();
}
