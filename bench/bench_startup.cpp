// Start-up time to the first painted window. Each run is a fresh process,
// timed from just before fork to the end of the main window's first paint
// pass; the milestones in between show where the time goes ("activated" is
// the window's first activation, which starts the session's bus work; "-"
// when it came after the paint).
// The measured process is this program started again with --child: it builds
// the application, the window and its session exactly as the tool does, in a
// working directory holding a settings file and a torv-sim line.
//
// Usage: bench_startup [--runs N]   (default 10; QT_QPA_PLATFORM as set, else offscreen)
#include <QApplication>
#include <QIcon>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "launch.h"
#include "session.h"
#include "support/child_process.h"
#include "tform1.h"

using torv::bench::MonotonicNs;

namespace {

// Milestones of one start, as absolute monotonic nanoseconds; 0 when not reached.
struct Milestones {
    std::uint64_t main = 0, application = 0, window = 0, activated = 0, firstPaint = 0, painted = 0;
};

constexpr const char* kMilestoneNames[] = {"main()", "QApplication", "window+session", "activated", "first paint",
                                           "painted"};
constexpr int kMilestoneCount = 6;

std::uint64_t& milestone(Milestones& m, int i)
{
    std::uint64_t* fields[] = {&m.main, &m.application, &m.window, &m.activated, &m.firstPaint, &m.painted};
    return *fields[i];
}

// Watches every event on its way to the window. The first paint pass is the
// run of paint events from the first one to the next event of another kind
// that is not sent from inside a paint; "painted" is when its last paint
// returned. The window's start-up handler runs on its first activation and
// may hold the event loop for a while, so the pass's end is taken from the
// paint events themselves, not from the loop coming back.
class TimedApplication : public QApplication {
public:
    TimedApplication(int& argc, char** argv, Milestones& m) : QApplication(argc, argv), m_(m) {}
    QWidget* window = nullptr;

    bool notify(QObject* receiver, QEvent* event) override
    {
        const bool ours = window != nullptr && receiver->isWidgetType()
            && static_cast<QWidget*>(receiver)->window() == window;
        const auto type = event->type();
        if (ours && type == QEvent::WindowActivate && m_.activated == 0)
            m_.activated = MonotonicNs();
        if (ours && type == QEvent::Paint) {
            if (m_.firstPaint == 0)
                m_.firstPaint = MonotonicNs();
            ++inPaint_;
            const bool result = QApplication::notify(receiver, event);
            --inPaint_;
            if (!passDone_)
                m_.painted = MonotonicNs();
            return result;
        }
        if (m_.firstPaint != 0 && !passDone_ && inPaint_ == 0) {
            passDone_ = true;
            report();
        }
        return QApplication::notify(receiver, event);
    }

private:
    void report()
    {
        std::printf("milestones");
        for (int i = 0; i < kMilestoneCount; ++i)
            std::printf(" %llu", static_cast<unsigned long long>(milestone(m_, i)));
        std::printf("\n");
        std::fflush(stdout);
        // Nothing more to measure; the session's bus work is not waited for.
        std::_Exit(0);
    }
    Milestones& m_;
    int inPaint_ = 0;
    bool passDone_ = false;
};

// The tool's own start-up (app/main.cpp) in the timed application.
int childMain(int argc, char** argv)
{
    Milestones m;
    m.main = MonotonicNs();
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    TimedApplication app(argc, argv, m);
    m.application = MonotonicNs();
    app.setWindowIcon(QIcon(QStringLiteral(":/pictures/icon_program.ico")));
    TForm1 form;
    Session session(form);
    m.window = MonotonicNs();
    app.window = &form;
    form.show();
    form.activateWindow();
    return app.exec();
}

// Reads the child's report line; empty after timeoutMs or when the child ended without one.
std::string readReport(int fd, int timeoutMs)
{
    // Qt may print warnings first; the report is the milestones line.
    std::string text;
    const auto complete = [&text] {
        const auto at = text.find("milestones");
        return at != std::string::npos && text.find('\n', at) != std::string::npos;
    };
    const std::uint64_t deadline = MonotonicNs() + static_cast<std::uint64_t>(timeoutMs) * 1000000u;
    while (!complete()) {
        const std::uint64_t now = MonotonicNs();
        if (now >= deadline)
            return {};
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>((deadline - now) / 1000000u) + 1) <= 0)
            continue;
        char buf[512];
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0)
            return {};
        text.append(buf, static_cast<std::size_t>(n));
    }
    return text.substr(text.find("milestones"));
}

bool parseReport(const std::string& line, Milestones& m)
{
    const char* p = line.c_str() + std::strlen("milestones");
    for (int i = 0; i < kMilestoneCount; ++i) {
        char* end = nullptr;
        errno = 0;
        milestone(m, i) = std::strtoull(p, &end, 10);
        if (end == p || errno != 0)
            return false;
        p = end;
    }
    return true;
}

double ms(std::uint64_t from, std::uint64_t to) { return static_cast<double>(to - from) / 1e6; }

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--child") == 0)
        return childMain(argc, argv);
    int runs = 10;
    if (argc > 2 && std::strcmp(argv[1], "--runs") == 0)
        runs = std::max(1, std::atoi(argv[2]));

    torv::testing::TempDir dir;
    if (!torv::bench::WriteSettings(dir.path())) {
        std::fprintf(stderr, "cannot write the settings file in %s\n", dir.path().c_str());
        return 1;
    }
    const auto sim = torv::bench::StartSimulator(dir.path(), {"--address", "1"});
    if (!sim)
        return 1;
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    std::printf("Start-up to the first painted window, %d runs, platform %s (ms from process start)\n\n", runs,
                platform ? platform : "offscreen");
    std::printf("| run |");
    for (const char* name : kMilestoneNames)
        std::printf(" %14s |", name);
    std::printf("\n|-----|");
    for (int i = 0; i < kMilestoneCount; ++i)
        std::printf("----------------|");
    std::printf("\n");

    const std::string self = torv::bench::SelfPath();
    std::vector<std::vector<double>> columns(kMilestoneCount);
    for (int run = 1; run <= runs; ++run) {
        int fds[2];
        if (pipe(fds) != 0)
            return 1;
        const std::uint64_t start = MonotonicNs();
        const pid_t pid = torv::bench::Launch({self, "--child"}, dir.path(), fds[1]);
        close(fds[1]);
        const std::string report = readReport(fds[0], 20000);
        close(fds[0]);
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        Milestones m;
        if (report.empty() || !parseReport(report, m) || m.painted == 0) {
            std::fprintf(stderr, "run %d: the window did not report its first paint\n", run);
            return 1;
        }
        std::printf("| %3d |", run);
        for (int i = 0; i < kMilestoneCount; ++i) {
            if (milestone(m, i) == 0) {
                std::printf(" %14s |", "-");
                continue;
            }
            const double t = ms(start, milestone(m, i));
            columns[static_cast<std::size_t>(i)].push_back(t);
            std::printf(" %14.1f |", t);
        }
        std::printf("\n");
        // Lets the simulator drop whatever half frame the killed run left on the line.
        usleep(200000);
    }
    const std::vector<double>& painted = columns.back();
    std::printf("\npainted: min %.1f ms, median %.1f ms, max %.1f ms (target <= 500 ms: %s)\n",
                *std::min_element(painted.begin(), painted.end()), median(painted),
                *std::max_element(painted.begin(), painted.end()), median(painted) <= 500.0 ? "met" : "NOT met");
    return 0;
}
