// kestrove_bench: Kestrove against the peer a user would pick instead,
// `ffplay -f x11grab` scaled to the same window size, side by side on one
// private Xvfb per source size.
//
// Usage: kestrove_bench [--seconds N]   (N seconds per measurement, default 5)
//
// For each source size the source monitor (a RandR virtual monitor made by
// the monitor fixture) shows a still pattern of fine lines and small text,
// then each scene that changes at 60 Hz: the whole monitor, a few dozen small
// areas, one small area. The mirrors run one after the other in the same
// place; the X server's CPU time without a mirror is taken off as the cost of
// the source itself. Where the size asks for it, the latency is measured once
// more with one other core kept busy.
#include "bench/bench_report.h"
#include "bench/benchmark_driver.h"
#include "bench/busy_core.h"
#include "bench/mirror_watch.h"
#include "bench/process_usage.h"
#include "bench/source_animation.h"
#include "tests/harness/child_process.h"
#include "tests/harness/kestrove_session.h"
#include "tests/harness/wait.h"
#include "tests/harness/x11_picture_quality.h"
#include "tests/harness/x_client.h"
#include "tests/harness/xvfb_server.h"

#include <X11/extensions/Xrender.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace kestrove::bench {
namespace {

using e2e::ChildProcess;
using std::chrono::milliseconds;

// The mirror being measured: a process, the window it draws in, where it shows.
struct Mirror {
    std::unique_ptr<ChildProcess> process;
    Window window = 0;
    int x = 0;
    int y = 0;
};

// The Xvfb this process started: a child of ours running "Xvfb".
pid_t ServerPid() {
    for (const pid_t pid : ProcessesNamed("Xvfb")) {
        if (ParentOf(pid) == getpid()) {
            return pid;
        }
    }
    throw std::runtime_error("cannot find the Xvfb this benchmark started");
}

// The machine's load average over the last minute: other work skews every figure.
double LoadAverage() {
    std::ifstream file("/proc/loadavg");
    double load = 0;
    file >> load;
    return load;
}

// The window the picture is drawn in: the largest child, or the window itself.
Window PictureWindow(Display* display, Window window) {
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    Window best = window;
    long bestArea = 0;
    if (XQueryTree(display, window, &root, &parent, &children, &count) != 0) {
        for (unsigned i = 0; i < count; ++i) {
            XWindowAttributes attributes{};
            if (XGetWindowAttributes(display, children[i], &attributes) != 0 &&
                static_cast<long>(attributes.width) * attributes.height > bestArea) {
                bestArea = static_cast<long>(attributes.width) * attributes.height;
                best = children[i];
            }
        }
        XFree(children);
    }
    return best;
}

// What plain bilinear filtering of the source with Render gives at the mirror's size.
quality::Pixels PlainBilinear(Display* display, int x, int y, const Size& size) {
    Window root = DefaultRootWindow(display);
    XRenderPictFormat* format = XRenderFindVisualFormat(display, DefaultVisual(display, 0));
    XRenderPictureAttributes attributes{};
    attributes.subwindow_mode = IncludeInferiors;
    const Picture source =
        XRenderCreatePicture(display, root, format, CPSubwindowMode, &attributes);
    const int width = size.mirrorWidth;
    const int height = size.mirrorHeight();
    const Pixmap pixmap =
        XCreatePixmap(display, root, static_cast<unsigned>(width), static_cast<unsigned>(height),
                      static_cast<unsigned>(DefaultDepth(display, 0)));
    const Picture target = XRenderCreatePicture(display, pixmap, format, 0, nullptr);
    const double scale = static_cast<double>(size.sourceWidth) / width;
    XTransform transform{{{XDoubleToFixed(scale), 0, XDoubleToFixed(x)},
                          {0, XDoubleToFixed(scale), XDoubleToFixed(y)},
                          {0, 0, XDoubleToFixed(1)}}};
    XRenderSetPictureTransform(display, source, &transform);
    XRenderSetPictureFilter(display, source, FilterBilinear, nullptr, 0);
    XRenderComposite(display, PictOpSrc, source, None, target, 0, 0, 0, 0, 0, 0,
                     static_cast<unsigned>(width), static_cast<unsigned>(height));
    quality::Pixels result = quality::Grab(display, pixmap, 0, 0, width, height);
    XRenderFreePicture(display, target);
    XFreePixmap(display, pixmap);
    XRenderFreePicture(display, source);
    return result;
}

class SizeRun {
public:
    SizeRun(const Size& size, milliseconds measure) : m_size(size), m_measure(measure) {}

    SizeFigures run() {
        SizeFigures figures{m_size, {}, {}, 0, {}, {}, LoadAverage()};
        m_sourceX = m_size.mirrorWidth + 40; // the mirrors stay left of their source
        const int screenWidth = m_sourceX + m_size.sourceWidth;
        const int screenHeight = std::max(m_size.sourceHeight, m_size.mirrorHeight()) + 20;

        e2e::XvfbServer server(screenWidth, screenHeight);
        m_serverPid = ServerPid();
        e2e::XClient client(server.display());
        client.movePointer(1, screenHeight - 2); // away from the source and the mirrors
        m_display = XOpenDisplay(server.display().c_str());
        if (m_display == nullptr) {
            throw std::runtime_error("cannot open " + server.display());
        }

        ChildProcess fixture({e2e::MonitorFixturePath(), "--display", server.display(),
                              std::to_string(m_size.sourceWidth) + "x" +
                                  std::to_string(m_size.sourceHeight) + "+" +
                                  std::to_string(m_sourceX) + "+0*"},
                             {});
        if (fixture.readLine(e2e::kWaitTimeout) != "ready") {
            throw std::runtime_error("the monitor fixture is not ready: " +
                                     fixture.standardError());
        }
        SourceAnimation source(server.display(), m_sourceX, 0, m_size.sourceWidth,
                               m_size.sourceHeight);

        // What the source costs the server without a mirror.
        source.showStill();
        figures.idle = measure(nullptr);
        for (const Scene scene : kScenes) {
            source.startMoving(scene);
            figures.sourceAlone[static_cast<std::size_t>(scene)] = measure(nullptr);
            source.stopMoving();
        }

        const quality::Pixels reference = showStillReference(source);
        figures.bilinearPsnr =
            quality::Psnr(PlainBilinear(m_display, m_sourceX, 0, m_size), reference);

        // One mirror at a time, each from the still pattern through every scene.
        const auto measureMirror = [&](Mirror mirror, MirrorFigures& into) {
            std::this_thread::sleep_for(milliseconds(2000)); // until it shows the pattern
            into.psnr = quality::Psnr(grabMirror(mirror), reference);
            into.still = measure(&mirror, figures.idle);
            for (const Scene scene : kScenes) {
                SceneFigures& shown = into[scene];
                source.startMoving(scene);
                std::this_thread::sleep_for(milliseconds(1000));
                shown.cost = measure(&mirror, figures.sourceAlone[static_cast<std::size_t>(scene)]);
                shown.latency = MeasureLatency(m_display, mirror.x, mirror.y, m_size.factor(),
                                               source, m_measure);
                if (m_size.latencyUnderLoad) {
                    const BusyCore busy;
                    shown.loadedLatency = MeasureLatency(m_display, mirror.x, mirror.y,
                                                         m_size.factor(), source, m_measure);
                }
                source.stopMoving();
                requireRunning(mirror);
            }
            into.peakKiB = PeakResidentKiB(mirror.process->pid()).value_or(0);
            mirror.process->terminate();
            showStillReference(source);
        };
        measureMirror(startKestrove(client, server.display()), figures.kestrove);
        measureMirror(startPeer(client, server.display(), 0), figures.peer);
        XCloseDisplay(m_display);
        return figures;
    }

private:
    Mirror startKestrove(e2e::XClient& client, const std::string& display) {
        Mirror mirror;
        mirror.process = std::make_unique<ChildProcess>(
            std::vector<std::string>{e2e::KestrovePath()},
            std::vector<e2e::EnvironmentChange>{{"DISPLAY", display}});
        const auto window = waitForWindow(client, *mirror.process, [&](Window w) {
            return client.wmClass(w) == "Kestrove" && client.name(w).starts_with("Kestrove - [");
        });
        // Top-left, at the mirror's width; the fit that follows the resize
        // gives the height.
        XMoveWindow(m_display, window, 0, 0);
        XSync(m_display, False);
        client.resize(window, m_size.mirrorWidth, m_size.mirrorHeight() + 50);
        const e2e::WindowGeometry wanted{0, 0, m_size.mirrorWidth, m_size.mirrorHeight()};
        if (!e2e::WaitUntil([&] { return client.geometry(window) == wanted; })) {
            throw std::runtime_error("Kestrove's window does not take the mirror's size");
        }
        mirror.window = PictureWindow(m_display, window);
        return mirror;
    }

    Mirror startPeer(e2e::XClient& client, const std::string& display, int top) {
        const std::string title = "kestrove-bench-peer";
        Mirror mirror;
        mirror.process = std::make_unique<ChildProcess>(
            std::vector<std::string>{"ffplay",
                                     "-loglevel",
                                     "error",
                                     "-fflags",
                                     "nobuffer",
                                     "-f",
                                     "x11grab",
                                     "-framerate",
                                     "20",
                                     "-video_size",
                                     std::to_string(m_size.sourceWidth) + "x" +
                                         std::to_string(m_size.sourceHeight),
                                     "-i",
                                     display + "+" + std::to_string(m_sourceX) + ",0",
                                     "-vf",
                                     "scale=" + std::to_string(m_size.mirrorWidth) + ":" +
                                         std::to_string(m_size.mirrorHeight()),
                                     "-an",
                                     "-window_title",
                                     title,
                                     "-left",
                                     "0",
                                     "-top",
                                     std::to_string(top)},
            std::vector<e2e::EnvironmentChange>{{"DISPLAY", display}});
        const auto window = waitForWindow(client, *mirror.process,
                                          [&](Window w) { return client.name(w) == title; });
        mirror.window = window;
        mirror.y = top;
        return mirror;
    }

    template <typename Match>
    Window waitForWindow(e2e::XClient& client, ChildProcess& process, Match match) {
        std::optional<Window> found;
        e2e::WaitUntil([&] {
            found = client.findWindow([&](Window w) { return client.viewable(w) && match(w); });
            return found.has_value() || !process.running();
        });
        if (!found) {
            throw std::runtime_error(process.name() +
                                     " shows no window: " + process.standardError());
        }
        return *found;
    }

    // A mirror that ended half-way would leave figures that mean nothing.
    static void requireRunning(Mirror& mirror) {
        if (!mirror.process->running()) {
            throw std::runtime_error(mirror.process->name() + " ended during the measurement (" +
                                     mirror.process->terminate().describe() +
                                     "): " + mirror.process->standardError());
        }
    }

    // Shows the still pattern; returns its exact box-filter reduction to the mirror's size.
    quality::Pixels showStillReference(SourceAnimation& source) {
        source.showStill();
        return quality::BoxDownscale(quality::Grab(m_display, DefaultRootWindow(m_display),
                                                   m_sourceX, 0, m_size.sourceWidth,
                                                   m_size.sourceHeight),
                                     m_size.factor());
    }

    quality::Pixels grabMirror(const Mirror& mirror) {
        return quality::Grab(m_display, DefaultRootWindow(m_display), mirror.x, mirror.y,
                             m_size.mirrorWidth, m_size.mirrorHeight());
    }

    // The X server's and the mirror's CPU time and the mirror's frames over
    // one measurement; without a mirror, the server's alone (the baseline).
    Cost measure(const Mirror* mirror, const Cost& baseline = {}) {
        const pid_t client = mirror != nullptr ? mirror->process->pid() : 0;
        const auto serverBefore = CpuTime(m_serverPid).value_or(std::chrono::nanoseconds{});
        const auto clientBefore = client != 0 ? CpuTime(client).value_or(std::chrono::nanoseconds{})
                                              : std::chrono::nanoseconds{};
        const long wakeupsBefore = client != 0 ? Wakeups(client).value_or(0) : 0;
        const auto start = Clock::now();
        int frames = 0;
        if (mirror != nullptr) {
            frames = CountFrames(m_display, mirror->window, m_measure);
        } else {
            std::this_thread::sleep_for(m_measure);
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const auto serverAfter = CpuTime(m_serverPid).value_or(std::chrono::nanoseconds{});
        const auto clientAfter = client != 0 ? CpuTime(client).value_or(std::chrono::nanoseconds{})
                                             : std::chrono::nanoseconds{};
        const long wakeupsAfter = client != 0 ? Wakeups(client).value_or(0) : 0;
        Cost cost;
        cost.serverMsPerSecond =
            Ms(serverAfter - serverBefore) / seconds - baseline.serverMsPerSecond;
        cost.clientMsPerSecond = Ms(clientAfter - clientBefore) / seconds;
        cost.wakeupsPerSecond = static_cast<double>(wakeupsAfter - wakeupsBefore) / seconds;
        cost.redrawsPerSecond = frames / seconds;
        return cost;
    }

    Size m_size;
    milliseconds m_measure;
    int m_sourceX = 0;
    pid_t m_serverPid = 0;
    Display* m_display = nullptr;
};

} // namespace
} // namespace kestrove::bench

int main(int argc, char** argv) {
    using namespace kestrove::bench;
    std::vector<SizeFigures> all;
    return RunBenchmark(
        argc, argv,
        {.program = "kestrove_bench",
         .runs = RunsForEachSize([&all](const Size& size, const BenchmarkOptions& options) {
             all.push_back(SizeRun(size, options.measure).run());
         }),
         .report = [&all] { PrintReport(all); }});
}
