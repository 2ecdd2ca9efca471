// The real window, offscreen, driving the real port code on a pseudo-terminal
// served by the simulator; message boxes are answered by the test.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTableWidget>
#include <QAction>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <mutex>
#include <qcustomplot.h>
#include <sys/stat.h>

#include "bus_monitor_window.h"
#include "chamber_tile_widget.h"
#include "plant/chamber_list.h"
#include "plant_overview_window.h"
#include "files/drying_log.h"
#include "files/parameter_set.h"
#include "serving_clock.h"
#include "session.h"
#include "sim/line.h"
#include "sim/pty_server.h"
#include "sim/sim_port.h"
#include "tform1.h"
#include "trend_window.h"
#include "ui_tform1.h"

namespace {

// Answers each message box as it opens (OK unless told otherwise) and keeps
// "caption | text" of every box.
class BoxAnswerer : public QObject {
public:
    BoxAnswerer()
    {
        connect(&timer_, &QTimer::timeout, this, [this] { answer(); });
        timer_.start(10);
    }
    QStringList seen;
    QList<QMessageBox::StandardButton> answers; // taken in order; OK when empty

private:
    void answer()
    {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            // Boxes live on the stack: a new one may take an old one's address.
            if (!box || !box->isVisible() || box->property("answered").toBool())
                continue;
            box->setProperty("answered", true);
            seen << box->windowTitle() + " | " + box->text();
            const auto which = answers.isEmpty() ? QMessageBox::Ok : answers.takeFirst();
            QAbstractButton* button = box->button(which);
            if (!button)
                button = box->buttons().value(0);
            button->click();
        }
    }
    QTimer timer_;
};

// Answers each dialog once its exec() loop runs (an answer before that would
// leave exec() waiting for ever), keeping "title | file" or "title | text": a
// file dialog takes `pick`, else the file it proposes; a box is dismissed.
// Hidden, not closed: bus work drops close events.
class DialogAnswerer : public QObject {
public:
    DialogAnswerer()
    {
        connect(&timer_, &QTimer::timeout, this, [this] { answer(); });
        timer_.start(10);
    }
    QStringList seen;
    QString pick;

private:
    void answer()
    {
        if (QThread::currentThread()->loopLevel() <= baseLevel_)
            return;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QDialog*>(w);
            if (!dialog || !dialog->isVisible())
                continue;
            auto* files = qobject_cast<QFileDialog*>(dialog);
            if (files && !pick.isEmpty())
                files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(pick); // typed, as the operator may
            const auto* box = qobject_cast<QMessageBox*>(dialog);
            seen << dialog->windowTitle() + " | " + (files ? files->selectedFiles().value(0) : box ? box->text() : QString());
            dialog->setResult(files ? QDialog::Accepted : QDialog::Rejected);
            dialog->hide();
        }
    }
    const int baseLevel_ = QThread::currentThread()->loopLevel();
    QTimer timer_;
};

// A working directory with the simulator's COM1 link and a settings file.
struct Line {
    QTemporaryDir dir;
    QString previousDir = QDir::currentPath();
    torv::sim::Line line;
    std::unique_ptr<torv::sim::PtyServer> server;

    explicit Line(std::initializer_list<int> addresses)
    {
        for (int a : addresses)
            line.add(static_cast<std::uint8_t>(a));
        torv::sim::PtyOptions options;
        options.dir = dir.path().toStdString();
        server = std::make_unique<torv::sim::PtyServer>(line, options);
        std::string error;
        if (!server->open(error))
            qWarning("%s", error.c_str());
        server->start();
        QDir::setCurrent(dir.path());
        QFile file("Torv_LCD.set"); // COM1, 9600 baud, no parity, address 1
        file.open(QIODevice::WriteOnly);
        file.write(QByteArray("\x00\x01\x01\x00\x00\x00\x02\x00", 8));
    }
    ~Line()
    {
        server->stop();
        QDir::setCurrent(previousDir);
    }
    unsigned requests(int address)
    {
        std::lock_guard<std::mutex> lock(server->mutex());
        return line.find(static_cast<std::uint8_t>(address))->requests();
    }
    void setSilent(int address, bool silent)
    {
        std::lock_guard<std::mutex> lock(server->mutex());
        line.find(static_cast<std::uint8_t>(address))->faults().silent = silent;
    }
};

// A working directory of its own with the chamber list `komory.json`,
// current while it lives.
struct PlantDir {
    QTemporaryDir dir;
    QString previous = QDir::currentPath();
    explicit PlantDir(const QByteArray& list)
    {
        QDir::setCurrent(dir.path());
        write(list);
    }
    ~PlantDir() { QDir::setCurrent(previous); }
    static void write(const QByteArray& list)
    {
        QFile file("komory.json");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(list);
    }
};

struct Tool {
    TForm1 form;
    Session session{form};
    void start()
    {
        form.Timer1->stop(); // ticks come from the test
        form.show();
        form.OpenCommClick();
    }
    QString label(QWidget* w) const { return w->property("text").toString(); }
};

} // namespace

class WindowWorkflowTest : public QObject {
    Q_OBJECT
private slots:
    void startUpReadsAnsweringController();
    void startUpWithSilentController();
    void stopWithSilentControllerCountsTwo();
    void ticksWhileOffSendNothing();
    void portListReopensThePort();
    void exitCancelThenOk();
    void busWorkServesTheWindowNotTheOperator();
    void parameterSetSavedAndLoadedThroughTheDialogs();
    void parameterFilesWaitForBusWork();
    void chartTakesTheScansAndFollowsTheActiveController();
    void busMonitorFollowsABusTestWithFaults();
    void plantOverviewScansGivesWayAndRaisesAlarms();
    void plantOverviewTilesShowHumidityAndWoodMoisture();
    void plantOverviewRefusesABrokenListAndSendsNothing();
    void plantOverviewHandsAKeptClickOverWhole();
    void plantOverviewAcknowledgesTheSelectedAlarmNotItsRow();
    void plantOverviewReadsTheListAgainAndNeverSavesOverAnEdit();
};

void WindowWorkflowTest::startUpReadsAnsweringController()
{
    Line line({1});
    BoxAnswerer boxes;
    Tool tool;
    tool.start();
    auto* ui = tool.form.ui;
    QCOMPARE(ui->Label33->text(), QString("Skaner ModBUS = ON"));
    QCOMPARE(ui->Button2->text(), QString("&STOP"));
    QCOMPARE(ui->Label66->text(), QString("POŁĄCZONY "));
    QCOMPARE(ui->Label35->text(), QString("TEST ModBUS = OK"));
    QCOMPARE(ui->Label36->text(), QString("Błędy MODBUS=0"));
    QCOMPARE(ui->Label37->text(), QString("Adr.aktywny"));
    QCOMPARE(ui->Label35->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    QCOMPARE(ui->Label66->palette().color(QPalette::WindowText), QColor(0, 128, 0));
    QCOMPARE(ui->Edit1->text(), QString("1"));
    QCOMPARE(ui->Edit16->text(), QString("60"));
    QCOMPARE(ui->ComboBox4->currentText(), QString("MIRALUX"));
    QVERIFY(boxes.seen.isEmpty());
    QCOMPARE(line.requests(1), 9u);

    tool.form.Timer1Timer(); // the first tick scans
    QCOMPARE(line.requests(1), 12u);
    QCOMPARE(ui->Label36->text(), QString("Błędy ModBUS=0"));
}

void WindowWorkflowTest::startUpWithSilentController()
{
    Line line({1});
    line.setSilent(1, true);
    BoxAnswerer boxes;
    Tool tool;
    tool.start();
    auto* ui = tool.form.ui;
    QCOMPARE(boxes.seen, QStringList{"Uwaga ! | Brak komunikacji z modułem !!!"});
    QCOMPARE(ui->Label33->text(), QString("Skaner ModBUS = OFF"));
    QCOMPARE(ui->Button2->text(), QString("&START"));
    QCOMPARE(ui->Label66->text(), QString("ROZŁĄCZONY ! "));
    QCOMPARE(ui->Label66->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QCOMPARE(ui->Label35->text(), QString("ModBUS ERROR !!!"));
    QCOMPARE(ui->Label36->text(), QString("Błędy MODBUS=1"));
    QCOMPARE(ui->Label36->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QCOMPARE(ui->Label37->text(), QString("Adr.nieaktywny"));
    QCOMPARE(ui->Edit1->palette().color(QPalette::Text), QColor(255, 0, 0));
}

void WindowWorkflowTest::stopWithSilentControllerCountsTwo()
{
    Line line({1});
    BoxAnswerer boxes;
    Tool tool;
    tool.start();
    line.setSilent(1, true);
    QTest::mouseClick(tool.form.ui->Button2, Qt::LeftButton);
    QVERIFY(boxes.seen.isEmpty());
    QCOMPARE(tool.form.ui->Label36->text(), QString("Błędy MODBUS=2"));
    QCOMPARE(tool.form.ui->Label35->text(), QString("ModBUS ERROR !!!"));
    QCOMPARE(tool.form.ui->Button2->text(), QString("&START"));
    QVERIFY(!tool.session.console.scanning());
}

void WindowWorkflowTest::ticksWhileOffSendNothing()
{
    Line line({1});
    BoxAnswerer boxes;
    Tool tool;
    tool.start();
    QTest::mouseClick(tool.form.ui->Button2, Qt::LeftButton); // STOP
    const unsigned sent = line.requests(1);
    tool.form.Timer1Timer();
    tool.form.Timer1Timer();
    QCOMPARE(line.requests(1), sent);
}

void WindowWorkflowTest::portListReopensThePort()
{
    Line line({1});
    BoxAnswerer boxes;
    Tool tool;
    tool.start();
    // The operator picks COM2: nothing is linked there, so the port error shows.
    tool.form.ui->ComboBox2->setCurrentIndex(1);
    emit tool.form.ui->ComboBox2->activated(1);
    QCOMPARE(boxes.seen, QStringList{"Error | Niewłaściwa nazwa portu COM2\n lub jest on aktywny !!!"});
    QVERIFY(!tool.session.link.PortOpen);
    QFile saved("Torv_LCD.set");
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll().at(0), char(1));
    // Back to COM1: the simulator answers again on the next scan.
    tool.form.ui->ComboBox2->setCurrentIndex(0);
    emit tool.form.ui->ComboBox2->activated(0);
    QVERIFY(tool.session.link.PortOpen);
    tool.form.Timer1Timer();
    QCOMPARE(tool.form.ui->Label35->text(), QString("TEST ModBUS = OK"));
}

void WindowWorkflowTest::exitCancelThenOk()
{
    Line line({1});
    BoxAnswerer boxes;
    Tool tool;
    tool.start();
    boxes.answers = {QMessageBox::Cancel};
    QTest::mouseClick(tool.form.ui->Button5, Qt::LeftButton);
    QCOMPARE(boxes.seen, QStringList{"Koniec pracy... | Czy zakończyć program?"});
    QVERIFY(tool.form.isVisible());
    QVERIFY(tool.session.link.PortOpen);
    QTest::mouseClick(tool.form.ui->Button5, Qt::LeftButton);
    QVERIFY(!tool.form.isVisible());
    QVERIFY(!tool.session.link.PortOpen);
}

void WindowWorkflowTest::parameterSetSavedAndLoadedThroughTheDialogs()
{
    Line line({1});
    DialogAnswerer dialogs;
    Tool tool;
    tool.start();
    QTest::mouseClick(tool.form.ui->Button2, Qt::LeftButton); // STOP: loading needs scanning off
    tool.form.SaveParametersClick(); // the dialog proposes the controller's file in the working directory
    const QString saved = QDir::current().filePath("komora-001.json");
    QCOMPARE(dialogs.seen, QStringList({"Zapisz parametry do pliku | " + saved,
                                        "Zapis OK! | Zapisano parametry do pliku: komora-001.json"}));
    QCOMPARE(torv::ReadParameterSetFile(saved.toStdString()).set.sourceAddress, 1);

    QFile in(QDir::current().filePath("in.json"));
    QVERIFY(in.open(QIODevice::WriteOnly));
    in.write(R"({"format": "torv-lcd-parameters", "version": 1, "parameters": {"VentOpenTime": 33, "AlarmBuzzer": false}})");
    in.close();
    dialogs.seen.clear();
    dialogs.pick = in.fileName();
    tool.form.LoadParametersClick();
    QCOMPARE(dialogs.seen, QStringList({"Wczytaj parametry z pliku | " + in.fileName(),
                                        "Odczyt OK! | Wczytano parametry z pliku: in.json\nNaciśnij ZAPIS, aby zapisać je w module."}));
    QCOMPARE(tool.form.ui->Edit5->text(), QString("33"));
    QVERIFY(!tool.form.ui->CheckBox1->isChecked());
}

void WindowWorkflowTest::parameterFilesWaitForBusWork()
{
    Line line({1});
    DialogAnswerer dialogs;
    Tool tool;
    tool.start(); // scanning: the tick's scan waits for the controller
    const QString out = QDir::current().filePath("out.json");
    bool served = false;
    QTimer::singleShot(0, &tool.form, [&] {
        // Started, each would open a dialog or a box: a save's outcome, a load refused while scanning.
        served = ServingClock::serving();
        tool.form.SaveParametersClick();
        tool.form.LoadParametersClick();
        tool.form.SaveParameterSet(out);
        tool.form.LoadParameterSet(out);
    });
    tool.form.Timer1Timer();
    QVERIFY(served);
    QTest::qWait(50);
    QCOMPARE(dialogs.seen, QStringList());
    QVERIFY(!QFile::exists(out));
}

namespace {
// Counts the ticks that reached the console, not those held back.
class CountingForm : public TForm1 {
public:
    int ticksRun = 0;
    void Timer1Timer() override
    {
        if (!ServingClock::serving())
            ++ticksRun;
        TForm1::Timer1Timer();
    }
};

// Records when a widget was asked to repaint and when it did, on the bus's clock.
class PaintWatch : public QObject {
public:
    PaintWatch(QWidget* widget, torv::Clock& clock) : widget_(widget), clock_(clock) { widget->installEventFilter(this); }
    void expose()
    {
        exposedAt = clock_.nowUs();
        widget_->update();
    }
    std::uint64_t exposedAt = 0, paintedAt = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && exposedAt != 0 && paintedAt == 0)
            paintedAt = clock_.nowUs();
        return false;
    }

private:
    QWidget* widget_;
    torv::Clock& clock_;
};
// Bus time that passes twenty times faster than real time, so the
// monitor's timer fires during a bus test of 42 s of bus time.
class FastClock final : public torv::Clock {
public:
    std::uint64_t nowUs() override { return now_; }
    void sleepUntilUs(std::uint64_t deadlineUs) override
    {
        if (deadlineUs <= now_)
            return;
        QThread::usleep((deadlineUs - now_) / 20);
        now_ = deadlineUs;
    }

private:
    std::uint64_t now_ = 0;
};

// The window and its console on a simulated line in-process, the bus on the
// time of `BusTime`; started at `address`, ticks only from the test.
template <typename Form, typename BusTime>
struct InProcessTool {
    Form form;
    torv::PortSettings settings;
    BusTime busTime;
    ServingClock clock{&busTime};
    QtNotifier notifier{&form};
    torv::ModbusLink link{settings, clock};
    QTemporaryDir dir;
    torv::SettingsFile settingsFile{notifier, dir.path().toStdString()};
    torv::Console console{link, settingsFile, notifier, form};

    InProcessTool(torv::sim::Line& line, std::uint8_t address)
    {
        link.opener = [&line, this](const std::string&, std::uint8_t, std::uint8_t) {
            return std::make_unique<torv::sim::SimPort>(line, busTime);
        };
        settings.ModuleAddress = address;
        settingsFile.SaveSettings(settings);
        console.useSeparator(",");
        form.attach(&console);
        form.Timer1->stop();
    }
};
} // namespace

void WindowWorkflowTest::busWorkServesTheWindowNotTheOperator()
{
    // The bus test of the whole line on a virtual clock: 42 s of bus time.
    torv::sim::Line line;
    line.add(3);
    BoxAnswerer boxes;
    InProcessTool<CountingForm, torv::VirtualClock> tool(line, 3);
    auto& form = tool.form;
    auto& busTime = tool.busTime;
    auto& console = tool.console;
    form.show();
    QTRY_VERIFY(console.dataLoaded()); // start-up read controller 3
    auto* ui = form.ui;
    int operatorInput = 0; // what reached the controls at all
    connect(ui->UpDown5, &UpDown::clicked, &form, [&] { ++operatorInput; });
    connect(ui->Button3, &QPushButton::pressed, &form, [&] { ++operatorInput; });

    PaintWatch watch(ui->ClientArea, busTime);
    Qt::CursorShape pointer = Qt::ArrowCursor;
    QTimer::singleShot(0, &form, [&] {
        // Runs in the first round of events the bus test serves.
        QVERIFY(ServingClock::serving());
        pointer = QGuiApplication::overrideCursor() ? QGuiApplication::overrideCursor()->shape() : Qt::ArrowCursor;
        watch.expose();
        QTest::mouseClick(ui->UpDown5, Qt::LeftButton);      // would step P4
        QTest::keyClick(ui->Edit5, Qt::Key_Up);               // so would the arrow key
        QTest::mouseClick(ui->Button3, Qt::LeftButton);      // ZAPIS would say nothing was read
        form.Timer1->start(1);                                // ticks fall during the test
    });
    form.Button6Click();
    form.Timer1->stop();
    const std::uint64_t ended = busTime.nowUs();

    QCOMPARE(console.foundAddresses().size(), std::size_t{1});
    QCOMPARE(pointer, Qt::BusyCursor);
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    QVERIFY(watch.paintedAt != 0);
    QVERIFY(watch.paintedAt - watch.exposedAt <= 200'000);
    QVERIFY(watch.paintedAt < ended);
    QCOMPARE(form.ticksRun, 0);
    QTest::qWait(50);
    QCOMPARE(operatorInput, 0);
    QCOMPARE(boxes.seen, QStringList());
    QCOMPARE(form.ticksRun, 1); // the held-back tick, once
}

// The overview on the in-process line and virtual bus time: a round fills
// the tiles and the log, a silent chamber greys and raises its alarm, the
// operator's click during a scan takes the line after one transaction, a
// double-click makes a chamber active, and closing stops the scans.
void WindowWorkflowTest::plantOverviewScansGivesWayAndRaisesAlarms()
{
    torv::sim::Line line;
    line.add(1);
    line.add(3);
    BoxAnswerer boxes;
    PlantDir work(R"({"format": "torv-lcd-chambers", "version": 1, "roundSeconds": 10,
                      "alarms": {"noCommunicationScans": 1},
                      "chambers": [{"address": 1}, {"address": 3, "name": "Suszarnia 3 – buk"}, {"address": 9}]})");
    InProcessTool<TForm1, torv::VirtualClock> tool(line, 1);
    auto& form = tool.form;
    std::vector<std::pair<int, bool>> logged;
    tool.console.onMeasurement = [&](std::uint8_t address, const torv::ImageRow&, bool ok) { logged.emplace_back(address, ok); };
    form.show();
    QTRY_VERIFY(tool.console.dataLoaded());
    logged.clear();
    auto* action = form.findChild<QAction*>("PlantOverviewAction");
    QVERIFY(action);
    QCOMPARE(action->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_K));
    action->trigger();
    PlantOverviewWindow* overview = form.plantOverviewWindow();
    QVERIFY(overview && overview->isVisible());
    QCOMPARE(overview->windowTitle(), QString("Przegląd komór"));
    QCOMPARE(overview->listProblems(), QString());

    for (int i = 0; i < 3; ++i)
        overview->scanNow();
    QCOMPARE(logged, (std::vector<std::pair<int, bool>>{{1, true}, {3, true}, {9, false}}));
    QVERIFY(!overview->tile(3)->stale());
    QCOMPARE(overview->tile(3)->lines().value(0), QString("Suszarnia 3 – buk (adres 3)"));
    QVERIFY(overview->tile(3)->lines().join('|').contains("T suchy "));
    QVERIFY(overview->tile(9)->stale());
    QCOMPARE(overview->tile(9)->alarm(), ChamberTileWidget::Alarm::Fault);
    auto* alarms = overview->findChild<QTableWidget*>("AlarmList");
    QCOMPARE(alarms->rowCount(), 1);
    QCOMPARE(alarms->item(0, 1)->text(), QString("Komora 9"));
    QCOMPARE(alarms->item(0, 2)->text(), QString("Brak komunikacji"));
    overview->scanNow(); // the round is done: nothing before the next one
    QCOMPARE(logged.size(), 3u);

    // A click on STOP during the next round's first scan: the scan ends
    // after its transaction, then the click runs, then chamber 1 is asked again.
    tool.busTime.sleepUntilUs(overview->overview().dueUs());
    const unsigned before = line.find(1)->requests();
    QTimer::singleShot(0, &form, [&] { QTest::mouseClick(form.ui->Button2, Qt::LeftButton); });
    overview->scanNow();
    QCOMPARE(line.find(1)->requests(), before + 1);
    QVERIFY(tool.console.scanning());
    QTRY_VERIFY(!tool.console.scanning());
    QCOMPARE(logged.size(), 4u); // STOP's own last scan; the stopped one is not logged
    overview->scanNow();
    QCOMPARE(logged.back(), (std::pair<int, bool>{1, true}));
    // The overview's own buttons wait for its scan too: a box one raises is never inside a scan.
    const unsigned before3 = line.find(3)->requests();
    QTimer::singleShot(0, &form, [&] {
        QTest::mouseClick(overview->findChild<QPushButton*>("ChambersFromBusTest"), Qt::LeftButton);
    });
    overview->scanNow();
    QCOMPARE(line.find(3)->requests(), before3 + 1);
    QCOMPARE(boxes.seen, QStringList());
    QTRY_COMPARE(boxes.seen.size(), 1); // "no TEST MBUS yet", once the scan gave way

    QTest::mouseDClick(overview->tile(3), Qt::LeftButton);
    QCOMPARE(tool.console.activeAddress(), std::uint8_t{3});
    QCOMPARE(form.ui->Edit1->text(), QString("3"));

    // TEST MBUS's finds join the list; a removed chamber's tile goes.
    overview->removeChamber(3);
    QVERIFY(!overview->tile(3));
    form.Button6Click();
    overview->takeBusTest();
    QVERIFY(overview->tile(3));
    QCOMPARE(torv::plant::ReadChamberListFile("komory.json").list.chambers.size(), 3u);

    // The thresholds are the list file's.
    torv::plant::AlarmThresholds thresholds;
    thresholds.deviationMinutes = 45;
    overview->setThresholds(thresholds);
    QCOMPARE(torv::plant::ReadChamberListFile("komory.json").list.alarms.deviationMinutes, 45);

    overview->close();
    QVERIFY(!overview->scanning());
    const unsigned sent = line.find(1)->requests() + line.find(3)->requests();
    overview->scanNow();
    QCOMPARE(line.find(1)->requests() + line.find(3)->requests(), sent);
    QCOMPARE(boxes.seen.size(), 1);
}

// RH and EMC under each tile's bulbs, from that chamber's own psychrometer,
// with the window's decimal comma; a dash for a chamber never heard from.
void WindowWorkflowTest::plantOverviewTilesShowHumidityAndWoodMoisture()
{
    torv::sim::Line line;
    line.options().still = true;
    line.add(1);
    line.add(3);
    line.find(1)->setTemperatures(60.0, 50.0);
    line.find(3)->setTemperatures(60.0, 50.0);
    BoxAnswerer boxes;
    PlantDir work(R"({"format": "torv-lcd-chambers", "version": 1, "roundSeconds": 10,
                      "chambers": [{"address": 1}, {"address": 3, "psychrometer": "unventilated"}, {"address": 9}]})");
    InProcessTool<TForm1, torv::VirtualClock> tool(line, 1);
    auto& form = tool.form;
    form.show();
    QTRY_VERIFY(tool.console.dataLoaded());
    form.findChild<QAction*>("PlantOverviewAction")->trigger();
    PlantOverviewWindow* overview = form.plantOverviewWindow();
    QVERIFY(overview && overview->isVisible());
    for (int i = 0; i < 3; ++i)
        overview->scanNow();

    const QStringList ventilated = overview->tile(1)->lines();
    QCOMPARE(ventilated.mid(1, 3), (QStringList{"T suchy 60,0 °C", "T mokry 50,0 °C", "RH 59 %   EMC 8,9 %"}));
    QCOMPARE(overview->tile(3)->lines().value(3), QString("RH 58 %   EMC 8,8 %"));
    QCOMPARE(overview->tile(9)->lines().mid(1, 3), (QStringList{"T suchy –", "T mokry –", "RH –   EMC –"}));
    overview->close();
    QCOMPARE(boxes.seen, QStringList());
}

void WindowWorkflowTest::plantOverviewRefusesABrokenListAndSendsNothing()
{
    torv::sim::Line line;
    line.add(1);
    QTemporaryDir work;
    const QByteArray broken = R"({"format": "torv-lcd-chambers", "version": 1, "chambers": [{"address": 251}]})";
    QFile list(work.path() + "/komory.json");
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write(broken);
    list.close();
    InProcessTool<TForm1, torv::VirtualClock> tool(line, 1);
    PlantOverviewWindow::Hooks hooks;
    hooks.nowUs = [&] { return tool.busTime.nowUs(); };
    PlantOverviewWindow overview(tool.console.station(), hooks, work.path().toStdString());
    overview.show();
    QVERIFY(overview.listProblems().startsWith("Nie wczytano pliku komory.json:\n"));
    QVERIFY(overview.listProblems().contains("chambers, pozycja 1"));
    QVERIFY(!overview.scanning());
    overview.scanNow();
    QCOMPARE(line.find(1)->requests(), 0u);
    QVERIFY(!overview.findChild<QPushButton*>("AddChamber")->isEnabled());
    QVERIFY(list.open(QIODevice::ReadOnly));
    QCOMPARE(list.readAll(), broken); // shown, never replaced
}

namespace {
// Counts the presses and releases that reach a widget (after the
// application's filters: what was dropped never comes here).
class ButtonEvents : public QObject {
public:
    explicit ButtonEvents(QWidget* widget) { widget->installEventFilter(this); }
    int presses = 0, releases = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        presses += event->type() == QEvent::MouseButtonPress;
        releases += event->type() == QEvent::MouseButtonRelease;
        return false;
    }
};
} // namespace

// One click on "Komora nr"'s up arrow that lands during an overview scan is
// kept, then handed over whole once the scan gave way: its press probes the
// next address, its release reaches the arrow after that probe, and the
// arrow does not go on stepping by itself. A click on the overview during
// the main window's own bus work is kept too, and runs once the line is free.
void WindowWorkflowTest::plantOverviewHandsAKeptClickOverWhole()
{
    torv::sim::Line line;
    line.add(1);
    line.add(3);
    BoxAnswerer boxes;
    PlantDir work(R"({"format": "torv-lcd-chambers", "version": 1, "chambers": [{"address": 1}, {"address": 3}]})");
    InProcessTool<TForm1, torv::VirtualClock> tool(line, 1);
    auto& form = tool.form;
    form.show();
    QTRY_VERIFY(tool.console.dataLoaded());
    form.findChild<QAction*>("PlantOverviewAction")->trigger();
    PlantOverviewWindow* overview = form.plantOverviewWindow();
    QVERIFY(overview && overview->isVisible());
    std::vector<int> asked;
    tool.link.onTransaction = [&](const torv::ModbusLink::Transaction& t) { asked.push_back(t.address); };

    UpDown* arrow = form.ui->UpDown1;
    ButtonEvents events(arrow);
    const QPoint upper = arrow->mapTo(&form, QPoint(arrow->width() / 2, 2));
    QTimer::singleShot(0, &form, [&] { QTest::mouseClick(form.windowHandle(), Qt::LeftButton, {}, upper); });
    overview->scanNow();
    QCOMPARE(asked, std::vector<int>{1}); // the scan gave way after one transaction
    QTRY_COMPARE(events.releases, 1);
    QTest::qWait(800); // past the arrow's auto-repeat delay
    QCOMPARE(events.presses, 1);
    QCOMPARE(std::count(asked.begin(), asked.end(), 2), 1);
    QVERIFY(std::all_of(asked.begin(), asked.end(), [](int a) { return a <= 3; }));
    QCOMPARE(form.ui->Edit1->text(), QString("2"));

    // During the main window's bus work (STOP's last scan) a click on the
    // overview's button is kept, and its box comes after the work, not in it.
    QTimer::singleShot(0, &form, [&] {
        QVERIFY(ServingClock::serving());
        QTest::mouseClick(overview->findChild<QPushButton*>("ChambersFromBusTest"), Qt::LeftButton);
    });
    form.Button2Click();
    QCOMPARE(boxes.seen, QStringList());
    QTRY_COMPARE(boxes.seen.size(), 1);
}

// A scan that shortens and re-sorts the alarm list under the operator's
// selection: "Potwierdź" acknowledges the alarm that was selected, not
// whatever alarm has come to sit in its row.
void WindowWorkflowTest::plantOverviewAcknowledgesTheSelectedAlarmNotItsRow()
{
    torv::sim::Line line;
    for (const int a : {1, 5, 7, 9})
        line.add(static_cast<std::uint8_t>(a));
    QTemporaryDir work;
    QFile list(work.path() + "/komory.json");
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write(R"({"format": "torv-lcd-chambers", "version": 1, "alarms": {"noCommunicationScans": 1},
                   "chambers": [{"address": 5}, {"address": 7}, {"address": 9}]})");
    list.close();
    InProcessTool<TForm1, torv::VirtualClock> tool(line, 1);
    tool.form.show(); // opens the port
    QTRY_VERIFY(tool.console.dataLoaded());
    PlantOverviewWindow::Hooks hooks;
    hooks.nowUs = [&] { return tool.busTime.nowUs(); };
    PlantOverviewWindow overview(tool.console.station(), hooks, work.path().toStdString());
    overview.show();
    const auto round = [&] {
        tool.busTime.sleepUntilUs(overview.overview().dueUs());
        for (int i = 0; i < 4; ++i) // three chambers, then the round's end
            overview.scanNow();
    };
    auto* table = overview.findChild<QTableWidget*>("AlarmList");
    const auto rows = [&] {
        QStringList r;
        for (int row = 0; row < table->rowCount(); ++row)
            r << table->item(row, 1)->text() + " " + table->item(row, 2)->text();
        return r;
    };
    line.find(5)->faults().silent = true;
    line.find(9)->faults().silent = true;
    round();
    QCOMPARE(rows(), (QStringList{"Komora 5 Brak komunikacji", "Komora 9 Brak komunikacji"}));
    table->selectRow(0);
    overview.acknowledgeSelected();
    table->selectRow(1); // chamber 9's alarm
    // 5 answers again (its acknowledged alarm leaves the list), 7 falls silent.
    line.find(5)->faults().silent = false;
    line.find(7)->faults().silent = true;
    round();
    QCOMPARE(rows(), (QStringList{"Komora 9 Brak komunikacji", "Komora 7 Brak komunikacji"}));
    overview.acknowledgeSelected();
    QCOMPARE(rows(), (QStringList{"Komora 9 Brak komunikacji (potwierdzony)", "Komora 7 Brak komunikacji"}));
}

// The chamber list is read again when the overview opens and before each
// save: a list mended by hand shows once the overview is opened again, and
// a save never replaces a hand edit made while the overview was open.
void WindowWorkflowTest::plantOverviewReadsTheListAgainAndNeverSavesOverAnEdit()
{
    torv::sim::Line line;
    line.add(1);
    BoxAnswerer boxes;
    const auto listOf = [](const QByteArray& chambers) {
        return R"({"format": "torv-lcd-chambers", "version": 1, "chambers": [)" + chambers + "]}";
    };
    PlantDir work(listOf(R"({"address": 251})"));
    InProcessTool<TForm1, torv::VirtualClock> tool(line, 1);
    auto& form = tool.form;
    form.show();
    QTRY_VERIFY(tool.console.dataLoaded());
    auto* action = form.findChild<QAction*>("PlantOverviewAction");
    action->trigger();
    PlantOverviewWindow* overview = form.plantOverviewWindow();
    QVERIFY(!overview->listProblems().isEmpty());
    PlantDir::write(listOf(R"({"address": 1})")); // mended
    overview->close();
    action->trigger();
    QCOMPARE(overview->listProblems(), QString());
    QVERIFY(overview->tile(1));

    PlantDir::write(listOf(R"({"address": 1}, {"address": 7, "name": "Dopisana"})")); // by hand, the overview open
    overview->addChamber(5, "Nowa");
    QCOMPARE(boxes.seen.size(), 1);
    QVERIFY(boxes.seen.value(0).contains("komory.json"));
    std::vector<torv::plant::Chamber> chambers = torv::plant::ReadChamberListFile("komory.json").list.chambers;
    QCOMPARE(chambers.size(), 2u);
    QCOMPARE(chambers[1].name, std::string("Dopisana"));
    QVERIFY(overview->tile(7) && !overview->tile(5)); // shown as the file has it now
    overview->addChamber(5, "Nowa");
    QCOMPARE(boxes.seen.size(), 1);
    chambers = torv::plant::ReadChamberListFile("komory.json").list.chambers;
    QCOMPARE(chambers.size(), 3u);
    QCOMPARE(chambers[2].name, std::string("Nowa"));
    overview->renameChamber(5, "Nowa 2"); // its own save is no edit of someone else's
    QCOMPARE(boxes.seen.size(), 1);
}

QTEST_MAIN(WindowWorkflowTest)
#include "window_workflow_test.moc"

// The chart opens on the log the session writes, without a request of its
// own, takes on each scan once the bus work is over, and changes controller
// with the window.
void WindowWorkflowTest::chartTakesTheScansAndFollowsTheActiveController()
{
    namespace dl = torv::drying_log;
    Line line({1, 2});
    BoxAnswerer boxes;
    Tool tool;
    tool.start();
    const unsigned before = line.requests(1);
    tool.form.TrendChartClick();
    TrendWindow* chart = tool.form.trendWindow();
    QVERIFY(chart);
    QVERIFY(chart->isVisible());
    QCOMPARE(line.requests(1), before);
    QCOMPARE(chart->address(), 1);
    auto logged = [&](int address) {
        const auto contents = dl::ReadLog(
            QDir::current().filePath(QString("pomiary/") + QString::fromStdString(dl::FileName(address, dl::SystemLocalTime())))
                .toStdString());
        return contents ? contents->rows : std::vector<dl::Row>{};
    };
    const auto startUp = logged(1);
    QVERIFY(!startUp.empty()); // the start-up read
    QCOMPARE(chart->drySeries()->dataCount(), int(startUp.size()));

    tool.form.Timer1Timer(); // a scan
    QCoreApplication::processEvents();
    const auto scanned = logged(1);
    QCOMPARE(scanned.size(), startUp.size() + 1);
    QCOMPARE(chart->drySeries()->dataCount(), int(scanned.size()));
    QCOMPARE((chart->drySeries()->data()->constEnd() - 1)->value, *scanned.back().tempDry / 10.0);

    // Controller 2 made active as picking it in "Komora nr" does: the chart shows its day.
    tool.form.makeActive(2);
    tool.form.Timer1Timer();
    QCoreApplication::processEvents();
    QCOMPARE(chart->address(), 2);
    QCOMPARE(chart->drySeries()->dataCount(), int(logged(2).size()));
    QVERIFY(!logged(2).empty());
    QCOMPARE(logged(1).size(), scanned.size());
}

// The monitor, opened with Ctrl+M, over a bus test on a virtual clock with a
// controller answering with broken CRCs and one gone silent: it fills while
// the test runs and takes the operator's clicks then; afterwards its rows,
// counters, filter and saved trace say what happened at each address.
void WindowWorkflowTest::busMonitorFollowsABusTestWithFaults()
{
    torv::sim::Line line;
    line.add(2);
    line.add(3).faults().badCrc = true;
    line.add(7).faults().silent = true;
    BoxAnswerer boxes;
    InProcessTool<TForm1, FastClock> tool(line, 2);
    auto& form = tool.form;
    auto& console = tool.console;
    torv::bus_monitor::Recorder recorder;
    recorder.observe(tool.link);
    form.attachBusRecorder(&recorder);
    form.show();
    QTRY_VERIFY(console.dataLoaded());

    QTest::keyClick(&form, Qt::Key_M, Qt::ControlModifier);
    BusMonitorWindow* monitor = form.busMonitorWindow();
    QVERIFY(monitor && monitor->isVisible());
    BusFrameModel& rows = *monitor->frames();
    QCOMPARE(rows.rowCount(), 2 * 9); // the start-up block read, request and reply each

    // The first rows the catch-up timer takes in the middle of the test.
    int rowsDuringTest = -1;
    connect(&rows, &QAbstractItemModel::rowsInserted, monitor, [&] {
        if (!ServingClock::serving() || rowsDuringTest >= 0)
            return;
        rowsDuringTest = rows.rowCount();
        QTest::mouseClick(monitor->pauseButton(), Qt::LeftButton); // reaches the monitor
        QVERIFY(QMetaObject::invokeMethod(monitor, "askForFile")); // no dialog in the middle of bus work
    });
    form.Button6Click();
    QVERIFY(rowsDuringTest > 2 * 9);
    QVERIFY(monitor->pauseButton()->isChecked());
    QCOMPARE(monitor->statusLabel()->text(), QString("Zapis możliwy po zakończeniu pracy na magistrali"));
    const int paused = rows.rowCount();
    QTest::qWait(250);
    QCOMPARE(rows.rowCount(), paused);
    QTest::mouseClick(monitor->pauseButton(), Qt::LeftButton);
    while (rows.rowCount() < static_cast<int>(recorder.frames().size()))
        monitor->catchUp();
    QCOMPARE(rows.rowCount(), 2 * 9 + 2 * (250 + 9));

    auto cell = [&](int row, int column) { return rows.index(row, column).data().toString(); };
    monitor->addressFilter()->setValue(3);
    QCOMPARE(rows.rowCount(), 2);
    QCOMPARE(cell(0, BusFrameModel::Meaning), QString("odczyt 96..99"));
    QCOMPARE(cell(1, BusFrameModel::Outcome), QString("błąd CRC"));
    monitor->addressFilter()->setValue(7);
    QCOMPARE(cell(1, BusFrameModel::Outcome), QString("brak odpowiedzi"));

    BusStatsModel& stats = *monitor->stats();
    QCOMPARE(stats.rowCount(), 250);
    auto counter = [&](int address, int column) { return stats.index(address - 1, column).data().toInt(); };
    QCOMPARE(counter(2, 1), 1 + 2 * 9);
    QCOMPARE(counter(2, 2), 1 + 2 * 9);
    QCOMPARE(counter(3, 4), 1);
    QCOMPARE(counter(7, 3), 1);
    QCOMPARE(counter(8, 3), 1);

    const QString path = tool.dir.filePath("magistrala.txt");
    QVERIFY(monitor->saveTrace(path));
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QStringList expected;
    for (int row = 0; row < rows.rowCount(); ++row)
        for (const std::string& l : torv::bus_monitor::TraceLines(rows.frame(row), recorder.originUs()))
            expected << QString::fromStdString(l);
    QCOMPARE(QString::fromUtf8(saved.readAll()).split('\n', Qt::SkipEmptyParts), expected);
    QCOMPARE(expected.size(), 2); // address 7's probe and "no reply": the filter holds
    QCOMPARE(boxes.seen, QStringList());

    // A FIFO in the file's place is neither replaced nor written to: a box says why.
    const QString fifo = tool.dir.filePath("fifo.txt");
    QCOMPARE(::mkfifo(fifo.toLocal8Bit().constData(), 0666), 0);
    QVERIFY(!monitor->saveTrace(fifo));
    QTRY_COMPARE(boxes.seen, QStringList{"Uwaga ! | Nie zapisano pliku fifo.txt:\nto nie jest zwykły plik, lecz potok (FIFO)"});
    struct stat st {};
    QCOMPARE(::stat(fifo.toLocal8Bit().constData(), &st), 0);
    QVERIFY(S_ISFIFO(st.st_mode));
}
