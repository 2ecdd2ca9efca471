// The main window as the operator works it: tab order, spinners, lists,
// the check box, accelerators, the contact link and the first activation.
#include <QCheckBox>
#include <QComboBox>
#include <QAbstractItemView>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSet>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include "controller/number_format.h"
#include "view/view_temp.h"
#include "platform_colours.h"
#include "jpeg_image.h"
#include "picture.h"
#include "tform1.h"
#include "ui_tform1.h"

namespace {

// Records which handlers ran; the spinner handlers keep their own work.
class RecordingForm : public TForm1 {
public:
    QStringList calls;
    int count(const QString& handler) const { return int(calls.count(handler)); }

#define RECORD(name) \
    void name() override { calls << #name; }
    RECORD(OpenCommClick)
    RECORD(Timer1Timer)
    RECORD(Button1Click)
    RECORD(Button2Click)
    RECORD(Button3Click)
    RECORD(Button4Click)
    RECORD(Button5Click)
    RECORD(Button6Click)
    RECORD(Button7Click)
    RECORD(ComboBox1Change)
    RECORD(ComboBox2Change)
    RECORD(ComboBox3Change)
    RECORD(CheckBox1Click)
    RECORD(SaveParametersClick)
    RECORD(LoadParametersClick)
    RECORD(TrendChartClick)
    RECORD(BusMonitorClick)
#undef RECORD
    // Under the name of the spinner whose field the click rewrites: "UpDown2Click".
    void UpDownClick(torv::Control spinner) override
    {
        calls << QString::fromStdString(spinner.name()) + "Click";
        TForm1::UpDownClick(spinner);
    }
    void UpDown1Click(UpDown::Button) override { calls << "UpDown1Click"; }
};

// The places of the tab order that take the focus.
QStringList expectedTabOrder()
{
    QMap<int, QString> places = {
        {0, "Button1"}, {1, "ComboBox1"}, {2, "ComboBox2"}, {3, "ComboBox3"}, {4, "Edit1"}, {6, "Edit2"},
        {8, "Button2"}, {9, "Button3"}, {11, "Button6"}, {13, "Edit4"}, {15, "Edit5"}, {17, "ComboBox4"},
        {18, "CheckBox1"}, {19, "Edit6"}, {21, "Edit7"}, {23, "Edit8"}, {25, "Edit9"}, {27, "Edit10"},
        {29, "Edit11"}, {31, "Edit12"}, {33, "Edit13"}, {35, "Edit14"}, {37, "Edit3"}, {39, "Edit15"},
        {41, "Button4"}, {42, "Button5"}, {43, "ComboBox5"}, {44, "Edit16"}, {46, "Edit17"}, {108, "Button7"},
        // Programme: duration, temperature, difference field of each step, Edit22 displaced to 71.
        {48, "Edit18"}, {50, "Edit19"}, {52, "Edit20"}, {54, "Edit21"}, {57, "Edit23"}, {71, "Edit22"},
    };
    for (int step = 3; step <= 10; ++step) {
        const int base = step <= 4 ? 59 + 6 * (step - 3) : 72 + 6 * (step - 5);
        for (int column = 0; column < 3; ++column)
            places[base + 2 * column] = QString("Edit%1").arg(3 * step + 15 + column);
    }
    return places.values();
}

} // namespace

class WindowBehaviourTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        form = std::make_unique<RecordingForm>();
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        // Start-up follows the first activation once the window is painted.
        QTRY_COMPARE(form->count("OpenCommClick"), 1);
    }
    void cleanup() { form.reset(); }

    void firstActivationRunsStartUpOnce();
    void tabVisitsThePlacesInOrder();
    void spinnersStopAtTheirEnds_data();
    void spinnersStopAtTheirEnds();
    void wholeNumberSpinnerContinuesFromItsField();
    void tenthsSpinnerKeepsItsOwnPosition();
    void arrowKeysStepTheFocusedFieldsSpinner();
    void fieldsCannotBeTypedInto();
    void positionSetByTheProgramRaisesNoClick();
    void sharedHandlerRewritesOnlyEdit2();
    void everySpinnerReachesItsHandler();
    void listChangeComesOnlyFromTheOperator();
    void openedListShowsEightItems();
    void checkBoxRunsItsHandlerForProgramChangesToo();
    void acceleratorsPressTheirButtons();
    void sideWindowsFromTheContextMenuAndShortcuts(); // parameter files, the chart, the bus monitor
    void portListShowsTheDeviceOfEachPort();
    void contactLinkHoverLook();
    void labelsWidenWithTheirCaption();
    void statusBarStaysDockedAtTheBottom();
    void brokenJpegGivesANullPictureNotAnExit();
    void platformColoursAreBlueGreenRed();

private:
    std::unique_ptr<RecordingForm> form;
};

void WindowBehaviourTest::firstActivationRunsStartUpOnce()
{
    QCOMPARE(form->count("OpenCommClick"), 1);
    // Another window takes the focus and gives it back: no second start-up.
    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    QCOMPARE(form->count("OpenCommClick"), 1);
    QCOMPARE(QApplication::focusWidget(), form->ui->Button1);
    // Shown in the middle of the screen.
    const QPoint middle = form->screen()->availableGeometry().center();
    QVERIFY((form->frameGeometry().center() - middle).manhattanLength() <= 2);
}

void WindowBehaviourTest::tabVisitsThePlacesInOrder()
{
    const QStringList expected = expectedTabOrder();
    QCOMPARE(expected.size(), 60);
    form->ui->Button1->setFocus();
    QStringList visited;
    for (int i = 0; i < expected.size(); ++i) {
        visited << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(visited, expected);
    // Round the loop back to the first place.
    QCOMPARE(QApplication::focusWidget(), form->ui->Button1);
    QCOMPARE(form->ui->ProgressBar1->focusPolicy(), Qt::NoFocus);
}

void WindowBehaviourTest::spinnersStopAtTheirEnds_data()
{
    QTest::addColumn<QString>("spinner");
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::newRow("address") << "UpDown1" << 1 << 250;
    QTest::newRow("calibration P10") << "UpDown2" << -100 << 100;
    QTest::newRow("calibration P13") << "UpDown12" << -100 << 100;
    QTest::newRow("P5 threshold") << "UpDown4" << 0 << 100;
    QTest::newRow("P8 hysteresis") << "UpDown7" << 1 << 50;
    QTest::newRow("set temperature") << "UpDown16" << 0 << 99;
    QTest::newRow("set difference") << "UpDown17" << 0 << 50;
    QTest::newRow("step 10 difference") << "UpDown47" << 0 << 50;
}

void WindowBehaviourTest::spinnersStopAtTheirEnds()
{
    QFETCH(QString, spinner);
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    auto* s = form->findChild<UpDown*>(spinner);
    const QPoint up(s->width() / 2, 2), down(s->width() / 2, s->height() - 3);
    s->setPosition(maximum - 1);
    QTest::mouseClick(s, Qt::LeftButton, {}, up);
    QCOMPARE(s->position(), maximum);
    QTest::mouseClick(s, Qt::LeftButton, {}, up);
    QCOMPARE(s->position(), maximum); // no wrap to the minimum
    s->setPosition(minimum + 1);
    QTest::mouseClick(s, Qt::LeftButton, {}, down);
    QTest::mouseClick(s, Qt::LeftButton, {}, down);
    QCOMPARE(s->position(), minimum);
    // A position beyond the range is held at the nearest end.
    s->setPosition(maximum + 7);
    QCOMPARE(s->position(), maximum);
}

void WindowBehaviourTest::wholeNumberSpinnerContinuesFromItsField()
{
    // The program shows a value read from the controller in the field only.
    form->ui->Edit5->setText("37");
    QCOMPARE(form->ui->UpDown5->position(), 1);
    form->ui->UpDown5->step(UpDown::Button::Up);
    QCOMPARE(form->ui->UpDown5->position(), 38);
    QCOMPARE(form->ui->Edit5->text(), QString("38"));
    // A field beyond the range continues from the range's end.
    form->ui->Edit5->setText("75");
    form->ui->UpDown5->step(UpDown::Button::Down);
    QCOMPARE(form->ui->Edit5->text(), QString("59"));
    // The programme fields behave alike, with no handler of their own.
    form->ui->Edit46->setText("55");
    form->ui->UpDown46->step(UpDown::Button::Down);
    QCOMPARE(form->ui->Edit46->text(), QString("54"));
    // A byte the field shows rounded ("1,2E2" for 123): the step starts from
    // the byte within the range, not from wherever the spinner last stood.
    torv::ImageRow row{};
    row[156 - torv::kFirstByte] = 123;
    form->apply(torv::View_Temp(row, ","));
    QCOMPARE(form->ui->Edit46->text(), QString("1,2E2"));
    form->ui->UpDown46->step(UpDown::Button::Down);
    QCOMPARE(form->ui->Edit46->text(), QString("98"));
}

void WindowBehaviourTest::tenthsSpinnerKeepsItsOwnPosition()
{
    const QString sep = QString::fromStdString(torv::systemDecimalSeparator());
    form->ui->UpDown7->setPosition(15);
    form->ui->Edit7->setText("1" + sep + "5");
    form->ui->UpDown7->step(UpDown::Button::Up);
    QCOMPARE(form->ui->UpDown7->position(), 16);
    QCOMPARE(form->ui->Edit7->text(), "1" + sep + "6");
    form->ui->UpDown2->setPosition(-24);
    form->ui->UpDown2->step(UpDown::Button::Down);
    QCOMPARE(form->ui->Edit2->text(), "-2" + sep + "5");
    form->ui->UpDown4->setPosition(4);
    form->ui->UpDown4->step(UpDown::Button::Up);
    QCOMPARE(form->ui->Edit4->text(), "0" + sep + "5");
}

void WindowBehaviourTest::arrowKeysStepTheFocusedFieldsSpinner()
{
    form->ui->Edit1->setFocus();
    QTest::keyClick(form->ui->Edit1, Qt::Key_Up);
    QTest::keyClick(form->ui->Edit1, Qt::Key_Up);
    QCOMPARE(form->ui->Edit1->text(), QString("3"));
    QTest::keyClick(form->ui->Edit1, Qt::Key_Down);
    QCOMPARE(form->ui->UpDown1->position(), 2);
    QCOMPARE(form->count("UpDown1Click"), 3);
}

void WindowBehaviourTest::fieldsCannotBeTypedInto()
{
    form->ui->Edit1->setFocus();
    QTest::keyClicks(form->ui->Edit1, "42");
    QTest::keyClick(form->ui->Edit1, Qt::Key_Backspace);
    QCOMPARE(form->ui->Edit1->text(), QString("1"));
}

void WindowBehaviourTest::positionSetByTheProgramRaisesNoClick()
{
    form->ui->UpDown5->setPosition(20);
    form->ui->UpDown2->setPosition(-3);
    QCOMPARE(form->count("UpDown5Click"), 0);
    QCOMPARE(form->count("UpDown2Click"), 0);
    QCOMPARE(form->ui->Edit5->text(), QString("20"));
    QTest::mouseClick(form->ui->UpDown5, Qt::LeftButton, {}, QPoint(8, 2));
    QCOMPARE(form->count("UpDown5Click"), 1);
}

void WindowBehaviourTest::sharedHandlerRewritesOnlyEdit2()
{
    form->calls.clear();
    const QString sep = QString::fromStdString(torv::systemDecimalSeparator());
    form->ui->UpDown2->setPosition(7);
    form->ui->Edit2->setText("0" + sep + "7");
    form->ui->UpDown3->step(UpDown::Button::Up);
    form->ui->UpDown33->step(UpDown::Button::Up);
    QCOMPARE(form->count("UpDown2Click"), 2);
    QCOMPARE(form->ui->Edit3->text(), QString("2"));
    QCOMPARE(form->ui->Edit33->text(), QString("1"));
    QCOMPARE(form->ui->Edit2->text(), "0" + sep + "7");
    // No handler at all for these three.
    form->ui->UpDown13->step(UpDown::Button::Up);
    form->ui->UpDown16->step(UpDown::Button::Up);
    QCOMPARE(form->ui->Edit16->text(), QString("11"));
    QCOMPARE(form->calls, QStringList({"UpDown2Click", "UpDown2Click"}));
}

void WindowBehaviourTest::everySpinnerReachesItsHandler()
{
    // The form's wiring: the address and parameter spinners their own
    // handler, the rest of the sheet UpDown2's, three spinners none.
    const QSet<int> own = {1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14}, none = {13, 16, 17};
    for (int n = 1; n <= 47; ++n) {
        form->calls.clear();
        form->findChild<UpDown*>(QStringLiteral("UpDown%1").arg(n))->step(UpDown::Button::Up);
        const QStringList expected =
            none.contains(n) ? QStringList{} : QStringList{QStringLiteral("UpDown%1Click").arg(own.contains(n) ? n : 2)};
        QCOMPARE(form->calls, expected);
    }
}

void WindowBehaviourTest::listChangeComesOnlyFromTheOperator()
{
    const struct {
        QComboBox* list;
        const char* handler;
    } lists[] = {{form->ui->ComboBox1, "ComboBox1Change"},
                 {form->ui->ComboBox2, "ComboBox2Change"},
                 {form->ui->ComboBox3, "ComboBox3Change"}};
    for (const auto& l : lists) {
        l.list->setCurrentIndex(1);
        QCOMPARE(form->count(l.handler), 0);
        l.list->setFocus();
        QTest::keyClick(l.list, Qt::Key_Down);
        QCOMPARE(l.list->currentIndex(), 2);
        QCOMPARE(form->count(l.handler), 1);
    }
    // The two lists without a handler change silently.
    form->ui->ComboBox4->setFocus();
    QTest::keyClick(form->ui->ComboBox4, Qt::Key_Down);
    QCOMPARE(form->calls.size(), 4); // the start-up and the three above
}

void WindowBehaviourTest::openedListShowsEightItems()
{
    const struct {
        QComboBox* list;
        int visible;
    } lists[] = {{form->ui->ComboBox5, 8}, {form->ui->ComboBox2, 8}, {form->ui->ComboBox1, 3}};
    for (const auto& l : lists) {
        l.list->showPopup();
        QAbstractItemView* view = l.list->view();
        QTRY_VERIFY(view->isVisible());
        const int row = view->sizeHintForRow(0);
        QVERIFY2(view->height() >= l.visible * row && view->height() < (l.visible + 1) * row,
                 qPrintable(l.list->objectName() + ": " + QString::number(view->height())));
        // The items beyond the eighth are reached with a scroll bar.
        QCOMPARE(view->verticalScrollBar()->isVisible(), l.list->count() > l.visible);
        l.list->hidePopup();
    }
}

void WindowBehaviourTest::checkBoxRunsItsHandlerForProgramChangesToo()
{
    QCheckBox* box = form->ui->CheckBox1;
    box->setChecked(true);
    QCOMPARE(form->count("CheckBox1Click"), 1);
    box->setChecked(true); // no change, no event
    QCOMPARE(form->count("CheckBox1Click"), 1);
    box->setChecked(false);
    QCOMPARE(form->count("CheckBox1Click"), 2);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    QVERIFY(box->isChecked());
    QCOMPARE(form->count("CheckBox1Click"), 3);
}

void WindowBehaviourTest::acceleratorsPressTheirButtons()
{
    const struct {
        Qt::Key key;
        const char* handler;
    } keys[] = {{Qt::Key_S, "Button2Click"}, {Qt::Key_R, "Button1Click"}, {Qt::Key_Z, "Button3Click"},
                {Qt::Key_T, "Button6Click"}, {Qt::Key_A, "Button4Click"}, {Qt::Key_W, "Button5Click"},
                {Qt::Key_P, "Button7Click"}};
    for (const auto& k : keys) {
        form->calls.clear();
        QTest::keyClick(QApplication::focusWidget(), k.key, Qt::AltModifier);
        // A shortcut presses the button visibly, so the click follows from the event loop.
        QTRY_COMPARE(form->calls, QStringList{k.handler});
    }
    // The scanner button keeps its letter when its caption turns to STOP.
    form->ui->Button2->setText("&STOP");
    form->calls.clear();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::AltModifier);
    QTRY_COMPARE(form->calls, QStringList{"Button2Click"});
}

void WindowBehaviourTest::sideWindowsFromTheContextMenuAndShortcuts()
{
    // A right click on a label or a picture opens the client area's menu;
    // the shortcut works from a field too.
    const struct {
        QWidget* target;
        int item;
        Qt::Key key;
        const char* handler;
    } directions[] = {{form->ui->Label53, 0, Qt::Key_S, "SaveParametersClick"},
                      {form->ui->ClientArea->findChild<Picture*>(), 1, Qt::Key_O, "LoadParametersClick"},
                      {form->ui->Label53, 2, Qt::Key_T, "TrendChartClick"},
                      {form->ui->Label53, 3, Qt::Key_M, "BusMonitorClick"}};
    form->Timer1->stop(); // its ticks would be recorded too
    for (const auto& d : directions) {
        QVERIFY(d.target);
        form->calls.clear();
        QTimer::singleShot(0, form.get(), [&] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                menu->actions().at(d.item)->trigger();
                menu->close();
            }
        });
        QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(3, 3), d.target->mapToGlobal(QPoint(3, 3)));
        QApplication::sendEvent(d.target, &rightClick);
        QTRY_COMPARE(form->calls, QStringList{d.handler});
        form->activateWindow(); // back from the menu
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        form->calls.clear();
        form->ui->Edit5->setFocus();
        QTest::keyClick(form->ui->Edit5, d.key, Qt::ControlModifier);
        QTRY_COMPARE(form->calls, QStringList{d.handler});
    }
}

void WindowBehaviourTest::portListShowsTheDeviceOfEachPort()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    QVERIFY(QFile::link("/dev/null", dir.filePath("COM3")));
    // Opening the list reads the hints afresh.
    QTest::keyClick(form->ui->ComboBox2, Qt::Key_Down);
    const QString com3 = form->ui->ComboBox2->itemData(2, Qt::ToolTipRole).toString();
    const QString com4 = form->ui->ComboBox2->itemData(3, Qt::ToolTipRole).toString();
    QDir::setCurrent(previous);
    QVERIFY2(com3.startsWith("./COM3") && com3.endsWith("/dev/null"), qPrintable(com3));
    QVERIFY2(com4 == "/dev/ttyUSB3" || com4 == "/dev/ttyS3", qPrintable(com4));
}

void WindowBehaviourTest::contactLinkHoverLook()
{
    CaptionLabel* link = form->ui->Label11;
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(link, &enter);
    QCOMPARE(link->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QVERIFY(link->font().underline());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(link, &leave);
    QCOMPARE(link->palette().color(QPalette::WindowText), QColor(128, 0, 128));
    QVERIFY(!link->font().underline());
}

void WindowBehaviourTest::labelsWidenWithTheirCaption()
{
    CaptionLabel* line = form->ui->Label26;
    const QRect before = line->geometry();
    line->setText(QString::fromUtf8("Znaleziono 3 sterowniki w sieci ModBUS: 1, 7, 250."));
    QCOMPARE(line->x(), before.x());
    QCOMPARE(line->y(), before.y());
    QVERIFY(line->width() > before.width());
    QVERIFY(line->width() >= line->sizeHint().width());
}

void WindowBehaviourTest::statusBarStaysDockedAtTheBottom()
{
    form->resize(864, 541);
    QTRY_COMPARE(form->ui->StatusBar1->geometry(), QRect(0, 540, 864, 1));
    // Growing moves nothing else.
    QCOMPARE(form->ui->ProgressBar1->geometry(), QRect(16, 496, 833, 17));
    form->resize(900, 600); // beyond the limits
    QCOMPARE(form->size(), QSize(864, 541));
    // Smaller than the layout: scroll bars, and the layout itself stays as it is.
    form->resize(400, 300);
    auto* scroll = form->findChild<QScrollArea*>("ScrollBox");
    QTRY_VERIFY(scroll->horizontalScrollBar()->isVisible() && scroll->verticalScrollBar()->isVisible());
    QCOMPARE(form->ui->ClientArea->size(), QSize(864, 527));
    scroll->ensureWidgetVisible(form->ui->Button7);
    QVERIFY(scroll->horizontalScrollBar()->value() > 0 && scroll->verticalScrollBar()->value() > 0);
    QCOMPARE(form->ui->Button7->geometry(), QRect(712, 432, 89, 33));
}

void WindowBehaviourTest::brokenJpegGivesANullPictureNotAnExit()
{
    QFile file(":/pictures/bell.jpg");
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray good = file.readAll();
    QCOMPARE(DecodeJpeg(good).size(), QSize(79, 79));
    // Each of these makes libjpeg give up; its default handler would end the program.
    QByteArray twelveBit = good;
    const qsizetype frame = twelveBit.indexOf(QByteArray("\xFF\xC0", 2));
    QVERIFY(frame > 0);
    twelveBit[frame + 4] = char(12); // sample precision this decoder does not do
    const QByteArray fatal[] = {QByteArray("not a picture"), good.left(20), good.left(2) + QByteArray(40, '\0'),
                                twelveBit};
    for (const QByteArray& bad : fatal)
        QVERIFY(DecodeJpeg(bad).isNull());
    // A cut scan is only a warning: the picture comes back whole in size.
    QCOMPARE(DecodeJpeg(good.left(good.size() / 2)).size(), QSize(79, 79));
}

void WindowBehaviourTest::platformColoursAreBlueGreenRed()
{
    const struct {
        int platform;
        QColor colour;
    } cases[] = {{torv::colours::kRed, {255, 0, 0}},     {torv::colours::kMaroon, {128, 0, 0}},
                 {torv::colours::kGreen, {0, 128, 0}},   {torv::colours::kNavy, {0, 0, 128}},
                 {torv::colours::kBlue, {0, 0, 255}},    {torv::colours::kPurple, {128, 0, 128}},
                 {torv::colours::kPaleGreen, {192, 220, 192}}, {window_colours::kBlack, {0, 0, 0}},
                 {8388608, {0, 0, 128}}, {16711680, {0, 0, 255}}};
    for (const auto& c : cases)
        QCOMPARE(PlatformColour(c.platform), c.colour);
}

QTEST_MAIN(WindowBehaviourTest)
#include "window_behaviour_test.moc"
