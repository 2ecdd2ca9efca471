#pragma once
#include <QAbstractTableModel>
#include <QWidget>
#include <cstdint>
#include <deque>
#include <vector>

#include "monitor/bus_monitor.h"

class QLabel;
class QPushButton;
class QSpinBox;
class QTableView;
class QTimer;

// The recorded frames, one row each, oldest first; only the frames of one
// address when filtered. It follows the recorder in batches (catchUp), so
// the link only ever copies a frame into the ring.
class BusFrameModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Time, Direction, Address, Function, Bytes, Meaning, Outcome, ColumnCount };

    explicit BusFrameModel(const torv::bus_monitor::Recorder& recorder, QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Drops rows the ring no longer holds; unless paused, takes up to
    // `most` new frames. Returns whether rows were added.
    bool catchUp(bool paused, std::size_t most);
    // 0 for every address.
    void setAddressFilter(int address);
    const torv::bus_monitor::Frame& frame(int row) const;
    std::uint64_t seqAt(int row) const { return rows_[static_cast<std::size_t>(row)]; }

private:
    bool shown(const torv::bus_monitor::Frame& f) const { return filter_ == 0 || f.address == filter_; }

    const torv::bus_monitor::Recorder& recorder_;
    std::deque<std::uint64_t> rows_; // sequence numbers of the rows
    std::uint64_t taken_ = 0;         // every frame before this was looked at
    int filter_ = 0;
};

// The counters of every address that saw traffic.
class BusStatsModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit BusStatsModel(const torv::bus_monitor::Recorder& recorder, QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // Reads the counters again when they changed.
    void refresh();

private:
    const torv::bus_monitor::Recorder& recorder_;
    std::vector<std::uint8_t> addresses_;
    std::uint64_t generation_ = ~std::uint64_t{0};
};

// "Monitor magistrali": every frame on the line, decoded, and the counters per
// controller. It only reads what the link recorded and never starts bus work,
// so it takes the operator's input even while bus work runs.
class BusMonitorWindow : public QWidget {
    Q_OBJECT
public:
    explicit BusMonitorWindow(torv::bus_monitor::Recorder& recorder, QWidget* parent = nullptr);

    // Takes the frames recorded since the last look (the timer does this every 200 ms).
    void catchUp();
    // Writes the frames shown in the simulator's trace layout; false with the reason shown.
    bool saveTrace(const QString& path);

    BusFrameModel* frames() const { return frames_; }
    BusStatsModel* stats() const { return stats_; }
    QTableView* frameView() const { return frameView_; }
    QPushButton* pauseButton() const { return pause_; }
    QSpinBox* addressFilter() const { return filter_; }
    QLabel* statusLabel() const { return status_; }

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    void askForFile();
    void clearFrames();
    void resetCounters();

private:
    torv::bus_monitor::Recorder& recorder_;
    BusFrameModel* frames_;
    BusStatsModel* stats_;
    QTableView* frameView_;
    QTableView* statsView_;
    QPushButton* pause_;
    QSpinBox* filter_;
    QLabel* status_;
    QTimer* timer_;
};
