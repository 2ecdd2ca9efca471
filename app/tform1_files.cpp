// The window's context menu (a right click on any free area or label) and
// its shortcuts: parameter sets, the chart and the bus monitor. The console
// does the work; here only the menu, the dialogs and the side windows.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QKeySequence>
#include <QSystemTrayIcon>

#include "app/console/console.h"
#include "bus_monitor_window.h"
#include "plant_overview_window.h"
#include "files/drying_log.h"
#include "files/parameter_set.h"
#include "serving_clock.h"
#include "tform1.h"
#include "trend_window.h"
#include "ui_tform1.h"

void TForm1::bindParameterFiles()
{
    const struct {
        const char* name;
        QString text;
        QKeySequence shortcut;
        void (TForm1::*handler)();
    } items[] = {
        {"SaveParametersAction", QStringLiteral("Zapisz parametry do pliku\u2026"), QKeySequence(Qt::CTRL | Qt::Key_S),
         &TForm1::SaveParametersClick},
        {"LoadParametersAction", QStringLiteral("Wczytaj parametry z pliku\u2026"), QKeySequence(Qt::CTRL | Qt::Key_O),
         &TForm1::LoadParametersClick},
        {"TrendChartAction", QStringLiteral("Wykres pomiar\u00f3w\u2026"), QKeySequence(Qt::CTRL | Qt::Key_T),
         &TForm1::TrendChartClick},
        {"BusMonitorAction", QStringLiteral("Monitor magistrali\u2026"), QKeySequence(Qt::CTRL | Qt::Key_M),
         &TForm1::BusMonitorClick},
        {"PlantOverviewAction", QStringLiteral("Przegl\u0105d kom\u00f3r\u2026"), QKeySequence(Qt::CTRL | Qt::Key_K),
         &TForm1::PlantOverviewClick},
    };
    // Fields and lists keep their own menus; labels, pictures, frames and
    // the free area pass the right click on to the client area.
    for (const auto& item : items) {
        auto* action = new QAction(item.text, ui->ClientArea);
        action->setObjectName(QString::fromLatin1(item.name));
        action->setShortcut(item.shortcut);
        action->setShortcutVisibleInContextMenu(true);
        connect(action, &QAction::triggered, this, item.handler);
        ui->ClientArea->addAction(action);
    }
    ui->ClientArea->setContextMenuPolicy(Qt::ActionsContextMenu);
}

QString TForm1::askForParameterFile(bool saving)
{
    QFileDialog dialog(this, saving ? QStringLiteral("Zapisz parametry do pliku") : QStringLiteral("Wczytaj parametry z pliku"),
                       QDir::currentPath(), QStringLiteral("Parametry komory (*.json);;Wszystkie pliki (*)"));
    dialog.setAcceptMode(saving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(saving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QStringLiteral("json"));
    if (saving)
        dialog.selectFile(QString::fromStdString(torv::ParameterSetFileName(console_->activeAddress())));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

// Refused before the dialog opens, so the operator picks no file in vain.
void TForm1::SaveParametersClick()
{
    if (!console_ || ServingClock::serving())
        return;
    {
        HandlerRun run(*this);
        if (!console_->parameterSaveAllowed())
            return;
    }
    const QString path = askForParameterFile(true);
    if (!path.isEmpty())
        SaveParameterSet(path);
}

void TForm1::LoadParametersClick()
{
    if (!console_ || ServingClock::serving())
        return;
    {
        HandlerRun run(*this);
        if (!console_->parameterLoadAllowed())
            return;
    }
    const QString path = askForParameterFile(false);
    if (!path.isEmpty())
        LoadParameterSet(path);
}

void TForm1::SaveParameterSet(const QString& path)
{
    if (!console_ || ServingClock::serving())
        return;
    HandlerRun run(*this);
    console_->saveParameterSet(path.toStdString());
}

void TForm1::LoadParameterSet(const QString& path)
{
    if (!console_ || ServingClock::serving())
        return;
    HandlerRun run(*this);
    console_->loadParameterSet(path.toStdString());
}

// Opening the chart reads files only; it starts no bus work.
void TForm1::TrendChartClick()
{
    if (!console_ || ServingClock::serving())
        return;
    if (!trend_)
        trend_ = new TrendWindow(QDir::currentPath(), this);
    trend_->showController(console_->activeAddress());
    trend_->show();
    trend_->raise();
    trend_->activateWindow();
}

void TForm1::attachBusRecorder(torv::bus_monitor::Recorder* recorder)
{
    if (recorder == busRecorder_)
        return;
    delete monitor_;
    monitor_ = nullptr;
    busRecorder_ = recorder;
}

// It shows what was recorded; opening it starts no bus work.
void TForm1::BusMonitorClick()
{
    if (!busRecorder_ || ServingClock::serving())
        return;
    if (!monitor_)
        monitor_ = new BusMonitorWindow(*busRecorder_, this);
    monitor_->show();
    monitor_->raise();
    monitor_->activateWindow();
}

void TForm1::measured(const torv::drying_log::Row& row)
{
    if (trend_)
        trend_->addMeasurement(row);
}

// Not while bus work waits: a scan of the bus makes each controller active in turn.
void TForm1::followActiveController()
{
    if (trend_ && console_ && !ServingClock::serving())
        trend_->showController(console_->activeAddress());
}

// Opening it reads the chamber list only; its scans start from the event loop.
void TForm1::PlantOverviewClick()
{
    if (!console_ || ServingClock::serving())
        return;
    if (!overview_) {
        PlantOverviewWindow::Hooks hooks;
        hooks.lineFree = [this] { return handlersRunning_ == 0; };
        hooks.lineWorkDone = [this] { deliverPendingTick(); };
        hooks.measured = [this](const torv::Result& scan, bool answered) {
            if (console_ && console_->onMeasurement)
                console_->onMeasurement(scan.address, scan.row, answered);
        };
        hooks.makeActive = [this](int address) { makeActive(address); };
        hooks.busTestFound = [this] {
            return console_ && console_->busTested() ? console_->foundAddresses() : std::vector<std::uint8_t>{};
        };
        hooks.nowUs = [this] { return console_->link().clock().nowUs(); };
        hooks.alarmRaised = [this](const std::string& text) { alarmRaised(text); };
        overview_ = new PlantOverviewWindow(console_->station(), std::move(hooks), QDir::currentPath().toStdString(), this);
    } else if (!overview_->isVisible()) {
        overview_->reload(); // what was mended or added by hand meanwhile
    }
    overview_->show();
    overview_->raise();
    overview_->activateWindow();
}

void TForm1::makeActive(int address)
{
    if (!console_ || ServingClock::serving() || !torv::IsSlaveAddress(address))
        return;
    apply({torv::SetValue(torv::controls::UpDown(1), torv::Property::SpinnerPosition, address),
           torv::SetText(torv::controls::Edit(1), std::to_string(address))});
    UpDown1Click(UpDown::Button::Up);
}

// Once per alarm: a beep, and the desktop's message where it has a tray.
void TForm1::alarmRaised(const std::string& text)
{
    QApplication::beep();
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    if (!tray_) {
        tray_ = new QSystemTrayIcon(windowIcon(), this);
        tray_->show();
    }
    tray_->showMessage(QStringLiteral("Przegl\u0105d kom\u00f3r"), QString::fromStdString(text), QSystemTrayIcon::Warning);
}
