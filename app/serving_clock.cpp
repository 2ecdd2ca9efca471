#include "serving_clock.h"

#include <algorithm>

#include <functional>
#include <memory>
#include <vector>

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace {

// An event round must leave this much of a wait for its precise end: a
// repaint of the whole window takes a few milliseconds.
constexpr std::uint64_t kRoundMarginUs = 10'000;
// How long the thread sleeps between rounds: the window's latency meanwhile.
constexpr std::uint64_t kRoundEveryUs = 5'000;
// Most of one round spent on queued events; one paint may still run longer.
constexpr int kRoundBudgetMs = 5;
constexpr const char* kServedProperty = "torvServedDuringBusWork";
constexpr const char* kKeptProperty = "torvKeptDuringBusWork";
// How soon a replay that had to wait for bus work or a gate looks again.
constexpr int kReplayRetryMs = 10;

bool serving_ = false;
bool keeping_ = false;
bool replayScheduled_ = false;
std::function<bool()> replayGate_;
// Input kept while bus work gave way to the operator, with where it went.
struct KeptInput {
    QPointer<QObject> receiver;
    std::unique_ptr<QEvent> event;
};
std::vector<KeptInput> kept_;

bool isOperatorInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::Enter:
    case QEvent::Leave:
    case QEvent::HoverEnter:
    case QEvent::HoverLeave:
    case QEvent::HoverMove:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::Close: // the title bar's close button
        return true;
    default:
        return false;
    }
}

bool windowProperty(QObject* receiver, const char* name)
{
    if (receiver->isWidgetType())
        return static_cast<QWidget*>(receiver)->window()->property(name).toBool();
    if (auto* window = qobject_cast<QWindow*>(receiver))
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->windowHandle() == window)
                return top->property(name).toBool();
    return false;
}

// What the operator did, as it first reaches the program: a window's mouse,
// key or close event (input made by the program itself may go straight to a
// widget), or a shortcut's activation (resolved before its key reaches the
// window). Pointer movements and hovering are not kept.
bool isOperatorAction(QObject* receiver, QEvent::Type type)
{
    switch (type) {
    case QEvent::Shortcut: return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Close: return qobject_cast<QWindow*>(receiver) != nullptr || receiver->isWidgetType();
    default: return false;
    }
}

void scheduleReplay(int delayMs);

// Installed on the application for one round: the operator's input to the
// tool's windows goes nowhere, or is kept for later when bus work gives way.
class InputDrop final : public QObject {
protected:
    bool eventFilter(QObject* receiver, QEvent* event) override
    {
        if (!isOperatorInput(event->type()) || windowProperty(receiver, kServedProperty))
            return false;
        if ((keeping_ || windowProperty(receiver, kKeptProperty)) && isOperatorAction(receiver, event->type())) {
            kept_.push_back({receiver, std::unique_ptr<QEvent>(event->clone())});
            // Kept outside a scan that gives way: handed over once the bus work is over.
            if (!keeping_)
                scheduleReplay(kReplayRetryMs);
        }
        return true;
    }
};

// The kept input is handed over one event at a time, each only after the
// one before has been handled, bus work it started included: posted all at
// once, a press that starts bus work would have its release served (and
// dropped) inside that work, leaving a button held down for ever.
void replayNext()
{
    replayScheduled_ = false;
    if (keeping_ || kept_.empty())
        return;
    if (serving_ || (replayGate_ && !replayGate_())) {
        scheduleReplay(kReplayRetryMs);
        return;
    }
    KeptInput next = std::move(kept_.front());
    kept_.erase(kept_.begin());
    if (next.receiver)
        QCoreApplication::sendEvent(next.receiver, next.event.get());
    scheduleReplay(0);
}

void scheduleReplay(int delayMs)
{
    if (replayScheduled_ || kept_.empty() || QCoreApplication::instance() == nullptr)
        return;
    replayScheduled_ = true;
    QTimer::singleShot(delayMs, QCoreApplication::instance(), &replayNext);
}

} // namespace

bool ServingClock::serving() { return serving_; }

void ServingClock::serveInputOf(QWidget* window) { window->setProperty(kServedProperty, true); }

void ServingClock::keepInputOf(QWidget* window) { window->setProperty(kKeptProperty, true); }

void ServingClock::setReplayGate(std::function<bool()> lineFree) { replayGate_ = std::move(lineFree); }

void ServingClock::keepInput(bool on)
{
    keeping_ = on;
    if (!on)
        scheduleReplay(0);
}

bool ServingClock::inputKept() { return keeping_ && !kept_.empty(); }

bool ServingClock::replayPending() { return !keeping_ && !kept_.empty(); }

void ServingClock::resetStats()
{
    stats_ = {};
    lastRoundUs_ = nowUs();
}

void ServingClock::serveRound()
{
    stats_.longestGapUs = std::max(stats_.longestGapUs, nowUs() - lastRoundUs_);
    InputDrop drop;
    QCoreApplication::instance()->installEventFilter(&drop);
    serving_ = true;
    QCoreApplication::processEvents(QEventLoop::AllEvents, kRoundBudgetMs);
    serving_ = false;
    QCoreApplication::instance()->removeEventFilter(&drop);
    lastRoundUs_ = nowUs();
    ++stats_.rounds;
}

void ServingClock::idleUntilUs(std::uint64_t deadlineUs)
{
    // Not nested into a round of its own, and nothing to serve without an application.
    if (serving_ || QCoreApplication::instance() == nullptr) {
        base_.sleepUntilUs(deadlineUs);
        return;
    }
    while (nowUs() + kRoundMarginUs < deadlineUs) {
        serveRound();
        const std::uint64_t now = nowUs();
        if (now + kRoundMarginUs >= deadlineUs)
            break;
        base_.sleepUntilUs(std::min(deadlineUs - kRoundMarginUs, now + kRoundEveryUs));
    }
    base_.sleepUntilUs(deadlineUs);
    const std::uint64_t end = nowUs();
    if (end > deadlineUs)
        stats_.latestEndUs = std::max(stats_.latestEndUs, end - deadlineUs);
}
