// kestrove_soak: Kestrove mirroring a changing source for a long run while
// the monitor it shows is switched every second.
//
// Usage: kestrove_soak [--seconds N] [--executable PATH]
//   N: default 600, ten minutes; PATH: another build or copy of the program
//
// Both monitors of a private Xvfb show a picture redrawn at 60 Hz; Ctrl+1 and
// Ctrl+2 alternate once a second. Prints Kestrove's resident memory and open
// descriptors after the first minute (or a tenth of a shorter run) and at the
// end, and the largest gap between two refreshes of the mirror window
// (drawing on it, heard through Damage).
#include "bench/benchmark_driver.h"
#include "bench/source_animation.h"
#include "tests/harness/kestrove_session.h"
#include "tests/harness/process_status.h"

#include <X11/extensions/Xdamage.h>
#include <X11/keysym.h>

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kestrove::bench {
namespace {

using std::chrono::duration;
using std::chrono::milliseconds;
using std::chrono::seconds;

struct Holding {
    long residentKiB = -1;
    long descriptors = -1;
};

Holding HoldingNow(pid_t pid) {
    return {e2e::ResidentKiB(pid).value_or(-1), e2e::OpenDescriptors(pid).value_or(-1)};
}

// Drawing on one window, as a series of refreshes: requests less than 4 ms
// apart belong to one refresh.
class RefreshWatch {
public:
    RefreshWatch(const std::string& display, Window window)
        : m_display(XOpenDisplay(display.c_str())) {
        int errorBase = 0;
        if (m_display == nullptr || !XDamageQueryExtension(m_display, &m_eventBase, &errorBase)) {
            throw std::runtime_error("no Damage extension on " + display);
        }
        m_damage = XDamageCreate(m_display, window, XDamageReportRawRectangles);
        XSync(m_display, False);
    }
    ~RefreshWatch() {
        XDamageDestroy(m_display, m_damage);
        XCloseDisplay(m_display);
    }
    RefreshWatch(const RefreshWatch&) = delete;
    RefreshWatch& operator=(const RefreshWatch&) = delete;

    // Takes in what arrives within `wait`.
    void poll(milliseconds wait) {
        pollfd connection{ConnectionNumber(m_display), POLLIN, 0};
        ::poll(&connection, 1, static_cast<int>(wait.count()));
        while (XPending(m_display) > 0) {
            XEvent event{};
            XNextEvent(m_display, &event);
            if (event.type != m_eventBase + XDamageNotify) {
                continue;
            }
            const auto now = Clock::now();
            if (m_last && now - *m_last > milliseconds(4)) {
                ++m_refreshes;
                const auto gap = now - *m_last;
                if (gap > milliseconds(200)) {
                    ++m_longGaps;
                    m_longGapsAfterSwitch += now - m_lastSwitch < milliseconds(500) ? 1 : 0;
                }
                if (gap > m_largestGap) {
                    m_largestGap = gap;
                    m_largestGapAt = now;
                }
            }
            m_last = now;
        }
    }
    // Gaps are laid to a switch when they end within half a second of it.
    void switched() { m_lastSwitch = Clock::now(); }
    long refreshes() const { return m_refreshes; }
    long longGaps() const { return m_longGaps; }
    long longGapsAfterSwitch() const { return m_longGapsAfterSwitch; }
    double largestGapMs() const { return duration<double, std::milli>(m_largestGap).count(); }
    Clock::time_point largestGapAt() const { return m_largestGapAt; }

private:
    Display* m_display;
    int m_eventBase = 0;
    Damage m_damage = 0;
    std::optional<Clock::time_point> m_last;
    long m_refreshes = 0;
    long m_longGaps = 0; // over 200 ms
    long m_longGapsAfterSwitch = 0;
    Clock::time_point m_lastSwitch{};
    Clock::duration m_largestGap{};
    Clock::time_point m_largestGapAt{};
};

void Run(seconds length, const std::string& executable) {
    e2e::KestroveSession session(e2e::TwoMonitors(), 2560, 1600, executable);
    std::vector<std::unique_ptr<SourceAnimation>> sources;
    for (const e2e::MonitorGeometry& m : session.monitors()) {
        sources.push_back(
            std::make_unique<SourceAnimation>(session.display(), m.x, m.y, m.width, m.height));
        sources.back()->startMoving(Scene::FullScreen);
    }
    const pid_t pid = session.kestrove().pid();
    RefreshWatch watch(session.display(), session.mirror());

    const auto start = Clock::now();
    const auto end = start + length;
    const auto firstMark = start + std::min<Clock::duration>(seconds(60), length / 10);
    std::optional<Holding> early;
    auto nextSwitch = start + seconds(1);
    int monitor = 0;
    long switches = 0;
    while (Clock::now() < end) {
        watch.poll(milliseconds(5));
        const auto now = Clock::now();
        if (now >= nextSwitch) {
            monitor = 1 - monitor;
            session.pressKey(monitor == 0 ? XK_1 : XK_2, {XK_Control_L});
            watch.switched();
            ++switches;
            nextSwitch += seconds(1);
        }
        if (!early && now >= firstMark) {
            early = HoldingNow(pid);
        }
        if (!session.kestrove().running()) {
            const auto status = session.kestrove().waitExit(milliseconds(100));
            char elapsed[32];
            std::snprintf(elapsed, sizeof elapsed, "%.1f", duration<double>(now - start).count());
            throw std::runtime_error("Kestrove ended after " + std::string(elapsed) + " s (" +
                                     (status ? status->describe() : "?") +
                                     "): " + session.kestrove().standardError());
        }
    }
    const Holding last = HoldingNow(pid);
    for (auto& source : sources) {
        source->stopMoving();
    }

    const double firstMarkSeconds = duration<double>(firstMark - start).count();
    const double lengthSeconds = duration<double>(length).count();
    std::printf("Kestrove soak: %.0f s, monitor switched %ld times, %ld refreshes (%.1f/s)\n",
                lengthSeconds, switches, watch.refreshes(),
                static_cast<double>(watch.refreshes()) / lengthSeconds);
    std::printf("resident memory: %ld KiB after %.0f s, %ld KiB at the end (%+ld KiB)\n",
                early->residentKiB, firstMarkSeconds, last.residentKiB,
                last.residentKiB - early->residentKiB);
    std::printf("open descriptors: %ld after %.0f s, %ld at the end\n", early->descriptors,
                firstMarkSeconds, last.descriptors);
    std::printf("largest gap between two refreshes: %.1f ms (at %.1f s); gaps over 200 ms: %ld, "
                "%ld of them right after a switch\n",
                watch.largestGapMs(), duration<double>(watch.largestGapAt() - start).count(),
                watch.longGaps(), watch.longGapsAfterSwitch());
    std::printf("stderr of Kestrove: %s\n", session.kestrove().standardError().empty()
                                                ? "empty"
                                                : session.kestrove().standardError().c_str());
}

} // namespace
} // namespace kestrove::bench

int main(int argc, char** argv) {
    using namespace kestrove::bench;
    return RunBenchmark(
        argc, argv,
        {.program = "kestrove_soak",
         .defaultSeconds = 600,
         .minimumSeconds = 10,
         .takesExecutable = true,
         .runs = {{"Kestrove switched between two monitors", [](const BenchmarkOptions& options) {
                       Run(std::chrono::duration_cast<seconds>(options.measure),
                           options.executable);
                   }}}});
}
