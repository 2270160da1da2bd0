// kestrove_mutter_bench: Kestrove on headless mutter, its picture through the
// screen-cast portal and PipeWire, against the nearest packaged peer fed from
// a stream of the same portal: gst-launch-1.0 pipewiresrc ! videoscale !
// ximagesink, which scales in the client and shows through XWayland.
// Runs inside the private session of tests/portal/portal_chain.sh
// (`bench/run.sh mutter` starts it there).
//
// Usage: kestrove_mutter_bench [--seconds N]   (N seconds per measurement, default 5)
//
// The first monitor holds the source (the same animation as the other
// benchmarks), the mirror sits on the second. Costs count the mirror's own
// processes plus mutter, XWayland, PipeWire and WirePlumber (which capture,
// carry, scale and show for it), less what those spend on the source alone.
#include "bench/benchmark_driver.h"
#include "bench/mirror_watch.h"
#include "bench/process_usage.h"
#include "bench/source_animation.h"
#include "platform/compositor/portal/portal_session.h"
#include "tests/harness/child_process.h"
#include "tests/harness/kestrove_session.h"
#include "tests/harness/wait.h"
#include "tests/harness/x_client.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace kestrove::bench {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr int kMirrorWidth = 640;

// Processes counted together in the breakdown.
struct Group {
    std::string name;
    std::vector<pid_t> pids;
};

struct Figures {
    double msPerFrame = 0; // CPU of everything involved, per shown frame
    std::vector<std::pair<std::string, double>> msPerFrameBy; // of it, by process group
    double framesPerSecond = 0;
    double stillPercent = 0; // of one core, with the source still
    Latency latency;
    long peakKiB = 0; // the mirror's own processes
};

class Bench {
public:
    Bench(const std::string& display, milliseconds measure)
        : m_displayName(display), m_measure(measure), m_client(display),
          m_display(XOpenDisplay(display.c_str())) {
        if (!m_display) {
            throw std::runtime_error("cannot open " + display);
        }
        m_monitors = m_client.monitors();
        std::sort(
            m_monitors.begin(), m_monitors.end(),
            [](const e2e::ServerMonitor& a, const e2e::ServerMonitor& b) { return a.x < b.x; });
        if (m_monitors.size() < 2) {
            throw std::runtime_error("needs two monitors");
        }
        // The session's shell started this benchmark and the desktop.
        // Other desktops on the machine are not ours to count.
        const pid_t session = getppid();
        const auto ours = [session](pid_t pid) { return DescendsFrom(pid, session); };
        m_groups = {{"mutter", ProcessesNamed({"mutter"}, ours)},
                    {"Xwayland", ProcessesNamed({"Xwayland"}, ours)},
                    {"pipewire+wireplumber", ProcessesNamed({"pipewire", "wireplumber"}, ours)}};
        for (const Group& group : m_groups) {
            m_desktop.insert(m_desktop.end(), group.pids.begin(), group.pids.end());
        }
    }
    ~Bench() { XCloseDisplay(m_display); }

    const e2e::ServerMonitor& source() const { return m_monitors[0]; }
    int mirrorHeight() const { return source().height * kMirrorWidth / source().width; }
    double stillBase() const { return m_stillBase; }
    double movingBase() const { return m_movingBase; }

    std::pair<Figures, Figures> run() {
        SourceAnimation animation(m_displayName, source().x, source().y, source().width,
                                  source().height);
        m_source = &animation;
        animation.showStill();
        std::this_thread::sleep_for(seconds(1));
        m_stillBase = cpuPerSecond(m_desktop);
        animation.startMoving(Scene::FullScreen);
        std::this_thread::sleep_for(seconds(1));
        m_movingBase = cpuPerSecond(m_desktop);
        animation.stopMoving();

        const Figures kestrove = measure(
            [] {
                return std::make_unique<e2e::ChildProcess>(
                    std::vector<std::string>{e2e::KestrovePath()},
                    std::vector<e2e::EnvironmentChange>{});
            },
            [&](e2e::Window w) {
                return m_client.wmClass(w) == "Kestrove" && m_client.viewable(w);
            });

        // The peer reads a stream of a portal session of its own, the way a
        // screen-sharing application would.
        sd_bus* bus = nullptr;
        if (sd_bus_open_user(&bus) < 0) {
            throw std::runtime_error("portal: no session bus");
        }
        std::unique_ptr<sd_bus, decltype(&sd_bus_flush_close_unref)> busHolder(
            bus, sd_bus_flush_close_unref);
        compositor::portal::PortalSession session(bus, "");
        while (session.state() == compositor::portal::PortalSession::State::Asking) {
            if (sd_bus_process(bus, nullptr) == 0) {
                sd_bus_wait(bus, 100'000);
            }
            session.checkDeadline(compositor::portal::PortalSession::Clock::now());
        }
        if (session.state() != compositor::portal::PortalSession::State::Granted) {
            throw std::runtime_error("portal: " + session.problem());
        }
        const auto& streams = session.streams();
        const auto stream = std::find_if(streams.begin(), streams.end(), [&](const auto& s) {
            return s.rect.left == source().x && s.rect.top == source().y;
        });
        if (stream == streams.end()) {
            throw std::runtime_error("no stream for the source monitor");
        }
        const std::string caps = "video/x-raw,width=" + std::to_string(kMirrorWidth) +
                                 ",height=" + std::to_string(mirrorHeight());
        const Figures peer = measure(
            [&] {
                return std::make_unique<e2e::ChildProcess>(
                    std::vector<std::string>{"gst-launch-1.0", "-q", "pipewiresrc",
                                             "path=" + std::to_string(stream->node), "!",
                                             "videoscale", "!", caps, "!", "videoconvert", "!",
                                             "ximagesink"},
                    std::vector<e2e::EnvironmentChange>{});
            },
            [&](e2e::Window w) {
                const auto g = m_client.geometry(w);
                return m_client.viewable(w) && g && g->width == kMirrorWidth &&
                       g->height == mirrorHeight() && m_client.wmClass(w) != "Kestrove";
            });
        return {kestrove, peer};
    }

private:
    double cpuPerSecond(const std::vector<pid_t>& pids) {
        const auto before = CpuOf(pids);
        const auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(m_measure);
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        return Ms(CpuOf(pids) - before) / elapsed;
    }

    Figures measure(const std::function<std::unique_ptr<e2e::ChildProcess>()>& start,
                    const std::function<bool(e2e::Window)>& isMirror) {
        Figures figures;
        m_source->startMoving(Scene::FullScreen);
        std::unique_ptr<e2e::ChildProcess> mirror = start();
        std::optional<e2e::Window> window;
        if (!e2e::WaitUntil([&] { return (window = m_client.findWindow(isMirror)).has_value(); },
                            seconds(20))) {
            throw std::runtime_error("the mirror did not appear: " + mirror->standardError());
        }
        // On the second monitor, clear of the source: moved as a pager would
        // move it (mutter keeps windows where their owners ask on their own).
        const e2e::ServerMonitor& target = m_monitors[1];
        XResizeWindow(m_display, *window, kMirrorWidth, static_cast<unsigned>(mirrorHeight()));
        XEvent move{};
        move.xclient.type = ClientMessage;
        move.xclient.window = *window;
        move.xclient.message_type = XInternAtom(m_display, "_NET_MOVERESIZE_WINDOW", False);
        move.xclient.format = 32;
        move.xclient.data.l[0] = StaticGravity | (1 << 8) | (1 << 9) | (2 << 12); // x, y; pager
        move.xclient.data.l[1] = target.x + 20;
        move.xclient.data.l[2] = target.y + 40;
        XSendEvent(m_display, DefaultRootWindow(m_display), False,
                   SubstructureRedirectMask | SubstructureNotifyMask, &move);
        XSync(m_display, False);
        std::this_thread::sleep_for(seconds(2));

        std::vector<pid_t> pids = m_desktop;
        pids.push_back(mirror->pid());
        std::vector<Group> groups = m_groups;
        groups.push_back({"client", {mirror->pid()}});
        std::vector<std::chrono::nanoseconds> groupBefore;
        for (const Group& group : groups) {
            groupBefore.push_back(CpuOf(group.pids));
        }
        const auto before = CpuOf(pids);
        const auto begin = std::chrono::steady_clock::now();
        const int frames = CountFrames(m_display, *window, m_measure);
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        const double msPerSecond = Ms(CpuOf(pids) - before) / elapsed - m_movingBase;
        figures.framesPerSecond = frames / elapsed;
        figures.msPerFrame = frames > 0 ? msPerSecond * elapsed / frames : 0;
        for (std::size_t i = 0; i < groups.size(); ++i) {
            // Gross: what the source alone costs mutter and XWayland is not taken off here.
            const double ms = Ms(CpuOf(groups[i].pids) - groupBefore[i]);
            figures.msPerFrameBy.emplace_back(groups[i].name, frames > 0 ? ms / frames : 0);
        }

        // The marker is read at the mirror's reduction, a whole factor here.
        const int factor = source().width / kMirrorWidth;
        figures.latency = MeasureLatency(m_display, 0, 0, factor, *m_source, m_measure, *window);

        m_source->stopMoving();
        m_source->showStill();
        std::this_thread::sleep_for(seconds(1));
        figures.stillPercent = (cpuPerSecond(pids) - m_stillBase) / 10.0;
        figures.peakKiB = PeakResidentKiB(mirror->pid()).value_or(0);
        mirror->terminate();
        return figures;
    }

    std::string m_displayName;
    milliseconds m_measure;
    e2e::XClient m_client;
    Display* m_display;
    std::vector<e2e::ServerMonitor> m_monitors;
    std::vector<Group> m_groups;
    std::vector<pid_t> m_desktop;
    SourceAnimation* m_source = nullptr;
    double m_stillBase = 0;  // the desktop's processes, ms per second, source still
    double m_movingBase = 0; // the same with the source moving
};

void PrintRow(const char* name, const Figures& f) {
    std::printf("  %-30s %9.2f %8.1f %9.1f %9.1f %10.2f %10ld\n", name, f.msPerFrame,
                f.framesPerSecond, f.latency.p50, f.latency.p95, f.stillPercent, f.peakKiB);
    std::printf("  %-30s", "    gross ms/frame by process:");
    for (const auto& [group, ms] : f.msPerFrameBy) {
        std::printf(" %s %.2f", group.c_str(), ms);
    }
    std::printf("\n");
}

// Measures Kestrove and the peer on the session's desktop and prints the figures.
void MeasureDesktop(milliseconds measure) {
    Bench bench(std::getenv("DISPLAY"), measure);
    const auto [kestrove, peer] = bench.run();
    std::printf("\n%dx%d -> %dx%d on headless mutter through the portal, %d s per figure\n",
                bench.source().width, bench.source().height, kMirrorWidth, bench.mirrorHeight(),
                static_cast<int>(measure.count() / 1000));
    std::printf("  %-30s %9s %8s %9s %9s %10s %10s\n", "", "CPU ms/fr", "frames/s", "lat p50",
                "lat p95", "still %cpu", "peak KiB");
    PrintRow("Kestrove", kestrove);
    PrintRow("gst pipewiresrc ! videoscale", peer);
    std::printf("  the desktop alone, ms of CPU per second: %.1f source still, %.1f moving\n",
                bench.stillBase(), bench.movingBase());
    std::printf("  ratio CPU/frame Kestrove/peer: %.3f\n",
                peer.msPerFrame > 0 ? kestrove.msPerFrame / peer.msPerFrame : 0.0);
}

} // namespace
} // namespace kestrove::bench

int main(int argc, char** argv) {
    using namespace kestrove::bench;
    return RunBenchmark(
        argc, argv,
        {.program = "kestrove_mutter_bench",
         .unavailable =
             [] {
                 return std::getenv("DISPLAY") != nullptr &&
                                std::getenv("KESTROVE_PORTAL_BACKEND_PID") != nullptr
                            ? std::string()
                            : std::string("run it through bench/run.sh mutter");
             },
         .runs = {{"the first monitor of headless mutter",
                   [](const BenchmarkOptions& options) { MeasureDesktop(options.measure); }}}});
}
