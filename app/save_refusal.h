#pragma once
#include <QString>

#include <functional>

class QWidget;

// The side windows' saves (the monitor's frames, the chart's picture): the
// final file a save of `path` lands on, links followed, or an empty string
// after a box has said why the save is refused (a device, a FIFO, a
// directory there). The box does not wait: bus work may be running.
QString SaveTargetOrRefuse(QWidget* parent, const QString& path);

// A box saying the file was not saved, and why.
void ShowNotSaved(QWidget* parent, const QString& path, const QString& reason);

// Asks where to save (`title`, starting in `dir` with `name`, `filter` and
// `suffix`) and calls `chosen` with the path. Not modal to the application
// and not waiting in a loop of its own: bus work that serves the windows
// meanwhile goes on.
void AskWhereToSave(QWidget* parent, const QString& title, const QString& dir, const QString& filter,
                    const QString& suffix, const QString& name, std::function<void(const QString&)> chosen);
