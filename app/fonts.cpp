#include "fonts.h"

#include <cmath>

#include <QFont>
#include <QWidget>

// Narrow faces stand in for the condensed ones so captions keep their width.
// Where a stand-in is wider still, the form sets the few controls that would
// not fit a point smaller: the four headings (DejaVu Sans Mono's cell is
// 9.6 px at 16 px, they were laid out for 9), P14's list and TEST MBUS.
const FontSubstitute kFontSubstitutes[] = {
    {"MS Sans Serif", "Liberation Sans"},
    {"Microsoft Sans Serif", "Liberation Sans"},
    {"MS Reference Sans Serif", "DejaVu Sans"},
    {"Arial", "Liberation Sans"},
    {"Verdana", "DejaVu Sans"},
    {"Corbel", "Liberation Sans"},
    {"Consolas", "DejaVu Sans Mono"},
    {"Franklin Gothic Medium Cond", "Liberation Sans Narrow"},
    {"Franklin Gothic Demi Cond", "Liberation Sans Narrow"},
    {"Franklin Gothic Demi", "DejaVu Sans Condensed"},
};
const int kFontSubstituteCount = int(std::size(kFontSubstitutes));

void RegisterFontSubstitutes()
{
    for (const auto& s : kFontSubstitutes)
        QFont::insertSubstitution(QString::fromLatin1(s.face), QString::fromLatin1(s.substitute));
}

void PinFontsToPixels(QWidget* root)
{
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    for (QWidget* w : widgets) {
        if (!w->testAttribute(Qt::WA_SetFont))
            continue;
        QFont font = w->font();
        if (font.pointSizeF() <= 0)
            continue;
        font.setPixelSize(int(std::lround(font.pointSizeF() * 96.0 / 72.0)));
        w->setFont(font);
    }
}
