#include "plant/scan_sinks.h"

#include <utility>

#include "files/drying_log_writer.h"

namespace torv::plant {

ScanSinks& ScanSinks::add(Sink sink)
{
    sinks_.push_back(std::move(sink));
    return *this;
}

void ScanSinks::deliver(const Overview& overview, const Overview::Step& step) const
{
    for (const Sink& sink : sinks_)
        sink(overview, step);
}

ScanSinks::Sink DryingLogSink(drying_log::Writer& log)
{
    return [&log](const Overview&, const Overview::Step& step) { log.append(step.row); };
}

ScanSinks::Sink AlarmLogSink(AlarmLog& log)
{
    return [&log](const Overview&, const Overview::Step& step) { log.append(step.events); };
}

} // namespace torv::plant
