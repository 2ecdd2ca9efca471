#pragma once
#include <QHash>
#include <QWidget>

#include "app/console/panel.h"
#include "updown.h"

namespace Ui {
class TForm1;
}
class QTimer;
class TrendWindow;
class BusMonitorWindow;
class PlantOverviewWindow;
class QSystemTrayIcon;
namespace torv {
class Console;
namespace bus_monitor {
class Recorder;
}
namespace drying_log {
struct Row;
}
}

// The main window. Its controls come from tform1.ui under their own names
// (ui->Label35, ui->Edit1, ...); the handlers are bound to their controls'
// events here and are virtual so the workflows and tests can hook them.
class TForm1 : public QWidget, public torv::Panel {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // The handlers' work is done by the console once one is attached; without
    // one the window only shows itself (layout tests).
    void attach(torv::Console* console) { console_ = console; }
    // What the link recorded of the line, for the bus monitor; a monitor
    // open on another recorder goes with it.
    void attachBusRecorder(torv::bus_monitor::Recorder* recorder);

    // torv::Panel: the controls by name, for the console.
    void apply(const torv::ControlChanges& changes) override;
    std::string text(const std::string& control) const override;
    int listIndex(const std::string& control) const override;
    int spinnerPosition(const std::string& control) const override;
    bool checked(const std::string& control) const override;
    void repaintNow() override;
    void openLink(const std::string& link) override;
    void closeWindow() override;

    Ui::TForm1* const ui;
    // The 10 s tick, running from creation whether or not scanning is on.
    QTimer* const Timer1;

public slots:
    // Runs once, when the window first becomes the active window.
    virtual void OpenCommClick();
    virtual void Timer1Timer();

    virtual void Button1Click();
    virtual void Button2Click();
    virtual void Button3Click();
    virtual void Button4Click();
    virtual void Button5Click();
    virtual void Button6Click();
    virtual void Button7Click();

    // Only the operator's choice reaches these, never a selection made by the program.
    virtual void ComboBox1Change();
    virtual void ComboBox2Change();
    virtual void ComboBox3Change();
    // Also runs when the program changes the tick.
    virtual void CheckBox1Click();

    virtual void UpDown1Click(UpDown::Button);
    // A parameter spinner's click, by the spinner whose field it rewrites
    // (bindEvents' table): tenths fields as position x 0.1, whole-number ones
    // as the position. Many spinners share UpDown2's and always rewrite Edit2
    // from UpDown2.
    virtual void UpDownClick(torv::Control spinner);

    // The contact link: open it; the hover look.
    virtual void Label11Click();
    virtual void Label11MouseEnter();
    virtual void Label11MouseLeave();

    // Parameter sets, from the window's context menu or Ctrl+S / Ctrl+O: the
    // Click slots ask for the file, the path slots do the work.
    virtual void SaveParametersClick();
    virtual void LoadParametersClick();
    virtual void SaveParameterSet(const QString& path);
    virtual void LoadParameterSet(const QString& path);

    // The drying log's chart of the active controller, from the context menu or Ctrl+T.
    virtual void TrendChartClick();
    // Every frame on the line, from the context menu or Ctrl+M.
    virtual void BusMonitorClick();
    // Every chamber at a glance, from the context menu or Ctrl+K.
    virtual void PlantOverviewClick();

public:
    // A scan's line as written to the drying log, for the chart when open.
    void measured(const torv::drying_log::Row& row);
    TrendWindow* trendWindow() const { return trend_; }
    BusMonitorWindow* busMonitorWindow() const { return monitor_; }
    PlantOverviewWindow* plantOverviewWindow() const { return overview_; }
    // Makes `address` the active chamber as picking it in "Komora nr" does.
    void makeActive(int address);

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* control(const std::string& name) const;
    void bindEvents();
    void bindParameterFiles();
    QString askForParameterFile(bool saving);
    void refreshPortHints();
    void dockStatusBar();
    void startOnceShown();

    // One handler's run, however nested: the busy pointer, and the tick
    // held back meanwhile delivered after it.
    class HandlerRun {
    public:
        explicit HandlerRun(TForm1& form);
        ~HandlerRun();
        HandlerRun(const HandlerRun&) = delete;
        HandlerRun& operator=(const HandlerRun&) = delete;

    private:
        TForm1& form_;
    };

    // The chart shows the active controller: checked after each handler.
    void followActiveController();
    // After bus work that is not a handler's (the overview's scans): the tick
    // held back meanwhile.
    void deliverPendingTick();
    void alarmRaised(const std::string& text);

    torv::Console* console_ = nullptr;
    TrendWindow* trend_ = nullptr;
    torv::bus_monitor::Recorder* busRecorder_ = nullptr;
    BusMonitorWindow* monitor_ = nullptr;
    PlantOverviewWindow* overview_ = nullptr;
    QSystemTrayIcon* tray_ = nullptr;
    bool tickPending_ = false;
    int handlersRunning_ = 0; // handler runs under way, nested ones too
    mutable QHash<QString, QWidget*> controls_;
    bool activated_ = false;
    bool painted_ = false;
    bool started_ = false;
    bool shown_ = false;
};
