#include "cli/report_command.h"

#include <QApplication>

#include "charge/charge.h"
#include "cli/bus.h"
#include "report/charge_pdf.h"

namespace torv::cli {

Exit Report(int& argc, char** argv, const Options& options)
{
#ifndef Q_OS_WIN
    // No display needed on a kiln-side box or over ssh; Windows always has its desktop.
    qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    QApplication app(argc, argv);
    const plant::ChamberListResult list = plant::ReadChamberListFile(options.chambersFile);
    if (!list.ok()) {
        for (const std::string& problem : list.problems)
            Message(options.chambersFile + ": " + problem);
        return kUsage;
    }
    // Refused before the work, as a backup is.
    if (const files::Target target = files::SaveTarget(options.out); !target.ok()) {
        Message(options.out + ": " + files::RefusalText(target.refusal, target.type, target.error));
        return kUsage;
    }
    std::string error;
    const std::optional<charge::Charge> charge =
        charge::MakeCharge({options.dir, options.addresses.at(0), options.from, options.to}, list.list, error);
    if (!charge) {
        Message("report: " + error);
        return kUsage;
    }
    const QByteArray pdf = report::ChargePdf(*charge, {options.notes, TORV_VERSION});
    if (!report::SaveReport(options.out, pdf, error)) {
        Message(error);
        return kUsage;
    }
    return kDone;
}

} // namespace torv::cli
