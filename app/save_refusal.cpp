#include "save_refusal.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "serving_clock.h"
#include "settings/file_target.h"

QString SaveTargetOrRefuse(QWidget* parent, const QString& path)
{
    const torv::files::Target target = torv::files::SaveTarget(path.toStdString());
    if (target.ok())
        return QString::fromStdString(target.path);
    ShowNotSaved(parent, path,
                 QString::fromStdString(torv::files::RefusalText(target.refusal, target.type, target.error)));
    return {};
}

void ShowNotSaved(QWidget* parent, const QString& path, const QString& reason)
{
    auto* box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("Uwaga !"),
                                QStringLiteral("Nie zapisano pliku %1:\n%2").arg(QFileInfo(path).fileName(), reason),
                                QMessageBox::Ok, parent);
    box->setObjectName(QStringLiteral("NotSavedBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void AskWhereToSave(QWidget* parent, const QString& title, const QString& dir, const QString& filter,
                    const QString& suffix, const QString& name, std::function<void(const QString&)> chosen)
{
    auto* dialog = new QFileDialog(parent, title, QDir(dir).absolutePath(), filter);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(suffix);
    dialog->selectFile(name);
    ServingClock::serveInputOf(dialog);
    QObject::connect(dialog, &QFileDialog::fileSelected, parent, std::move(chosen));
    dialog->open();
}
