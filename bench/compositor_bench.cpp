// What a still screen costs under a compositor that repaints the whole
// screen for any change (openbox with picom --no-use-damage, on Xorg with
// two real outputs): the X server's and the compositor's CPU time with no
// mirror, and with Kestrove showing the monitor it is on (the hard case:
// each of its paints is part of what it shows), in milliseconds per second,
// with the mirror's paints per second. With Kestrove the figures should be
// those without it, within noise.
#include "bench/benchmark_driver.h"
#include "bench/process_usage.h"
#include "tests/harness/desktop_server.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>

#include <cstdio>
#include <thread>

namespace kestrove::bench {
namespace {

using e2e::Desktop;
using e2e::DesktopServer;

struct Cost {
    double serverMsPerSecond = 0;
    double compositorMsPerSecond = 0;
    double paintsPerSecond = 0; // of the mirror's window
};

// Measures for `measure` once the desktop has been still for a while.
Cost Measure(DesktopServer& desktop, Window mirror, std::chrono::milliseconds measure) {
    Display* d = XOpenDisplay(desktop.display().c_str());
    int damageEvent = 0;
    int error = 0;
    XDamageQueryExtension(d, &damageEvent, &error);
    const Damage damage = mirror != 0 ? XDamageCreate(d, mirror, XDamageReportNonEmpty) : None;
    std::this_thread::sleep_for(std::chrono::seconds(3)); // starting up, refits, echoes
    XSync(d, False);
    while (XPending(d) > 0) {
        XEvent event;
        XNextEvent(d, &event);
    }
    if (damage != None) {
        XDamageSubtract(d, damage, None, None);
    }
    const pid_t server = desktop.server().pid();
    const pid_t compositor = desktop.compositor()->pid();
    const auto serverBefore = CpuTime(server).value_or(std::chrono::nanoseconds{});
    const auto compositorBefore = CpuTime(compositor).value_or(std::chrono::nanoseconds{});
    const auto start = std::chrono::steady_clock::now();
    int paints = 0;
    while (std::chrono::steady_clock::now() - start < measure) {
        while (XPending(d) > 0) {
            XEvent event;
            XNextEvent(d, &event);
            if (event.type == damageEvent + XDamageNotify) {
                ++paints;
                XDamageSubtract(d, damage, None, None);
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    Cost cost;
    cost.serverMsPerSecond = Ms(CpuTime(server).value_or(serverBefore) - serverBefore) / seconds;
    cost.compositorMsPerSecond =
        Ms(CpuTime(compositor).value_or(compositorBefore) - compositorBefore) / seconds;
    cost.paintsPerSecond = paints / seconds;
    if (damage != None) {
        XDamageDestroy(d, damage);
    }
    XCloseDisplay(d);
    return cost;
}

const Desktop& FullRepaintDesktop() {
    for (const Desktop& desktop : e2e::RealDesktops()) {
        if (desktop.name == "openbox_picom_full_repaint") {
            return desktop;
        }
    }
    throw std::logic_error("no full-repaint desktop");
}

void Print(const char* what, const Cost& cost) {
    std::printf("  %-34s X server %7.2f ms/s   picom %7.2f ms/s   mirror paints %5.1f /s\n", what,
                cost.serverMsPerSecond, cost.compositorMsPerSecond, cost.paintsPerSecond);
}

} // namespace
} // namespace kestrove::bench

int main(int argc, char** argv) {
    using namespace kestrove::bench;
    return RunBenchmark(argc, argv,
                        {.program = "kestrove_compositor_bench",
                         .defaultSeconds = 10,
                         .runs = {{"a still screen under picom --no-use-damage",
                                   [](const BenchmarkOptions& options) {
                                       DesktopServer desktop(FullRepaintDesktop());
                                       const Cost without = Measure(desktop, 0, options.measure);
                                       Window mirror = 0;
                                       auto kestrove = desktop.startKestrove(mirror);
                                       // The pointer away from the mirror, as on a desktop left
                                       // alone.
                                       desktop.x().movePointer(2200, 700);
                                       const Cost with = Measure(desktop, mirror, options.measure);
                                       std::printf(
                                           "A still screen under openbox + picom --backend xrender "
                                           "--no-use-damage (Xorg dummy, 1280x800 + 1024x768):\n");
                                       Print("without Kestrove", without);
                                       Print("with Kestrove (mirroring itself)", with);
                                   }}}});
}
