#pragma once
#include <functional>
#include <vector>

#include "plant/alarm_log.h"
#include "plant/overview.h"

namespace torv::drying_log {
class Writer;
}

namespace torv::plant {

// Where each scan of the overview goes: the logs, and what a program shows
// or publishes of it (the window's tiles and alarm messages, serve's
// metrics, broker and printed lines). A program lists its sinks once, in
// the order their effects must come, and hands here every scan that ran to
// its end; the logs are the same sinks in every program that keeps them.
class ScanSinks {
public:
    // The overview as the scan left it (its list and alarms), and the scan.
    using Sink = std::function<void(const Overview& overview, const Overview::Step& step)>;

    ScanSinks& add(Sink sink);
    // Every sink in turn, in the order added.
    void deliver(const Overview& overview, const Overview::Step& step) const;

private:
    std::vector<Sink> sinks_;
};

// The scan's line, as the step holds it, into the drying log.
ScanSinks::Sink DryingLogSink(drying_log::Writer& log);
// The alarm events of the scan into the alarm log, in their order.
ScanSinks::Sink AlarmLogSink(AlarmLog& log);

} // namespace torv::plant
