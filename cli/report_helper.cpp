#include "cli/report_helper.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include "cli/bus.h"

namespace torv::cli {

Exit RunReportProgram(const QStringList& arguments)
{
    const QDir here(QCoreApplication::applicationDirPath());
#ifdef Q_OS_WIN
    const QString name = QString::fromLatin1(kReportProgram) + QStringLiteral(".exe");
#else
    const QString name = QString::fromLatin1(kReportProgram);
#endif
    QString program;
    for (const QString& candidate : {here.filePath(name), here.filePath(QStringLiteral("../libexec/torv-tester/") + name)})
        if (QFileInfo(candidate).isExecutable()) {
            program = candidate;
            break;
        }
    if (program.isEmpty()) {
        Message("report: " + name.toStdString() + " not found beside torv-cli");
        return kUsage;
    }
    QProcess report;
    report.setProcessChannelMode(QProcess::ForwardedChannels);
    report.setInputChannelMode(QProcess::ForwardedInputChannel);
    report.start(program, arguments);
    if (!report.waitForStarted(-1)) {
        Message("report: " + program.toStdString() + ": " + report.errorString().toStdString());
        return kUsage;
    }
    report.waitForFinished(-1);
    if (report.exitStatus() != QProcess::NormalExit) {
        Message("report: " + program.toStdString() + " ended abnormally");
        return kController;
    }
    return static_cast<Exit>(report.exitCode());
}

} // namespace torv::cli
