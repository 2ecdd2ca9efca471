#include "charge_report_dialog.h"

#include <QApplication>
#include <QCursor>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "plant/chamber_list.h"
#include "report/charge_pdf.h"
#include "save_refusal.h"
#include "serving_clock.h"

namespace {

// A moment the operator picked, as the drying log writes times: the machine's
// clock and its offset then, which is the plant's where the tool runs by the kilns.
torv::drying_log::LocalTime LogTime(const QDateTime& t)
{
    const QDate d = t.date();
    const QTime h = t.time();
    return {d.year(), d.month(), d.day(), h.hour(), h.minute(), h.second(), t.offsetFromUtc() / 60};
}

void Tell(QWidget* parent, const QString& text)
{
    auto* box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("Uwaga !"), text, QMessageBox::Ok, parent);
    box->setObjectName(QStringLiteral("ReportProblemBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

} // namespace

ChargeReportDialog::ChargeReportDialog(QString baseDir, int address, QWidget* parent)
    : QDialog(parent)
    , baseDir_(std::move(baseDir))
    , address_(address)
    , lastRun_(new QRadioButton(QStringLiteral("Ostatni przebieg programu")))
    , span_(new QRadioButton(QStringLiteral("Okres:")))
    , from_(new QDateTimeEdit(QDateTime::currentDateTime().addDays(-1)))
    , to_(new QDateTimeEdit(QDateTime::currentDateTime()))
    , notes_(new QPlainTextEdit)
{
    setWindowTitle(QStringLiteral("Raport suszenia – komora %1").arg(address));
    ServingClock::serveInputOf(this);
    lastRun_->setChecked(true);
    for (QDateTimeEdit* edit : {from_, to_}) {
        edit->setDisplayFormat(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
        edit->setCalendarPopup(true);
        edit->setEnabled(false);
    }
    connect(span_, &QRadioButton::toggled, this, [this](bool on) {
        from_->setEnabled(on);
        to_->setEnabled(on);
    });
    notes_->setPlaceholderText(QStringLiteral("Nr partii, gatunek, grubość, wilgotność końcowa…"));
    notes_->setTabChangesFocus(true);

    auto* form = new QFormLayout;
    form->addRow(lastRun_);
    form->addRow(span_);
    form->addRow(QStringLiteral("od"), from_);
    form->addRow(QStringLiteral("do"), to_);
    form->addRow(new QLabel(QStringLiteral("Uwagi operatora:")));
    form->addRow(notes_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Zapisz…"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Anuluj"));
    connect(buttons, &QDialogButtonBox::accepted, this, &ChargeReportDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ChargeReportDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

torv::charge::ChargeRequest ChargeReportDialog::request() const
{
    torv::charge::ChargeRequest r{QDir(baseDir_).filePath(QString::fromLatin1(torv::drying_log::kDirectory)).toStdString(),
                                  address_, std::nullopt, std::nullopt};
    if (span_->isChecked()) {
        r.from = LogTime(from_->dateTime());
        r.to = LogTime(to_->dateTime());
    }
    return r;
}

std::string ChargeReportDialog::notes() const { return notes_->toPlainText().toStdString(); }

bool ChargeReportDialog::saveTo(const QString& path)
{
    const QString target = SaveTargetOrRefuse(this, path);
    if (target.isEmpty())
        return false;
    const QString listPath = QDir(baseDir_).filePath(QString::fromLatin1(torv::plant::kChamberListFileName));
    const torv::plant::ChamberListResult list = torv::plant::ReadChamberListFile(listPath.toStdString());
    if (!list.ok()) {
        QStringList lines{QStringLiteral("Nie wczytano pliku %1:").arg(QString::fromLatin1(torv::plant::kChamberListFileName))};
        for (const std::string& p : list.problems)
            lines << QString::fromStdString(p);
        Tell(this, lines.join(QLatin1Char('\n')));
        return false;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::string error;
    const std::optional<torv::charge::Charge> charge = torv::charge::MakeCharge(request(), list.list, error);
    QByteArray pdf;
    if (charge)
        pdf = torv::report::ChargePdf(*charge, {notes(), TORV_VERSION});
    QApplication::restoreOverrideCursor();
    if (!charge) {
        Tell(this, QStringLiteral("Nie utworzono raportu:\n%1").arg(QString::fromStdString(error)));
        return false;
    }
    if (!torv::report::SaveReport(target.toStdString(), pdf, error)) {
        ShowNotSaved(this, path, QString::fromStdString(error));
        return false;
    }
    return true;
}

void ChargeReportDialog::accept()
{
    AskWhereToSave(this, QStringLiteral("Zapisz raport suszenia"), baseDir_, QStringLiteral("Dokument PDF (*.pdf)"),
                   QStringLiteral("pdf"), QStringLiteral("raport-komora-%1.pdf").arg(address_, 3, 10, QLatin1Char('0')),
                   [this](const QString& path) {
                       if (saveTo(path))
                           QDialog::accept();
                   });
}

void OpenChargeReport(QWidget* parent, const QString& baseDir, int address)
{
    auto* dialog = new ChargeReportDialog(baseDir, address, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}
