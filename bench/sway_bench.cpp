// kestrove_sway_bench: Kestrove on a headless sway (wlroots, pixman renderer)
// against the nearest packaged peer there, wf-recorder writing raw video to a
// pipe that ffplay reads, scales and shows: capture, scale and show, all in
// clients.
//
// Usage: kestrove_sway_bench [--seconds N]   (N seconds per measurement, default 5)
//
// For each source size, output 1 of a fresh sway holds the source (the same
// animation as the X11 benchmark, as an X window through XWayland), output 2
// the mirror; last, Kestrove moves onto output 1 and shows itself, at several window sizes up to
// the whole output, the screen still. Costs count the mirror's own
// processes plus the compositor and XWayland (which capture, scale and show for it), less what the
// compositor and XWayland spend on the source alone; the mirror's own processes are also shown
// apart, as the compositor's share is noisy where the source alone keeps it busy (4K on the pixman
// renderer).
#include "bench/benchmark_driver.h"
#include "bench/mirror_size.h"
#include "bench/mirror_watch.h"
#include "bench/output_watch.h"
#include "bench/process_usage.h"
#include "bench/source_animation.h"
#include "tests/harness/kestrove_session.h"
#include "tests/harness/wait.h"
#include "tests/harness/wayland/headless_sway.h"
#include "tests/harness/x_client.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace kestrove::bench {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

struct Figures {
    double msPerFrame = 0;       // CPU, client + compositor + XWayland, per shown frame
    double clientMsPerFrame = 0; // of that, the mirror's own processes
    double framesPerSecond = 0;
    double stillPercent = 0;         // of one core, with the source still
    double stillClientPercent = 0;   // of that, the mirror's own processes
    double stillFramesPerSecond = 0; // drawn while nothing changes: none expected
    Latency latency;
    // A second pass, the monitor itself watched through screencopy meanwhile.
    MonitorLatency onMonitor;
    long peakKiB = 0; // the mirror's own processes
    // Kestrove moved onto the output it shows, the source still: it shows
    // itself, so each repaint is a change of the screen it mirrors. At
    // several window sizes, up to the whole output.
    struct OnItself {
        double zoom = 0;
        double framesPerSecond = 0;
        double kestrovePercent = 0; // of one core
        double xwaylandPercent = 0;
        double swayPercent = 0;
    };
    std::vector<OnItself> onItself;
};

// Window widths, as shares of the output's, at which the mirror shows itself.
constexpr double kOnItselfZooms[] = {0.44, 0.625, 0.75, 0.94, 1.0};

std::string Config(const Size& size) {
    std::ostringstream config;
    config << "output HEADLESS-1 mode " << size.sourceWidth << "x" << size.sourceHeight
           << " position 0 0 bg #000000 solid_color\n"
           << "output HEADLESS-2 mode 1920x1080 position " << size.sourceWidth
           << " 0 bg #404040 solid_color\n"
           << "xwayland force\n"
           << "workspace 2 output HEADLESS-2\n"
           << "assign [class=\"^Kestrove$\"] workspace 2\n"
           << "for_window [class=\"^Kestrove$\"] floating enable\n"
           << "assign [title=\"^KestrovePeer$\"] workspace 2\n"
           << "for_window [title=\"^KestrovePeer$\"] floating enable\n";
    return config.str();
}

class SizeRun {
public:
    SizeRun(const Size& size, milliseconds measure) : m_size(size), m_measure(measure) {}

    std::pair<Figures, Figures> run() {
        const std::string configPath = "/tmp/kestrove-sway-bench.config";
        std::ofstream(configPath) << Config(m_size);
        e2e::HeadlessSway sway(configPath);
        std::filesystem::remove(configPath);
        m_sway = &sway;
        m_xwayland = sway.xwaylandPid();
        if (m_xwayland < 1) {
            throw std::runtime_error("sway's XWayland process is not to be found");
        }
        m_compositor = {sway.swayPid(), m_xwayland};
        e2e::XClient client(sway.display());
        m_client = &client;
        m_display = XOpenDisplay(sway.display().c_str());
        if (m_display == nullptr) {
            throw std::runtime_error("cannot open " + sway.display());
        }
        SourceAnimation source(sway.display(), 0, 0, m_size.sourceWidth, m_size.sourceHeight);
        m_source = &source;

        source.showStill();
        std::this_thread::sleep_for(seconds(1));
        m_stillBase = measureUsage({}).compositorMsPerSecond;
        source.startMoving(Scene::FullScreen);
        std::this_thread::sleep_for(seconds(1));
        m_movingBase = measureUsage({}).compositorMsPerSecond;
        source.stopMoving();

        const std::string directory = sway.directory();
        const Figures kestrove = measure(
            [&] {
                const std::string executable = sway.handOver(e2e::KestrovePath());
                sway.exec(directory + "/run-captured.sh " + directory + " " + executable);
            },
            [&](Window w) { return client.wmClass(w) == "Kestrove" && client.viewable(w); },
            {"Kestrove"}, true);
        const std::string scale =
            std::to_string(m_size.mirrorWidth) + ":" + std::to_string(m_size.mirrorHeight());
        const Figures peer = measure(
            [&] {
                sway.exec("sh -c 'wf-recorder -o HEADLESS-1 -c rawvideo -m nut -x bgr0 -f pipe:1 "
                          "2>/dev/null | SDL_VIDEODRIVER=x11 ffplay -loglevel error -probesize 32 "
                          "-analyzeduration 0 -fflags nobuffer -f nut -i pipe:0 -an -vf scale=" +
                          scale + " -x " + std::to_string(m_size.mirrorWidth) + " -y " +
                          std::to_string(m_size.mirrorHeight()) +
                          " -window_title KestrovePeer 2>/dev/null'");
            },
            [&](Window w) { return client.name(w) == "KestrovePeer" && client.viewable(w); },
            {"wf-recorder", "ffplay"}, false);
        XCloseDisplay(m_display);
        return {kestrove, peer};
    }

    double stillBase() const { return m_stillBase; }
    double movingBase() const { return m_movingBase; }

private:
    struct Usage {
        double clientMsPerSecond = 0;
        double compositorMsPerSecond = 0; // with XWayland
        double framesPerSecond = 0;       // drawn on `window`, when given
    };

    // Processes named `names` (their command name) running in this sway's
    // session: sway's exec leaves no parent to follow.
    std::vector<pid_t> sessionProcesses(const std::vector<std::string>& names) const {
        const std::string marker = "XDG_RUNTIME_DIR=" + m_sway->runtimeDirectory();
        return ProcessesNamed(names, [&](pid_t pid) { return HasEnvironment(pid, marker); });
    }

    // CPU of `clients`, and of the compositor and XWayland, over one measurement.
    Usage measureUsage(const std::vector<std::string>& clients, Window window = None) {
        const std::vector<pid_t> pids = sessionProcesses(clients);
        const auto clientBefore = CpuOf(pids);
        const auto compositorBefore = CpuOf(m_compositor);
        const auto start = std::chrono::steady_clock::now();
        int frames = 0;
        if (window != None) {
            frames = CountFrames(m_display, window, m_measure);
        } else {
            std::this_thread::sleep_for(m_measure);
        }
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        return {Ms(CpuOf(pids) - clientBefore) / elapsed,
                Ms(CpuOf(m_compositor) - compositorBefore) / elapsed, frames / elapsed};
    }

    // The mirror's repaints and each process's CPU, the screen still.
    Figures::OnItself measureOnItself(const std::vector<std::string>& clients, Window window,
                                      double zoom) {
        const std::vector<pid_t> pids = sessionProcesses(clients);
        const std::vector<pid_t> sway{m_sway->swayPid()}, xwayland{m_xwayland};
        const auto client = CpuOf(pids), swayBefore = CpuOf(sway), xBefore = CpuOf(xwayland);
        const auto start = std::chrono::steady_clock::now();
        const int frames = CountFrames(m_display, window, m_measure);
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const auto percent = [&](auto used) { return Ms(used) / elapsed / 10.0; };
        return {zoom, frames / elapsed, percent(CpuOf(pids) - client),
                percent(CpuOf(xwayland) - xBefore), percent(CpuOf(sway) - swayBefore)};
    }

    Figures measure(const std::function<void()>& start, const std::function<bool(Window)>& isMirror,
                    const std::vector<std::string>& processes, bool resize) {
        Figures figures;
        // The peer shows its first frame only once the source moves.
        m_source->startMoving(Scene::FullScreen);
        start();
        std::optional<Window> window;
        if (!e2e::WaitUntil([&] { return (window = m_client->findWindow(isMirror)).has_value(); },
                            seconds(20))) {
            throw std::runtime_error("the mirror did not appear: " + m_sway->log());
        }
        if (resize) {
            m_client->resize(*window, m_size.mirrorWidth, m_size.mirrorHeight());
        }
        std::this_thread::sleep_for(seconds(2));

        // Moving: CPU per shown frame; frames counted with Damage on its window.
        const Usage moving = measureUsage(processes, *window);
        figures.framesPerSecond = moving.framesPerSecond;
        if (moving.framesPerSecond > 0) {
            figures.msPerFrame =
                (moving.clientMsPerSecond + moving.compositorMsPerSecond - m_movingBase) /
                moving.framesPerSecond;
            figures.clientMsPerFrame = moving.clientMsPerSecond / moving.framesPerSecond;
        }

        figures.latency =
            MeasureLatency(m_display, 0, 0, m_size.factor(), *m_source, m_measure, *window);
        if (resize) {
            OutputWatch monitor(m_sway->waylandSocket(), "HEADLESS-1");
            MeasureLatency(
                m_display, 0, 0, m_size.factor(), *m_source, m_measure, *window,
                [&] { return monitor.sightings(); }, &figures.onMonitor);
        }

        m_source->stopMoving();
        m_source->showStill();
        std::this_thread::sleep_for(seconds(1));
        const Usage still = measureUsage(processes, *window);
        figures.stillClientPercent = still.clientMsPerSecond / 10.0;
        figures.stillPercent =
            (still.clientMsPerSecond + still.compositorMsPerSecond - m_stillBase) / 10.0;
        figures.stillFramesPerSecond = still.framesPerSecond;

        if (resize) {
            m_sway->message({"[class=\"^Kestrove$\"] move to workspace 1, move position 0 0"});
            for (const double zoom : kOnItselfZooms) {
                const int width = static_cast<int>(zoom * m_size.sourceWidth);
                m_client->resize(*window, width, width * m_size.sourceHeight / m_size.sourceWidth);
                // Its copies of itself come to rest within a second or two.
                std::this_thread::sleep_for(seconds(2));
                figures.onItself.push_back(measureOnItself(processes, *window, zoom));
            }
        }

        for (const pid_t pid : sessionProcesses(processes)) {
            figures.peakKiB += PeakResidentKiB(pid).value_or(0);
            kill(pid, SIGTERM);
        }
        e2e::WaitUntil([&] { return !m_client->findWindow(isMirror).has_value(); }, seconds(10));
        return figures;
    }

    Size m_size;
    milliseconds m_measure;
    e2e::HeadlessSway* m_sway = nullptr;
    e2e::XClient* m_client = nullptr;
    Display* m_display = nullptr;
    SourceAnimation* m_source = nullptr;
    pid_t m_xwayland = -1;
    std::vector<pid_t> m_compositor;
    double m_stillBase = 0;  // compositor + XWayland, ms per second, source still
    double m_movingBase = 0; // the same with the source moving
};

void PrintRow(const char* name, const Figures& f) {
    std::printf("  %-22s %9.2f %9.2f %8.1f %8.1f %8.1f %10.2f %9.2f %9.1f %9ld\n", name,
                f.msPerFrame, f.clientMsPerFrame, f.framesPerSecond, f.latency.p50, f.latency.p95,
                f.stillPercent, f.stillClientPercent, f.stillFramesPerSecond, f.peakKiB);
}

// Measures Kestrove and the peer at one size and prints the figures.
void MeasureSize(const Size& size, milliseconds measure) {
    SizeRun run(size, measure);
    const auto [kestrove, peer] = run.run();
    std::printf("\n%dx%d -> %dx%d on headless sway (pixman), %d s per figure\n", size.sourceWidth,
                size.sourceHeight, size.mirrorWidth, size.mirrorHeight(),
                static_cast<int>(measure.count() / 1000));
    std::printf("  source alone: compositor + XWayland %.1f ms/s still, %.1f ms/s "
                "moving\n",
                run.stillBase(), run.movingBase());
    std::printf("  %-22s %9s %9s %8s %8s %8s %10s %9s %9s %9s\n", "", "CPU ms/fr", "own ms/fr",
                "frames/s", "lat p50", "lat p95", "still %cpu", "own %cpu", "still f/s",
                "peak KiB");
    PrintRow("Kestrove", kestrove);
    PrintRow("wf-recorder | ffplay", peer);
    // The source's latency splits at the monitor: sway and XWayland's share
    // before it, which any capture waits for, and the mirror's after it.
    std::printf("  the monitor itself after the source's drawing (read through screencopy): "
                "p50 %.1f ms, p95 %.1f ms\n",
                kestrove.onMonitor.afterSource.p50, kestrove.onMonitor.afterSource.p95);
    std::printf("  Kestrove behind the monitor itself: p50 %.1f ms, p95 %.1f ms\n",
                kestrove.onMonitor.mirrorBehind.p50, kestrove.onMonitor.mirrorBehind.p95);
    std::printf("  Kestrove on the output it shows, screen still (%% of one core):\n"
                "  %8s %9s %9s %9s %9s\n",
                "zoom", "frames/s", "Kestrove", "XWayland", "sway");
    for (const Figures::OnItself& self : kestrove.onItself) {
        std::printf("  %8.3f %9.1f %9.2f %9.2f %9.2f\n", self.zoom, self.framesPerSecond,
                    self.kestrovePercent, self.xwaylandPercent, self.swayPercent);
    }
    std::printf("  ratio CPU/frame Kestrove/peer: %.3f (own processes only: %.3f)\n",
                peer.msPerFrame > 0 ? kestrove.msPerFrame / peer.msPerFrame : 0.0,
                peer.clientMsPerFrame > 0 ? kestrove.clientMsPerFrame / peer.clientMsPerFrame
                                          : 0.0);
}

} // namespace
} // namespace kestrove::bench

int main(int argc, char** argv) {
    using namespace kestrove::bench;
    return RunBenchmark(
        argc, argv,
        {.program = "kestrove_sway_bench",
         .unavailable = [] { return kestrove::e2e::HeadlessSway::Unavailable(); },
         .runs = RunsForEachSize([](const Size& size, const BenchmarkOptions& options) {
             MeasureSize(size, options.measure);
         })});
}
