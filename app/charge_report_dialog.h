#pragma once
#include <QDialog>
#include <QString>
#include <string>

#include "charge/charge.h"

class QDateTimeEdit;
class QPlainTextEdit;
class QRadioButton;

// "Raport suszenia" of one chamber from the window: the span (the last
// programme run, or one given) and the operator's notes, then the PDF's
// file. Nothing here waits in a loop of its own: bus work goes on.
class ChargeReportDialog final : public QDialog {
    Q_OBJECT
public:
    // `baseDir` holds komory.json and the pomiary/ folder.
    ChargeReportDialog(QString baseDir, int address, QWidget* parent = nullptr);

    // What the dialog asks for, as it stands.
    torv::charge::ChargeRequest request() const;
    std::string notes() const;
    QRadioButton* lastRunButton() const { return lastRun_; }
    QRadioButton* spanButton() const { return span_; }
    QDateTimeEdit* fromEdit() const { return from_; }
    QDateTimeEdit* toEdit() const { return to_; }
    QPlainTextEdit* notesEdit() const { return notes_; }

    // Makes the report and saves it at `path`; false after a box has said why not.
    bool saveTo(const QString& path);

public slots:
    // Asks for the file, then saves.
    void accept() override;

private:
    QString baseDir_;
    int address_;
    QRadioButton *lastRun_, *span_;
    QDateTimeEdit *from_, *to_;
    QPlainTextEdit* notes_;
};

// Opens the dialog for chamber `address`, not waiting for it.
void OpenChargeReport(QWidget* parent, const QString& baseDir, int address);
