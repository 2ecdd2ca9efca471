#include "session.h"

#include <QDateTime>

#include "tform1.h"

Session::Session(TForm1& form)
    : notifier(&form)
    , link(settings, clock)
    , settingsFile(notifier)
    , dryingLog(".", torv::drying_log::SystemLocalTime)
    , console(link, settingsFile, notifier, form)
    , form_(form)
{
    console.onMeasurement = [this](std::uint8_t address, const torv::ImageRow& row, bool ok) {
        // The chart gets the very line the log got.
        const auto line = torv::drying_log::MeasurementRow(
            address, row, ok ? torv::drying_log::Status::Ok : torv::drying_log::Status::Failed,
            torv::drying_log::SystemLocalTime());
        dryingLog.append(line);
        form_.measured(line);
    };
    busRecorder.setOrigin(clock.nowUs(), QDateTime::currentMSecsSinceEpoch());
    busRecorder.observe(link);
    form_.attach(&console);
    form_.attachBusRecorder(&busRecorder);
}

Session::~Session()
{
    form_.attachBusRecorder(nullptr);
    form_.attach(nullptr);
}
