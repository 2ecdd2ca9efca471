#pragma once
#include <QFrame>

#include "plant/chamber_tile.h"

class QLabel;

// One chamber on the overview: its values as the plant's tile says them,
// greyed when they are not from the last scan, framed in the alarm's colour.
// Double-click or Enter asks for it to become the active chamber.
class ChamberTileWidget final : public QFrame {
    Q_OBJECT
public:
    enum class Alarm { None, Notice, Fault };

    ChamberTileWidget(int address, QWidget* parent = nullptr);
    int address() const { return address_; }
    void display(const torv::plant::ChamberTile& tile, Alarm alarm, const QString& alarmText);

    // What the tile shows, line by line (tests).
    QStringList lines() const;
    bool stale() const { return stale_; }
    Alarm alarm() const { return alarm_; }

signals:
    void activated(int address);
    void selected(int address);

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void restyle();

    int address_;
    QLabel* title_;
    QLabel* values_;
    QLabel* programme_;
    QLabel* actuators_;
    QLabel* lastAnswer_;
    QLabel* alarmText_;
    bool stale_ = true;
    Alarm alarm_ = Alarm::None;
};
