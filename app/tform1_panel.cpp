// TForm1 as the console's panel: controls looked up by name and changed as
// the decoders and workflows describe.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QUrl>

#include "caption_label.h"
#include "platform_colours.h"
#include "tform1.h"
#include "ui_tform1.h"
#include "app/qs.h"

using torv::qs;

namespace {

void setFontColour(QWidget* widget, int bgr)
{
    QPalette palette = widget->palette();
    const QColor colour = PlatformColour(bgr);
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    palette.setColor(QPalette::ButtonText, colour);
    widget->setPalette(palette);
}

void setUnderline(QWidget* widget, bool on)
{
    QFont font = widget->font();
    font.setUnderline(on);
    widget->setFont(font);
}


} // namespace

QWidget* TForm1::control(const std::string& name) const
{
    const QString key = qs(name);
    auto it = controls_.constFind(key);
    if (it != controls_.constEnd())
        return it.value();
    QWidget* widget = ui->ClientArea->findChild<QWidget*>(key);
    // Identities are checked against the form; a name that still misses is told once, not skipped unseen.
    if (!widget)
        qWarning("TForm1: no control named %s", qPrintable(key));
    controls_.insert(key, widget);
    return widget;
}

void TForm1::apply(const torv::ControlChanges& changes)
{
    using torv::Property;
    for (const auto& change : changes) {
        QWidget* widget = control(change.control);
        if (!widget)
            continue;
        switch (change.property) {
        case Property::Text:
        case Property::Caption:
            if (auto* field = qobject_cast<QLineEdit*>(widget))
                field->setText(qs(change.text));
            else if (auto* caption = qobject_cast<CaptionLabel*>(widget))
                caption->setText(qs(change.text)); // widens to the new caption
            else if (auto* label = qobject_cast<QLabel*>(widget))
                label->setText(qs(change.text));
            else if (auto* button = qobject_cast<QAbstractButton*>(widget))
                button->setText(qs(change.text));
            break;
        case Property::FontColor: setFontColour(widget, change.value); break;
        case Property::Underline: setUnderline(widget, change.value != 0); break;
        case Property::ListIndex:
            if (auto* list = qobject_cast<QComboBox*>(widget))
                list->setCurrentIndex(change.value >= 0 && change.value < list->count() ? change.value : -1);
            break;
        case Property::SpinnerPosition:
            if (auto* spinner = qobject_cast<UpDown*>(widget))
                spinner->setPosition(change.value);
            break;
        case Property::Checked:
            // toggled() runs CheckBox1Click when the tick really changes.
            if (auto* box = qobject_cast<QCheckBox*>(widget))
                box->setChecked(change.value != 0);
            break;
        case Property::ProgressMax:
            if (auto* bar = qobject_cast<QProgressBar*>(widget)) {
                // A maximum of 0 empties the bar; Qt would show a busy
                // indicator for an empty range, so the range stays.
                if (change.value > 0)
                    bar->setMaximum(change.value);
                bar->setValue(bar->minimum());
            }
            break;
        case Property::ProgressStep:
            if (auto* bar = qobject_cast<QProgressBar*>(widget))
                bar->setValue(std::min(bar->value() + change.value, bar->maximum()));
            break;
        }
    }
}

std::string TForm1::text(const std::string& name) const
{
    QWidget* widget = control(name);
    if (auto* field = qobject_cast<QLineEdit*>(widget))
        return field->text().toStdString();
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text().toStdString();
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        return button->text().toStdString();
    return {};
}

int TForm1::listIndex(const std::string& name) const
{
    auto* list = qobject_cast<QComboBox*>(control(name));
    return list ? list->currentIndex() : -1;
}

int TForm1::spinnerPosition(const std::string& name) const
{
    auto* spinner = qobject_cast<UpDown*>(control(name));
    return spinner ? spinner->position() : 0;
}

bool TForm1::checked(const std::string& name) const
{
    auto* box = qobject_cast<QCheckBox*>(control(name));
    return box && box->isChecked();
}

void TForm1::repaintNow()
{
    // Now, not at the next idle wait of the bus: the bar steps with each address.
    ui->Label26->repaint();
    ui->ProgressBar1->repaint();
}

void TForm1::openLink(const std::string& link) { QDesktopServices::openUrl(QUrl(qs(link))); }

void TForm1::closeWindow()
{
    close();
    QApplication::quit();
}
