// The main window as created: every control in its place, with its text and look.
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QFrame>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyleOptionComboBox>
#include <QTimer>
#include <QtTest>

#include "caption_label.h"
#include "fonts.h"
#include "picture.h"
#include "platform_colours.h"
#include "tform1.h"
#include "ui_tform1.h"
#include "updown.h"

namespace {

struct Font {
    const char* face;
    int px;
    bool bold;
    bool italic;
    QColor colour;
};

const QColor red(255, 0, 0), maroon(128, 0, 0), green(0, 128, 0), navy(0, 0, 128), blue(0, 0, 255),
    purple(128, 0, 128), black(0, 0, 0);
const char* const MSS = "MS Sans Serif";
const char* const FGMC = "Franklin Gothic Medium Cond";
const char* const FGDC = "Franklin Gothic Demi Cond";
const Font A{MSS, 11, true, false, navy};
const Font B{FGMC, 16, false, false, maroon};
const Font K{FGDC, 16, false, false, navy};
const Font D{FGDC, 16, false, false, green};
const Font E{FGMC, 16, false, false, red};
const Font F{"Consolas", 15, true, false, navy};
const Font G{"Verdana", 13, true, false, purple};
const Font H{"Arial", 16, false, true, navy};
const Font I{FGMC, 16, false, false, navy};
const Font none{nullptr, 0, false, false, {}};

struct Row {
    QString name;
    const char* cls;
    QRect box;
    QString text;
    QString hint;
    Font font;
};

QString u(const char* s) { return QString::fromUtf8(s); }

// Every control with a caption, text or font, as the layout gives it.
std::vector<Row> layoutRows()
{
    std::vector<Row> rows = {
        // Frames and headings.
        {"Bevel3", "QFrame", {16, 8, 129, 297}, {}, {}, none},
        {"Bevel2", "QFrame", {152, 8, 481, 297}, {}, {}, none},
        {"Bevel4", "QFrame", {640, 8, 209, 465}, {}, {}, none},
        {"Bevel1", "QFrame", {16, 320, 209, 153}, {}, {}, none},
        {"Bevel5", "QFrame", {432, 320, 201, 153}, {}, {}, none},
        {"Label53", "CaptionLabel", {40, 0, 90, 19}, " Pomiary: ", {}, F},
        {"Label50", "CaptionLabel", {312, 0, 225, 19}, " Parametry menu robocze: ", {}, F},
        {"Label69", "CaptionLabel", {664, 0, 171, 19}, " Program automatu: ", {}, F},
        {"Label49", "CaptionLabel", {24, 312, 171, 19}, " Parametry MODBUS: ", {}, F},
        // Measurements.
        {"Label13", "CaptionLabel", {24, 24, 55, 16}, "T suchy", {}, G},
        {"Label5", "CaptionLabel", {64, 40, 27, 24}, "0,0", {}, {"Franklin Gothic Demi", 19, false, false, green}},
        {"Label20", "CaptionLabel", {24, 80, 58, 16}, "T mokry", {}, G},
        {"Label19", "CaptionLabel", {64, 96, 27, 24}, "0,0", {}, {"Franklin Gothic Demi", 19, false, false, green}},
        {"Label34", "CaptionLabel", {24, 136, 94, 16}, "T kontrolna 1", {}, G},
        {"Label32", "CaptionLabel", {64, 152, 25, 24}, "0,0", {}, {FGDC, 19, false, false, green}},
        {"Label46", "CaptionLabel", {24, 192, 94, 16}, "T kontrolna 2", {}, G},
        {"Label45", "CaptionLabel", {64, 208, 25, 24}, "0,0", {}, {FGDC, 19, false, false, green}},
        {"Label12", "CaptionLabel", {24, 248, 80, 16}, u("Wilgotność"), {}, {"Verdana", 13, true, true, purple}},
        {"Label14", "CaptionLabel", {64, 264, 25, 24}, "0,0", {}, {FGDC, 19, false, false, navy}},
        // Working parameters: section captions.
        {"Label64", "CaptionLabel", {160, 24, 64, 21}, "Kalibracja:", {}, B},
        {"Label65", "CaptionLabel", {312, 24, 48, 21}, "Kominki", {}, B},
        {"Label17", "CaptionLabel", {240, 32, 51, 21}, "Otwarcie", {}, B},
        {"Label18", "CaptionLabel", {368, 32, 68, 21}, u("Zamknięcie"), {}, B},
        {"Label24", "CaptionLabel", {448, 40, 63, 21}, u("Nawilżanie"), {}, B},
        {"Label68", "CaptionLabel", {552, 40, 71, 21}, "Wtrysk wody", {}, B},
        {"Label39", "CaptionLabel", {456, 160, 43, 21}, "Grzanie", {}, B},
        {"Label67", "CaptionLabel", {560, 160, 53, 21}, "Histereza", {}, B},
        {"Label29", "CaptionLabel", {256, 136, 53, 21}, "Miralux:", {}, B},
        {"Label40", "CaptionLabel", {160, 248, 83, 21}, "TEMP zadana", {}, {FGDC, 16, false, false, blue}},
        {"Label41", "CaptionLabel", {264, 248, 118, 21}, u("Wilgotność zadana"), {}, {FGDC, 16, false, false, blue}},
        {"Label44", "CaptionLabel", {344, 272, 66, 21}, "Tryb pracy:", {}, {FGDC, 16, false, false, red}},
        // Working parameters: captions and fields.
        {"Label15", "CaptionLabel", {240, 48, 36, 21}, "P1 [s]", {}, D},
        {"Edit5", "QLineEdit", {240, 64, 49, 21}, "1", "Otw.kominka", A},
        {"Label25", "CaptionLabel", {240, 88, 52, 21}, "P2 [min]", {}, D},
        {"Edit8", "QLineEdit", {240, 104, 49, 21}, "1", u("Przerwa otw."), A},
        {"Label27", "CaptionLabel", {368, 48, 36, 21}, "P3 [s]", {}, D},
        {"Edit11", "QLineEdit", {368, 64, 49, 21}, "1", "Zamk.kominka", A},
        {"Label31", "CaptionLabel", {368, 88, 52, 21}, "P4 [min]", {}, D},
        {"Edit14", "QLineEdit", {368, 104, 49, 21}, "1", "Przerwa zamk.", A},
        {"Label10", "CaptionLabel", {512, 64, 46, 21}, u("P5 [°C]"), {}, K},
        {"Edit4", "QLineEdit", {560, 64, 49, 21}, "5", u("Próg alarmu dod. nawilżania"), A},
        {"Label47", "CaptionLabel", {504, 96, 52, 21}, "P6 [min]", {}, K},
        {"Edit13", "QLineEdit", {560, 96, 49, 21}, "1", u("Czas nawilżania"), A},
        {"Label23", "CaptionLabel", {496, 128, 60, 21}, "P7 [h:min]", {}, I},
        {"ComboBox5", "QComboBox", {560, 128, 65, 21}, {}, u("Czas przerwy po nawilżaniu"), A},
        {"Label21", "CaptionLabel", {520, 184, 46, 21}, u("P8 [°C]"), {}, K},
        {"Edit7", "QLineEdit", {568, 184, 41, 21}, "1", "Histereza temp. powiertrza", A},
        {"Label38", "CaptionLabel", {520, 216, 46, 21}, u("P9 [°C]"), {}, K},
        {"Edit10", "QLineEdit", {568, 216, 41, 21}, "1", u("Histereza różnicy dT"), A},
        {"Label22", "CaptionLabel", {160, 48, 54, 21}, u("P10 [°C]"), {}, K},
        {"Edit2", "QLineEdit", {160, 64, 49, 21}, "0", "Kalibracja T1", A},
        {"Label16", "CaptionLabel", {160, 96, 54, 21}, u("P11 [°C]"), {}, K},
        {"Edit6", "QLineEdit", {160, 112, 49, 21}, "0", "Kalibracja T2", A},
        {"Label30", "CaptionLabel", {160, 144, 54, 21}, u("P12 [°C]"), {}, K},
        {"Edit9", "QLineEdit", {160, 160, 49, 21}, "0", "Kalibracja T3", A},
        {"Label43", "CaptionLabel", {160, 192, 54, 21}, u("P13 [°C]"), {}, K},
        {"Edit12", "QLineEdit", {160, 208, 49, 21}, "0", "Kalibracja T4", A},
        {"Label28", "CaptionLabel", {312, 136, 31, 21}, "P14: ", {}, K},
        {"ComboBox4", "QComboBox", {344, 136, 89, 25}, {}, "Tryb LCD", {FGMC, 12, false, false, navy}},
        {"Label51", "CaptionLabel", {336, 168, 45, 21}, "P15 [s]:", {}, I},
        {"Edit3", "QLineEdit", {384, 168, 33, 21}, "1", "Info LCD1", A},
        {"Label52", "CaptionLabel", {336, 200, 42, 21}, "P16[s]:", {}, I},
        {"Edit15", "QLineEdit", {384, 200, 33, 21}, "2", "Info LCD2", A},
        {"CheckBox1", "QCheckBox", {312, 224, 129, 17}, "P17 - Alarm akust.", {}, A},
        {"Edit16", "QLineEdit", {160, 272, 49, 21}, "10", "Temperatura zadana", {MSS, 12, true, false, red}},
        {"Edit17", "QLineEdit", {264, 272, 49, 21}, "1", u("Różnica temp. zadana"), {MSS, 12, true, false, red}},
        // Programme headings and mode button.
        {"Label42", "CaptionLabel", {672, 80, 48, 21}, "Czas[h]", {}, D},
        {"Label54", "CaptionLabel", {728, 80, 113, 21}, u("Temp/Wilgot. [°C]"), {}, D},
        {"Button7", "QPushButton", {712, 432, 89, 33}, "TRYB &PRACY", u("Zmień tryb pracy"), {FGMC, 16, false, false, black}},
        // Bus parameters.
        {"Label6", "CaptionLabel", {24, 344, 87, 19}, "Port RS232:", {}, H},
        {"ComboBox2", "QComboBox", {128, 344, 89, 21}, {}, {}, {MSS, 11, true, false, red}},
        {"Label7", "CaptionLabel", {24, 368, 72, 19}, u("Szybkość:"), {}, H},
        {"ComboBox1", "QComboBox", {128, 368, 89, 23}, {}, {}, {"MS Reference Sans Serif", 11, false, false, red}},
        {"Label8", "CaptionLabel", {24, 392, 81, 19}, u("Parzystość:"), {}, H},
        {"ComboBox3", "QComboBox", {128, 392, 89, 21}, {}, {}, {MSS, 11, false, false, red}},
        {"Label2", "CaptionLabel", {24, 416, 75, 19}, "Komora nr", {}, H},
        {"Label3", "CaptionLabel", {24, 432, 79, 15}, "zakres:[1..250]", {}, {"Arial", 12, false, false, maroon}},
        {"Edit1", "QLineEdit", {128, 416, 73, 24}, "1", {}, {"Arial", 13, true, false, blue}},
        {"Label37", "CaptionLabel", {128, 440, 74, 13}, "Adr. aktywny", {}, {MSS, 11, true, false, blue}},
        // Information block (Label9's and Label11's texts are ours to choose).
        {"Label9", "CaptionLabel", {248, 328, 171, 19}, {}, {}, {"Corbel", 16, true, true, navy}},
        {"Label4", "CaptionLabel", {248, 352, 110, 15}, "Wer. 1.02  11/2017r.", {}, {"Arial", 12, true, false, purple}},
        {"Label11", "CaptionLabel", {248, 368, 120, 13}, {}, {}, {"Microsoft Sans Serif", 11, false, false, purple}},
        {"Label33", "CaptionLabel", {248, 408, 160, 16}, "Skaner ModBUS = OFF", {}, {MSS, 13, true, false, navy}},
        {"Label35", "CaptionLabel", {248, 424, 159, 16}, "TEST ModBUS   = OFF", {}, {MSS, 13, true, false, navy}},
        {"Label36", "CaptionLabel", {248, 440, 117, 16}, u("Błędy ModBus=0"), {}, {MSS, 13, true, false, red}},
        // Command group.
        {"Label66", "CaptionLabel", {472, 328, 124, 25}, u("ROZŁĄCZONY "), {}, {"Franklin Gothic Demi", 20, false, true, red}},
        {"Button2", "QPushButton", {448, 360, 73, 25}, "&START", "Start/Stop skanowania", E},
        {"Button6", "QPushButton", {544, 360, 75, 25}, "&TEST MBUS", u("Test sterowników"), {FGMC, 15, false, false, red}},
        {"Button3", "QPushButton", {448, 400, 73, 25}, "&ZAPIS", "Zapis zmienionych danych", E},
        {"Button4", "QPushButton", {544, 400, 75, 25}, "&ADRES [+]", u("Zmień sterownik"), E},
        {"Button1", "QPushButton", {448, 440, 73, 25}, "&RESET", "Reset sterownika", E},
        {"Button5", "QPushButton", {544, 440, 75, 25}, u("&WYJŚCIE"), "Koniec pracy", E},
        // Bottom strip.
        {"Label26", "CaptionLabel", {16, 480, 169, 13}, "Nie testowano sieci ModBUS.", {}, {MSS, 11, true, false, red}},
        {"ProgressBar1", "QProgressBar", {16, 496, 833, 17}, {}, {}, none},
        {"StatusBar1", "QStatusBar", {0, 526, 864, 1}, {}, {}, none},
    };
    // The programme table, built by its rule.
    for (int i = 1; i <= 10; ++i) {
        const int y = 104 + 32 * (i - 1);
        rows.push_back({i == 1 ? QString("Label48") : QString("Label%1").arg(53 + i), "CaptionLabel",
                        {648, y, i == 10 ? 28 : 24, 21}, i == 10 ? QString("Pr10") : QString("Pr.%1").arg(i), {}, B});
        rows.push_back({QString("Edit%1").arg(3 * i + 15), "QLineEdit", {680, y, 33, 21}, "0", QString("Czas Pr%1").arg(i), A});
        rows.push_back({QString("Edit%1").arg(3 * i + 16), "QLineEdit", {736, y, 33, 21}, "10", QString("Temp Pr%1").arg(i), A});
        rows.push_back({QString("Edit%1").arg(3 * i + 17), "QLineEdit", {792, y, 33, 21}, "1", QString("dTemp Pr%1").arg(i), A});
    }
    return rows;
}

struct SpinnerRow {
    int n;        // UpDownN with buddy EditN
    int x, y, w, h;
    int min, max, start;
};

std::vector<SpinnerRow> spinnerRows()
{
    std::vector<SpinnerRow> rows = {
        {1, 201, 416, 15, 24, 1, 250, 1},   {5, 289, 64, 16, 21, 1, 60, 1},    {8, 289, 104, 16, 21, 1, 60, 1},
        {11, 417, 64, 16, 21, 1, 60, 1},    {14, 417, 104, 16, 21, 1, 60, 1},  {4, 609, 64, 16, 21, 0, 100, 5},
        {13, 609, 96, 16, 21, 1, 60, 1},    {7, 609, 184, 16, 21, 1, 50, 1},   {10, 609, 216, 16, 21, 1, 50, 1},
        {2, 209, 64, 15, 21, -100, 100, 0}, {6, 209, 112, 16, 21, -100, 100, 0}, {9, 209, 160, 16, 21, -100, 100, 0},
        {12, 209, 208, 16, 21, -100, 100, 0}, {3, 417, 168, 16, 21, 1, 30, 1}, {15, 417, 200, 16, 21, 1, 30, 2},
        {16, 209, 272, 16, 21, 0, 99, 10},  {17, 313, 272, 16, 21, 0, 50, 1},
    };
    for (int i = 1; i <= 10; ++i) {
        const int y = 104 + 32 * (i - 1);
        rows.push_back({3 * i + 15, 713, y, 16, 21, 0, 99, 0});
        rows.push_back({3 * i + 16, 769, y, 16, 21, 0, 99, 10});
        rows.push_back({3 * i + 17, 825, y, 16, 21, 0, 50, 1});
    }
    return rows;
}

struct PictureRow {
    const char* name;
    QRect box;
    QSize stored;
    QSize drawn;
};

const PictureRow kPictures[] = {
    {"Image5", {24, 40, 33, 33}, {48, 48}, {33, 33}},    {"Image1", {24, 96, 33, 33}, {48, 48}, {33, 33}},
    {"Image2", {24, 152, 33, 33}, {48, 48}, {33, 33}},   {"Image3", {24, 208, 33, 33}, {48, 48}, {33, 33}},
    {"Image6", {24, 264, 33, 33}, {50, 50}, {33, 33}},   {"Image8", {312, 64, 49, 49}, {400, 386}, {49, 47}},
    {"Image9", {456, 64, 41, 49}, {50, 50}, {41, 41}},   {"Image11", {456, 184, 41, 49}, {36, 40}, {36, 40}},
    {"Image7", {304, 176, 33, 49}, {159, 159}, {33, 33}}, {"Image10", {280, 216, 25, 25}, {79, 79}, {25, 25}},
    {"Image4", {384, 352, 33, 33}, {32, 32}, {32, 32}},  {"Image13", {680, 40, 33, 33}, {32, 32}, {32, 32}},
    {"Image14", {736, 40, 33, 33}, {32, 32}, {32, 32}},  {"Image15", {784, 40, 33, 41}, {126, 127}, {33, 33}},
};

QColor textColour(const QWidget* w)
{
    if (qobject_cast<const QLineEdit*>(w) || qobject_cast<const QComboBox*>(w))
        return w->palette().color(QPalette::Text);
    if (qobject_cast<const QPushButton*>(w))
        return w->palette().color(QPalette::ButtonText);
    return w->palette().color(QPalette::WindowText);
}

} // namespace

class WindowLayoutTest : public QObject {
    Q_OBJECT
private slots:
    void init() { form = std::make_unique<TForm1>(); }
    void cleanup() { form.reset(); }

    void everyControlMatchesItsRow();
    void noControlIsMissingOrExtra();
    void spinnersHaveTheirBuddyRangeAndStart();
    void picturesAreDecodedAndDrawnToFit();
    void listsHoldTheirItemsAndStartEmpty();
    void windowFrameTimerAndColours();
    void headingsPaintOverTheirFrames();
    void fontsResolveToTheRegisteredSubstitutes();

private:
    QWidget* find(const QString& name) { return form->findChild<QWidget*>(name); }
    std::unique_ptr<TForm1> form;
};

void WindowLayoutTest::everyControlMatchesItsRow()
{
    for (const Row& row : layoutRows()) {
        QWidget* w = find(row.name);
        QVERIFY2(w, qPrintable(row.name));
        const QString where = row.name + ": ";
        QVERIFY2(w->inherits(row.cls), qPrintable(where + w->metaObject()->className()));
        QVERIFY2(w->parentWidget() == form->ui->ClientArea, qPrintable(where + "not on the client area"));
        if (qobject_cast<QLabel*>(w)) {
            // A label is as wide as its caption in the face drawn here, never
            // narrower than laid out.
            QCOMPARE(w->pos(), row.box.topLeft());
            QCOMPARE(w->height(), row.box.height());
            QCOMPARE(w->width(), std::max(row.box.width(), w->sizeHint().width()));
        } else {
            QCOMPARE(w->geometry(), row.box);
        }
        if (!row.text.isNull()) {
            QString text;
            if (auto* l = qobject_cast<QLabel*>(w))
                text = l->text();
            else if (auto* e = qobject_cast<QLineEdit*>(w))
                text = e->text();
            else if (auto* b = qobject_cast<QAbstractButton*>(w))
                text = b->text();
            QVERIFY2(text == row.text, qPrintable(where + text + " != " + row.text));
        }
        QVERIFY2(w->toolTip() == row.hint, qPrintable(where + w->toolTip()));
        if (row.font.face) {
            const QFont f = w->font();
            QVERIFY2(f.family() == row.font.face, qPrintable(where + f.family()));
            QVERIFY2(f.pixelSize() == row.font.px, qPrintable(where + QString::number(f.pixelSize())));
            QVERIFY2(f.bold() == row.font.bold && f.italic() == row.font.italic, qPrintable(where + "style"));
            QVERIFY2(textColour(w) == row.font.colour, qPrintable(where + textColour(w).name()));
        }
        if (auto* l = qobject_cast<QLabel*>(w))
            QVERIFY2(l->autoFillBackground() && !l->wordWrap(), qPrintable(where + "not opaque"));
        if (auto* e = qobject_cast<QLineEdit*>(w))
            QVERIFY2(e->isReadOnly(), qPrintable(where + "editable"));
        // At least 2 px each side: a caption as wide as its button touches the border.
        if (auto* b = qobject_cast<QPushButton*>(w))
            QVERIFY2(b->width() - b->fontMetrics().horizontalAdvance(QString(b->text()).remove('&')) >= 4,
                     qPrintable(where + "no margin"));
    }
    // The two set-point fields sit on the menu-bar colour, the others on white.
    QCOMPARE(form->ui->Edit16->palette().color(QPalette::Base), PlatformColour(window_colours::kMenuBar));
    QCOMPARE(form->ui->Edit17->palette().color(QPalette::Base), PlatformColour(window_colours::kMenuBar));
    QCOMPARE(form->ui->Edit5->palette().color(QPalette::Base), QColor(Qt::white));
    QVERIFY(form->ui->Label11->text().startsWith("mailto: "));
    QVERIFY(!form->ui->Label9->text().isEmpty());
    QCOMPARE(form->ui->ProgressBar1->minimum(), 0);
    QCOMPARE(form->ui->ProgressBar1->maximum(), 70);
    QCOMPARE(form->ui->ProgressBar1->value(), 0);
    QVERIFY(!form->ui->CheckBox1->isChecked());
}

void WindowLayoutTest::noControlIsMissingOrExtra()
{
    QSet<QString> expected;
    for (const Row& row : layoutRows())
        expected.insert(row.name);
    for (const SpinnerRow& s : spinnerRows())
        expected.insert(QString("UpDown%1").arg(s.n));
    for (const PictureRow& p : kPictures)
        expected.insert(p.name);
    QSet<QString> present;
    for (QWidget* w : form->ui->ClientArea->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        present.insert(w->objectName());
    QCOMPARE(present - expected, QSet<QString>());
    QCOMPARE(expected - present, QSet<QString>());
    QCOMPARE(form->ui->ClientArea->findChildren<QLineEdit*>(Qt::FindDirectChildrenOnly).size(), 47);
    QCOMPARE(form->ui->ClientArea->findChildren<UpDown*>().size(), 47);
    QCOMPARE(form->ui->ClientArea->findChildren<Picture*>().size(), 14);
}

void WindowLayoutTest::spinnersHaveTheirBuddyRangeAndStart()
{
    for (const SpinnerRow& s : spinnerRows()) {
        auto* spinner = form->findChild<UpDown*>(QString("UpDown%1").arg(s.n));
        QVERIFY2(spinner, qPrintable(QString::number(s.n)));
        const QString where = spinner->objectName() + ": ";
        QCOMPARE(spinner->geometry(), QRect(s.x, s.y, s.w, s.h));
        QCOMPARE(spinner->minimum(), s.min);
        QCOMPARE(spinner->maximum(), s.max);
        QCOMPARE(spinner->position(), s.start);
        QVERIFY2(spinner->buddy() && spinner->buddy()->objectName() == QString("Edit%1").arg(s.n), qPrintable(where + "buddy"));
        QCOMPARE(spinner->buddy()->text(), QString::number(s.start));
        QCOMPARE(spinner->focusPolicy(), Qt::NoFocus);
        QCOMPARE(spinner->cursor().shape(), Qt::PointingHandCursor);
        // The style draws the arrows in these; none is the window's red.
        QCOMPARE(spinner->palette().color(QPalette::WindowText), black);
        QCOMPARE(spinner->palette().color(QPalette::ButtonText), black);
    }
}

void WindowLayoutTest::picturesAreDecodedAndDrawnToFit()
{
    for (const PictureRow& p : kPictures) {
        auto* picture = form->findChild<Picture*>(p.name);
        QVERIFY2(picture, p.name);
        QCOMPARE(picture->geometry(), p.box);
        QVERIFY2(!picture->image().isNull(), p.name);
        QCOMPARE(picture->image().size(), p.stored);
        QCOMPARE(picture->drawnSize(), p.drawn);
    }
    // The four thermometers are one and the same picture.
    QCOMPARE(form->findChild<Picture*>("Image1")->source(), form->findChild<Picture*>("Image5")->source());
}

void WindowLayoutTest::listsHoldTheirItemsAndStartEmpty()
{
    const struct {
        QComboBox* list;
        QStringList items;
    } lists[] = {
        {form->ui->ComboBox1, {"19 200 b/s", "9 600 b/s", "4 800 b/s"}},
        {form->ui->ComboBox2, {"COM 1", "COM 2", "COM 3", "COM 4", "COM 5", "COM 6", "COM 7", "COM 8", "COM 9", "COM 10"}},
        {form->ui->ComboBox3, {"NO", "EVEN", "ODD"}},
        {form->ui->ComboBox4, {u("WYŁĄCZONY"), "MIRALUX", "NORDA"}},
    };
    for (const auto& l : lists) {
        QStringList items;
        for (int i = 0; i < l.list->count(); ++i)
            items << l.list->itemText(i);
        QCOMPARE(items, l.items);
    }
    QComboBox* durations = form->ui->ComboBox5;
    QCOMPARE(durations->count(), 109);
    const struct {
        int index;
        const char* text;
    } samples[] = {{0, "0:00"}, {1, "0:10"}, {5, "0:50"}, {6, "1:00"}, {42, "7:00"}, {107, "17:50"}, {108, "18:00"}};
    for (const auto& s : samples)
        QCOMPARE(durations->itemText(s.index), QString(s.text));
    for (QComboBox* list : form->findChildren<QComboBox*>()) {
        // Every item shows whole in the closed list (the style insets it a pixel each side).
        QStyleOptionComboBox option;
        option.initFrom(list);
        const int room =
            list->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, list).width() - 2;
        for (int i = 0; i < list->count(); ++i)
            QVERIFY2(list->fontMetrics().horizontalAdvance(list->itemText(i)) <= room,
                     qPrintable(list->objectName() + ": " + list->itemText(i)));
        QCOMPARE(list->currentIndex(), -1);
        QVERIFY(!list->isEditable());
        QCOMPARE(list->maxVisibleItems(), 8);
        QCOMPARE(list->cursor().shape(), Qt::PointingHandCursor);
    }
}

void WindowLayoutTest::windowFrameTimerAndColours()
{
    QCOMPARE(form->objectName(), QString("Form1"));
    QCOMPARE(form->windowTitle(), QString("Tester TORV-LCD wer.1.02 11/2017r."));
    QCOMPARE(form->size(), QSize(864, 527));
    QCOMPARE(form->maximumSize(), QSize(864, 541));
    QVERIFY(!(form->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(form->windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(form->windowFlags() & Qt::WindowContextHelpButtonHint));
    QCOMPARE(form->palette().color(QPalette::Window), PlatformColour(window_colours::kWindow));
    QCOMPARE(form->font().family(), QString(MSS));
    QCOMPARE(form->font().pixelSize(), 11);
    // Red is the labels' own: controls that inherit the window's text colour
    // (spinners, the scroll bars' arrows, message boxes) keep the normal one.
    QCOMPARE(form->palette().color(QPalette::WindowText), black);
    QVERIFY(form->windowIcon().availableSizes().contains(QSize(16, 16)));
    auto* timer = form->findChild<QTimer*>("Timer1");
    QVERIFY(timer);
    QVERIFY(timer->isActive());
    QVERIFY(!timer->isSingleShot());
    QCOMPARE(timer->interval(), 10000);
    // The client area scrolls as a whole once the window is smaller than the layout.
    auto* scroll = form->findChild<QScrollArea*>();
    QVERIFY(scroll && scroll->widget() == form->ui->ClientArea);
    QCOMPARE(scroll->verticalScrollBar()->palette().color(QPalette::WindowText), black);
    QCOMPARE(form->ui->ClientArea->minimumSize(), QSize(864, 527));
}

void WindowLayoutTest::headingsPaintOverTheirFrames()
{
    const QObjectList& order = form->ui->ClientArea->children();
    const struct {
        const char* frame;
        const char* heading;
    } groups[] = {{"Bevel3", "Label53"}, {"Bevel2", "Label50"}, {"Bevel4", "Label69"}, {"Bevel1", "Label49"}};
    for (const auto& g : groups) {
        auto* frame = form->findChild<QFrame*>(g.frame);
        auto* heading = form->findChild<QLabel*>(g.heading);
        QCOMPARE(frame->frameShape(), QFrame::Box);
        QCOMPARE(frame->frameShadow(), QFrame::Sunken);
        // Created later, so stacked above the frame line it interrupts.
        QVERIFY2(order.indexOf(heading) > order.indexOf(frame), g.heading);
        QVERIFY2(heading->geometry().top() < frame->geometry().top()
                     && heading->geometry().bottom() > frame->geometry().top(),
                 g.heading);
        QVERIFY(heading->text().startsWith(' ') && heading->text().endsWith(' '));
        // The heading covers no more of the line than its text, and some of
        // the line shows between it and the frame's corner.
        QVERIFY2(heading->width() <= heading->fontMetrics().horizontalAdvance(heading->text()) + 2, g.heading);
        QVERIFY2(frame->geometry().right() - heading->geometry().right() >= 8, g.heading);
    }
    QCOMPARE(form->findChild<QFrame*>("Bevel5")->frameShadow(), QFrame::Sunken);
}

void WindowLayoutTest::fontsResolveToTheRegisteredSubstitutes()
{
    for (int i = 0; i < kFontSubstituteCount; ++i) {
        QFont font(QString::fromLatin1(kFontSubstitutes[i].face));
        font.setPixelSize(16);
        QCOMPARE(QFontInfo(font).family(), QString::fromLatin1(kFontSubstitutes[i].substitute));
    }
    // And every face the window asks for has a substitute.
    QSet<QString> faces;
    for (QWidget* w : form->findChildren<QWidget*>())
        if (w->testAttribute(Qt::WA_SetFont))
            faces.insert(w->font().family());
    for (const QString& face : faces)
        QVERIFY2(!QFont::substitutes(face).isEmpty(), qPrintable(face));
}

QTEST_MAIN(WindowLayoutTest)
#include "window_layout_test.moc"
