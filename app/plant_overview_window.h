#pragma once
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QStringList>
#include <QWidget>

#include "plant/alarm_log.h"
#include "plant/overview.h"
#include "plant/scan_sinks.h"

class ChamberTileWidget;
class FlowLayout;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QTimer;

// "Przegląd komór": every listed chamber as a tile, scanned in rounds while
// the window is open (minimised too), with the plant's alarms. Its scans give
// way to the operator and never start inside a handler's bus work; closing
// the window stops them.
class PlantOverviewWindow final : public QWidget {
    Q_OBJECT
public:
    // What the overview needs of the main window.
    struct Hooks {
        std::function<bool()> lineFree;          // no handler is running
        std::function<void()> lineWorkDone;      // after each scan: what waited for the line
        // The drying log and the chart: the scan, and whether every request of it answered.
        std::function<void(const torv::Result& scan, bool answered)> measured;
        std::function<void(int address)> makeActive;
        std::function<std::vector<std::uint8_t>()> busTestFound; // empty before a TEST MBUS found any
        std::function<std::uint64_t()> nowUs;    // the bus clock
        std::function<void(const std::string& text)> alarmRaised; // beep and desktop message
    };

    PlantOverviewWindow(torv::Station& station, Hooks hooks, std::string directory, QWidget* parent = nullptr);
    ~PlantOverviewWindow() override;

    const torv::plant::Overview& overview() const { return overview_; }
    ChamberTileWidget* tile(int address) const;
    // Problems of the chamber list file that keep it from being used.
    QString listProblems() const;
    bool scanning() const;

signals:
    // After each scan that ran to its end.
    void scanned(int address, bool answered);

public slots:
    void addChamber(int address, const QString& name);
    void removeChamber(int address);
    void renameChamber(int address, const QString& name);
    void takeBusTest();
    void acknowledgeSelected();
    void setRoundSeconds(int seconds);
    void setThresholds(const torv::plant::AlarmThresholds& thresholds);
    // The chamber list read afresh from its file (the overview opens again).
    void reload();
    // The scan that is due, now rather than at the timer's next turn.
    void scanNow() { scanStep(); }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void listSinks();
    void load();
    std::string listPath() const;
    static std::optional<std::string> FileState(const torv::files::Contents& file);
    bool save(const torv::plant::ChamberList& list);
    void rebuildTiles();
    void refreshTile(int address);
    void refreshAlarms();
    void scheduleNext();
    void scanStep();
    void askAdd();
    void askRename();
    void askThresholds();
    int selectedChamber() const;
    static QString alarmKey(const torv::plant::Alarm& alarm);
    QStringList selectedAlarmKeys() const;

    torv::plant::Overview overview_;
    Hooks hooks_;
    std::string directory_;
    // Under pomiary/ beside the drying log; a line that cannot be written is
    // reported there (stderr), as the drying log's are.
    torv::plant::AlarmLog alarmLog_;
    torv::plant::ScanSinks sinks_; // where each scan goes, in order
    std::vector<std::string> problems_;
    std::optional<std::string> fileState_; // the file's bytes as last read or written
    QWidget* tilesArea_;
    FlowLayout* tilesLayout_;
    std::map<int, ChamberTileWidget*> tiles_;
    QLabel* problemsLabel_;
    QSpinBox* roundSeconds_;
    QPushButton* addButton_;
    QPushButton* removeButton_;
    QPushButton* renameButton_;
    QPushButton* busTestButton_;
    QPushButton* thresholdsButton_;
    QTableWidget* alarmTable_;
    QPushButton* acknowledgeButton_;
    QTimer* scanTimer_;
    int lastSelected_ = 0;
};
