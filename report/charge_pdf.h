#pragma once
#include <QByteArray>
#include <string>

#include "charge/charge.h"

namespace torv::report {

// The charge report "Raport suszenia": A4 pages in Polish with the run's
// times, its programme, the chart, each step's statistics, the alarms, the
// gaps, the heat-treatment verdict, the operator's notes and the files read
// with their SHA-256; the lines skipped on the last page.

struct ReportText {
    std::string notes;   // the operator's free text: charge number, species, thickness, final moisture
    std::string version; // of the program making the report
};

// The PDF's bytes. Needs a QApplication (the chart is a widget); the
// offscreen platform will do.
QByteArray ChargePdf(const charge::Charge& charge, const ReportText& text);

// Saves `pdf` at `path` whole or not at all; never over a device, FIFO or
// directory. False with `error` (Polish) when it was not saved.
bool SaveReport(const std::string& path, const QByteArray& pdf, std::string& error);

} // namespace torv::report
