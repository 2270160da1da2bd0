// kestrove_bench: Kestrove against the peer a user would pick instead,
// `ffplay -f x11grab` scaled to the same window size, side by side on one
// private Xvfb per source size.
//
// Usage: kestrove_bench [--seconds N]   (N seconds per measurement, default 5)
//
// For each source size the source monitor (a RandR virtual monitor made by
// the monitor fixture) first shows a still pattern of fine lines and small
// text, then a picture redrawn in full at 60 Hz. The mirrors run one after
// the other in the same place; the X server's CPU time without a mirror is
// taken off as the cost of the source itself. Prints one table per scenario
// and the ratios Kestrove / peer last.
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
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace kestrove::bench {
namespace {

using e2e::ChildProcess;
using std::chrono::milliseconds;

struct Size {
    int sourceWidth;
    int sourceHeight;
    int mirrorWidth;
    bool stillScenario; // also measure a still screen at this size
    int mirrorHeight() const {
        return static_cast<int>(static_cast<double>(sourceHeight) / sourceWidth * mirrorWidth);
    }
    int factor() const { return sourceWidth / mirrorWidth; }
};

// What one mirror costs over one measurement.
struct Cost {
    double serverMsPerSecond = 0; // above the cost of the source alone
    double clientMsPerSecond = 0;
    double framesPerSecond = 0; // drawing on the mirror's window, counted with Damage
    double msPerFrame(double frames) const {
        return frames > 0 ? (serverMsPerSecond + clientMsPerSecond) / frames : 0;
    }
    double percentOfCore() const { return (serverMsPerSecond + clientMsPerSecond) / 10.0; }
};

struct MirrorFigures {
    Cost moving;
    Cost still;
    Latency latency;
    double psnr = 0;
    long peakKiB = 0;
};

struct SizeFigures {
    Size size;
    MirrorFigures kestrove;
    MirrorFigures peer;
    double bilinearPsnr = 0;
    Cost sourceAlone; // the moving source without a mirror
};

// The mirror being measured: a process, the window it draws in, where it shows.
struct Mirror {
    std::unique_ptr<ChildProcess> process;
    Window window = 0;
    int x = 0;
    int y = 0;
};

// The Xvfb this process started: a child of ours running "Xvfb".
pid_t ServerPid() {
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line)) {
            continue;
        }
        // pid (comm) state ppid ...
        const auto open = line.find('(');
        const auto close = line.rfind(')');
        if (open == std::string::npos || close == std::string::npos ||
            line.substr(open + 1, close - open - 1) != "Xvfb") {
            continue;
        }
        std::istringstream rest(line.substr(close + 2));
        char state = 0;
        long parent = 0;
        if (rest >> state >> parent && parent == getpid()) {
            return static_cast<pid_t>(std::stol(line.substr(0, open)));
        }
    }
    throw std::runtime_error("cannot find the Xvfb this benchmark started");
}

double Ms(std::chrono::nanoseconds time) {
    return std::chrono::duration<double, std::milli>(time).count();
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
        SizeFigures figures{m_size, {}, {}, 0, {}};
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
        const Cost idle = m_size.stillScenario ? measure(nullptr) : Cost{};
        source.startMoving();
        const Cost sourceAlone = measure(nullptr);
        source.stopMoving();
        figures.sourceAlone = sourceAlone;

        const quality::Pixels reference = showStillReference(source);
        figures.bilinearPsnr =
            quality::Psnr(PlainBilinear(m_display, m_sourceX, 0, m_size), reference);

        // One mirror at a time, each from the still pattern to the moving source.
        const auto measureMirror = [&](Mirror mirror, MirrorFigures& into) {
            std::this_thread::sleep_for(milliseconds(2000)); // until it shows the pattern
            into.psnr = quality::Psnr(grabMirror(mirror), reference);
            if (m_size.stillScenario) {
                into.still = measure(&mirror, idle);
            }
            source.startMoving();
            std::this_thread::sleep_for(milliseconds(1000));
            into.moving = measure(&mirror, sourceAlone);
            into.latency = MeasureLatency(m_display, mirror.x, mirror.y, 1.0 / m_size.factor(),
                                          source, m_measure);
            source.stopMoving();
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
        Cost cost;
        cost.serverMsPerSecond =
            Ms(serverAfter - serverBefore) / seconds - baseline.serverMsPerSecond;
        cost.clientMsPerSecond = Ms(clientAfter - clientBefore) / seconds;
        cost.framesPerSecond = frames / seconds;
        return cost;
    }

    Size m_size;
    milliseconds m_measure;
    int m_sourceX = 0;
    pid_t m_serverPid = 0;
    Display* m_display = nullptr;
};

// A frame is a new picture in the mirror, as its pixels show.
double MsPerFrame(const MirrorFigures& m) {
    return m.moving.msPerFrame(m.latency.framesPerSecond);
}

void Row(const char* label, double kestrove, double peer, const char* format = "%12.2f") {
    std::printf("  %-38s", label);
    std::printf(format, kestrove);
    std::printf(format, peer);
    std::printf("\n");
}

void PrintMoving(const SizeFigures& f) {
    std::printf("\n%dx%d shown at %dx%d, source redrawn in full at 60 Hz\n", f.size.sourceWidth,
                f.size.sourceHeight, f.size.mirrorWidth, f.size.mirrorHeight());
    std::printf("  %-38s%12s%12s\n", "", "Kestrove", "ffplay");
    Row("X server CPU (ms/s)", f.kestrove.moving.serverMsPerSecond,
        f.peer.moving.serverMsPerSecond);
    Row("client CPU (ms/s)", f.kestrove.moving.clientMsPerSecond, f.peer.moving.clientMsPerSecond);
    Row("frames shown per second", f.kestrove.latency.framesPerSecond,
        f.peer.latency.framesPerSecond);
    Row("CPU per frame, server + client (ms)", MsPerFrame(f.kestrove), MsPerFrame(f.peer));
    Row("peak resident memory (MiB)", f.kestrove.peakKiB / 1024.0, f.peer.peakKiB / 1024.0);
    Row("latency p50 (ms)", f.kestrove.latency.p50, f.peer.latency.p50);
    Row("latency p95 (ms)", f.kestrove.latency.p95, f.peer.latency.p95);
    Row("latency samples", f.kestrove.latency.samples, f.peer.latency.samples, "%12.0f");
    Row("PSNR against a box filter, still (dB)", f.kestrove.psnr, f.peer.psnr);
    std::printf("  %-38s%12.2f\n", "PSNR of Render's plain bilinear (dB)", f.bilinearPsnr);
    std::printf("  %-38s%12.2f\n", "X server CPU for the source alone (ms/s)",
                f.sourceAlone.serverMsPerSecond);
}

void PrintStill(const SizeFigures& f) {
    std::printf("\nStill screen, %dx%d shown at %dx%d\n", f.size.sourceWidth, f.size.sourceHeight,
                f.size.mirrorWidth, f.size.mirrorHeight());
    std::printf("  %-38s%12s%12s\n", "", "Kestrove", "ffplay");
    Row("X server CPU (ms/s)", f.kestrove.still.serverMsPerSecond, f.peer.still.serverMsPerSecond);
    Row("client CPU (ms/s)", f.kestrove.still.clientMsPerSecond, f.peer.still.clientMsPerSecond);
    Row("window redraws per second", f.kestrove.still.framesPerSecond,
        f.peer.still.framesPerSecond);
    Row("CPU, server + client (% of one core)", f.kestrove.still.percentOfCore(),
        f.peer.still.percentOfCore(), "%12.3f");
}

double Ratio(double a, double b) {
    return b != 0 ? a / b : 0;
}

void PrintRatios(const std::vector<SizeFigures>& all) {
    std::printf("\nKestrove / ffplay\n");
    for (const SizeFigures& f : all) {
        std::printf(
            "  %dx%d -> %d: CPU per frame %.3f, latency p95 %.2f, peak memory %.2f, "
            "PSNR %+.1f dB (bilinear %+.1f dB)\n",
            f.size.sourceWidth, f.size.sourceHeight, f.size.mirrorWidth,
            Ratio(MsPerFrame(f.kestrove), MsPerFrame(f.peer)),
            Ratio(f.kestrove.latency.p95, f.peer.latency.p95),
            Ratio(static_cast<double>(f.kestrove.peakKiB), static_cast<double>(f.peer.peakKiB)),
            f.kestrove.psnr - f.peer.psnr, f.kestrove.psnr - f.bilinearPsnr);
        if (f.size.stillScenario) {
            std::printf("  still screen: CPU %.3f\n",
                        Ratio(f.kestrove.still.percentOfCore(), f.peer.still.percentOfCore()));
        }
    }
}

} // namespace
} // namespace kestrove::bench

int main(int argc, char** argv) {
    using namespace kestrove::bench;
    int seconds = 5;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            seconds = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: kestrove_bench [--seconds N]\n");
            return 2;
        }
    }
    if (seconds <= 0) {
        std::fprintf(stderr, "kestrove_bench: --seconds wants a positive number\n");
        return 2;
    }
    const milliseconds measure(seconds * 1000);
    const std::vector<Size> sizes{{1920, 1080, 640, true}, {3840, 2160, 1280, false}};
    std::vector<SizeFigures> all;
    try {
        for (const Size& size : sizes) {
            std::fprintf(stderr, "measuring %dx%d ...\n", size.sourceWidth, size.sourceHeight);
            all.push_back(SizeRun(size, measure).run());
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "kestrove_bench: %s\n", error.what());
        return 1;
    }
    for (const SizeFigures& f : all) {
        PrintMoving(f);
    }
    for (const SizeFigures& f : all) {
        if (f.size.stillScenario) {
            PrintStill(f);
        }
    }
    PrintRatios(all);
    return 0;
}
