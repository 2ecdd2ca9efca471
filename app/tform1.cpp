#include "tform1.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QUrl>

#include "app/console/console.h"
#include "controller/number_format.h"
#include "fonts.h"
#include "link/com_device.h"
#include "platform_colours.h"
#include "serving_clock.h"
#include "ui_tform1.h"

namespace {

constexpr int kTimerIntervalMs = 10000;
// The client area is laid out for 864 x 527 and may grow 14 px in height
// (an outer 880 x 566 window up to 580 high, with the frame's 16 x 39).
constexpr QSize kClientSize(864, 527);
constexpr QSize kClientMaximum(864, 541);

} // namespace

TForm1::TForm1(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    , ui(new Ui::TForm1)
    , Timer1(new QTimer(this))
{
    RegisterFontSubstitutes();
    ui->setupUi(this);
    PinFontsToPixels(this);
    UpDown::bindAssociates(ui->ClientArea);
    for (CaptionLabel* label : ui->ClientArea->findChildren<CaptionLabel*>())
        label->setAutoSize(true);
    // The form cannot say "no selection" for a list that has items. A list
    // longer than its eight visible rows scrolls with a bar, as on the
    // platform it was drawn for; the popup is made with the bar switched off.
    for (QComboBox* list : ui->ClientArea->findChildren<QComboBox*>()) {
        list->setCurrentIndex(-1);
        list->view()->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    }

    resize(kClientSize);
    setMaximumSize(kClientMaximum);
    ui->ClientArea->installEventFilter(this);
    dockStatusBar();

    QIcon icon(QStringLiteral(":/pictures/icon_window.ico"));
    setWindowIcon(icon);

    refreshPortHints();
    ui->ComboBox2->installEventFilter(this);

    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kTimerIntervalMs);
    bindEvents();
    Timer1->start();
    ui->Button1->setFocus();
    // Input kept during bus work runs only when no handler holds the line (or its box open).
    ServingClock::setReplayGate([form = QPointer<TForm1>(this)] { return !form || form->handlersRunning_ == 0; });
}

TForm1::~TForm1()
{
    delete ui;
}

void TForm1::bindEvents()
{
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    connect(ui->Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(ui->Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
    connect(ui->Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
    connect(ui->Button4, &QPushButton::clicked, this, &TForm1::Button4Click);
    connect(ui->Button5, &QPushButton::clicked, this, &TForm1::Button5Click);
    connect(ui->Button6, &QPushButton::clicked, this, &TForm1::Button6Click);
    connect(ui->Button7, &QPushButton::clicked, this, &TForm1::Button7Click);
    // activated, not currentIndexChanged: a selection made by the program must stay silent.
    connect(ui->ComboBox1, &QComboBox::activated, this, &TForm1::ComboBox1Change);
    connect(ui->ComboBox2, &QComboBox::activated, this, &TForm1::ComboBox2Change);
    connect(ui->ComboBox3, &QComboBox::activated, this, &TForm1::ComboBox3Change);
    // toggled, not clicked: the alarm write must follow the program's changes too.
    connect(ui->CheckBox1, &QCheckBox::toggled, this, &TForm1::CheckBox1Click);

    connect(ui->UpDown1, &UpDown::clicked, this, &TForm1::UpDown1Click);
    // Each parameter spinner and the spinner whose field its click rewrites.
    namespace controls = torv::controls;
    const struct {
        UpDown* widget;
        torv::Control moved;
    } spinners[] = {
        {ui->UpDown2, controls::UpDown(2)},   {ui->UpDown4, controls::UpDown(4)},
        {ui->UpDown5, controls::UpDown(5)},   {ui->UpDown6, controls::UpDown(6)},
        {ui->UpDown7, controls::UpDown(7)},   {ui->UpDown8, controls::UpDown(8)},
        {ui->UpDown9, controls::UpDown(9)},   {ui->UpDown10, controls::UpDown(10)},
        {ui->UpDown11, controls::UpDown(11)}, {ui->UpDown12, controls::UpDown(12)},
        {ui->UpDown14, controls::UpDown(14)}, {ui->UpDown3, controls::UpDown(2)},
        {ui->UpDown15, controls::UpDown(2)},
    };
    for (const auto& s : spinners)
        connect(s.widget, &UpDown::clicked, this, [this, moved = s.moved] { UpDownClick(moved); });
    // The programme table's thirty spinners share UpDown2's.
    for (int n = 18; n <= 47; ++n) {
        auto* spinner = ui->ClientArea->findChild<UpDown*>(QStringLiteral("UpDown%1").arg(n));
        connect(spinner, &UpDown::clicked, this, [this] { UpDownClick(torv::controls::UpDown(2)); });
    }

    connect(ui->Label11, &CaptionLabel::clicked, this, &TForm1::Label11Click);
    connect(ui->Label11, &CaptionLabel::mouseEntered, this, &TForm1::Label11MouseEnter);
    connect(ui->Label11, &CaptionLabel::mouseLeft, this, &TForm1::Label11MouseLeave);
    bindParameterFiles();
}

TForm1::HandlerRun::HandlerRun(TForm1& form) : form_(form)
{
    ++form_.handlersRunning_;
    // The pointer says the window is busy; a box shows the normal one.
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
}

TForm1::HandlerRun::~HandlerRun()
{
    QGuiApplication::restoreOverrideCursor();
    --form_.handlersRunning_;
    form_.followActiveController();
    form_.deliverPendingTick();
}

void TForm1::deliverPendingTick()
{
    // A tick that fell while bus work was waiting comes now, once, as it
    // would from an event loop that had been held up.
    if (tickPending_) {
        tickPending_ = false;
        QTimer::singleShot(0, this, &TForm1::Timer1Timer);
    }
}

void TForm1::OpenCommClick()
{
    // Start-up waits for its turn rather than being lost.
    if (ServingClock::serving()) {
        QTimer::singleShot(0, this, &TForm1::OpenCommClick);
        return;
    }
    if (!console_)
        return;
    HandlerRun run(*this);
    console_->start();
}

void TForm1::Timer1Timer()
{
    if (ServingClock::serving()) {
        tickPending_ = true;
        return;
    }
    if (!console_)
        return;
    HandlerRun run(*this);
    console_->scanTick();
}

// The form's handlers and what the operator wants by each: the console does
// the work once attached. While bus work waits and the window is served, no
// handler starts.
#define TORV_DELEGATE(handler, intent)            \
    void TForm1::handler()                        \
    {                                             \
        if (!console_ || ServingClock::serving()) \
            return;                               \
        HandlerRun run(*this);                    \
        console_->intent();                       \
    }
TORV_DELEGATE(Button1Click, resetModule)
TORV_DELEGATE(Button2Click, toggleScanning)
TORV_DELEGATE(Button3Click, writeBack)
TORV_DELEGATE(Button4Click, nextAddress)
TORV_DELEGATE(Button5Click, quit)
TORV_DELEGATE(Button6Click, testBus)
TORV_DELEGATE(Button7Click, toggleProgramme)
TORV_DELEGATE(ComboBox1Change, changeModuleBaud)
TORV_DELEGATE(ComboBox2Change, choosePort)
TORV_DELEGATE(ComboBox3Change, changeModuleParity)
TORV_DELEGATE(CheckBox1Click, switchAlarm)
#undef TORV_DELEGATE

void TForm1::UpDown1Click(UpDown::Button)
{
    if (!console_ || ServingClock::serving())
        return;
    HandlerRun run(*this);
    console_->chooseAddress();
}

void TForm1::Label11MouseEnter() { apply(torv::Console::ContactLinkLook(true)); }
void TForm1::Label11MouseLeave() { apply(torv::Console::ContactLinkLook(false)); }

void TForm1::Label11Click()
{
    if (ServingClock::serving())
        return;
    if (console_)
        console_->openContactLink();
    else
        openLink(ui->Label11->text().toStdString());
}

// Without a console the window rewrites the field itself, so it looks right on its own.
void TForm1::UpDownClick(torv::Control spinner)
{
    if (ServingClock::serving())
        return;
    if (console_)
        console_->spinnerMoved(spinner);
    else
        apply(torv::Console::SpinnerField(spinner, spinnerPosition(spinner.name()), torv::systemDecimalSeparator()));
}

void TForm1::refreshPortHints()
{
    for (int k = 0; k < ui->ComboBox2->count(); ++k) {
        const QString device = QString::fromStdString(torv::ResolveComDevice(static_cast<std::uint8_t>(k)));
        const QFileInfo info(device);
        const QString hint = info.isSymLink() ? device + QStringLiteral(" \u2192 ") + info.symLinkTarget() : device;
        ui->ComboBox2->setItemData(k, hint, Qt::ToolTipRole);
    }
}

void TForm1::dockStatusBar()
{
    const QWidget* client = ui->ClientArea;
    ui->StatusBar1->setGeometry(0, client->height() - ui->StatusBar1->height(), client->width(),
                                ui->StatusBar1->height());
}

bool TForm1::event(QEvent* event)
{
    const bool handled = QWidget::event(event);
    // Message boxes and other programs take the focus and give it back;
    // only the first activation starts the session.
    if (event->type() == QEvent::WindowActivate) {
        activated_ = true;
        startOnceShown();
    }
    return handled;
}

void TForm1::startOnceShown()
{
    // Start-up reads the controller and holds the event loop for seconds:
    // it waits until the window has been painted, so the operator sees the
    // window at once, whichever comes first on this desktop.
    if (!activated_ || !painted_ || started_)
        return;
    started_ = true;
    QTimer::singleShot(0, this, [this] { OpenCommClick(); });
}

void TForm1::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    if (const QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->ClientArea && event->type() == QEvent::Resize)
        dockStatusBar();
    if (watched == ui->ClientArea && event->type() == QEvent::Paint && !painted_) {
        painted_ = true;
        startOnceShown();
    }
    // A port's device can change while the program runs (an adapter
    // plugged in, a link made), so the hints are read as the list opens.
    if (watched == ui->ComboBox2
        && (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::KeyPress))
        refreshPortHints();
    return QWidget::eventFilter(watched, event);
}
