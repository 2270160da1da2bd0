// kestrove_monitor_fixture: virtual monitors with known content on an X server.
//
// Usage: kestrove_monitor_fixture [--display NAME] WxH+X+Y[*] [WxH+X+Y[*] ...]
//
// Defines one RandR monitor per argument with XRRSetMonitor ('*' marks the
// primary; offsets may be negative, e.g. 800x600-800+0), named "DP-1", "DP-2",
// ... in argument order. The primary (or the first monitor when none is
// marked) lists the screen's only output, which replaces the server's
// automatic monitor named after that output; the others list none. The server
// reports the primary first.
//
// Each monitor's area is covered by an override-redirect window kept below
// other windows and painted with 4 x 4 solid blocks whose colours belong to
// that argument alone (PatternColour in monitor_layout.h), so the area of the
// first monitor on the screen shows pattern 0, and so on.
//
// Prints "ready" on stdout once the server lists the monitors and the windows
// are painted, then holds its connection until it is killed: the monitors
// vanish with it. Errors go to stderr with exit status 2 (usage) or 1.
#include "tests/harness/monitor_layout.h"
#include "tests/harness/randr_monitor.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using kestrove::e2e::kPatternBlocks;
using kestrove::e2e::MonitorGeometry;

int g_protocolErrors = 0;

int CountError(Display* display, XErrorEvent* error) {
    char text[256] = {};
    XGetErrorText(display, error->error_code, text, sizeof text);
    std::fprintf(stderr, "kestrove_monitor_fixture: X error: %s (request %d.%d)\n", text,
                 error->request_code, error->minor_code);
    ++g_protocolErrors;
    return 0;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: kestrove_monitor_fixture [--display NAME] WxH+X+Y[*] [WxH+X+Y[*] ...]\n");
    return 2;
}

unsigned long AllocColour(Display* display, kestrove::e2e::Rgb rgb) {
    XColor colour{};
    colour.red = static_cast<unsigned short>(rgb.r * 257);
    colour.green = static_cast<unsigned short>(rgb.g * 257);
    colour.blue = static_cast<unsigned short>(rgb.b * 257);
    colour.flags = DoRed | DoGreen | DoBlue;
    XAllocColor(display, DefaultColormap(display, DefaultScreen(display)), &colour);
    return colour.pixel;
}

// A window over the monitor whose background is the pattern, so the server
// repaints it on every exposure without this process doing anything.
void PaintMonitor(Display* display, const MonitorGeometry& geometry, int index) {
    const int screen = DefaultScreen(display);
    const Window root = RootWindow(display, screen);
    const auto width = static_cast<unsigned>(geometry.width);
    const auto height = static_cast<unsigned>(geometry.height);

    const Pixmap pattern = XCreatePixmap(display, root, width, height,
                                         static_cast<unsigned>(DefaultDepth(display, screen)));
    const GC gc = XCreateGC(display, pattern, 0, nullptr);
    for (int row = 0; row < kPatternBlocks; ++row) {
        for (int column = 0; column < kPatternBlocks; ++column) {
            const int left = column * geometry.width / kPatternBlocks;
            const int top = row * geometry.height / kPatternBlocks;
            const int right = (column + 1) * geometry.width / kPatternBlocks;
            const int bottom = (row + 1) * geometry.height / kPatternBlocks;
            XSetForeground(display, gc,
                           AllocColour(display, kestrove::e2e::PatternColour(index, column, row)));
            XFillRectangle(display, pattern, gc, left, top, static_cast<unsigned>(right - left),
                           static_cast<unsigned>(bottom - top));
        }
    }
    XFreeGC(display, gc);

    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixmap = pattern;
    const Window window =
        XCreateWindow(display, root, geometry.x, geometry.y, width, height, 0, CopyFromParent,
                      InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixmap, &attributes);
    XFreePixmap(display, pattern);
    const std::string name = "kestrove_monitor_fixture " + std::to_string(index + 1);
    XStoreName(display, window, name.c_str());
    XMapWindow(display, window);
    XLowerWindow(display, window);
}

bool DefineMonitors(Display* display, const std::vector<MonitorGeometry>& geometries) {
    const Window root = DefaultRootWindow(display);
    XRRScreenResources* resources = XRRGetScreenResources(display, root);
    if (resources == nullptr || resources->noutput < 1) {
        std::fprintf(stderr, "kestrove_monitor_fixture: the screen has no RandR output\n");
        if (resources != nullptr) {
            XRRFreeScreenResources(resources);
        }
        return false;
    }
    const RROutput output = resources->outputs[0];
    XRRFreeScreenResources(resources);

    std::size_t owner = 0; // the monitor that takes over the screen's output
    for (std::size_t i = 0; i < geometries.size(); ++i) {
        if (geometries[i].primary) {
            owner = i;
            break;
        }
    }
    for (std::size_t i = 0; i < geometries.size(); ++i) {
        SetRandrMonitor(display, "DP-" + std::to_string(i + 1), geometries[i],
                        i == owner ? output : None);
    }
    XSync(display, False);

    int listed = 0;
    XRRMonitorInfo* monitors = XRRGetMonitors(display, root, True, &listed);
    XRRFreeMonitors(monitors);
    if (static_cast<std::size_t>(listed) != geometries.size()) {
        std::fprintf(stderr, "kestrove_monitor_fixture: the server lists %d monitors, not %zu\n",
                     listed, geometries.size());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const char* displayName = nullptr;
    std::vector<MonitorGeometry> geometries;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--display") == 0 && i + 1 < argc) {
            displayName = argv[++i];
            continue;
        }
        const auto geometry = kestrove::e2e::ParseMonitorGeometry(argv[i]);
        if (!geometry) {
            std::fprintf(stderr, "kestrove_monitor_fixture: not a monitor: '%s'\n", argv[i]);
            return Usage();
        }
        geometries.push_back(*geometry);
    }
    if (geometries.empty()) {
        return Usage();
    }

    Display* display = XOpenDisplay(displayName);
    if (display == nullptr) {
        std::fprintf(stderr, "kestrove_monitor_fixture: cannot open X display '%s'\n",
                     XDisplayName(displayName));
        return 1;
    }
    XSetErrorHandler(CountError);

    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    if (!XRRQueryExtension(display, &eventBase, &errorBase) ||
        !XRRQueryVersion(display, &major, &minor) || major * 100 + minor < 105) {
        std::fprintf(stderr, "kestrove_monitor_fixture: the server lacks RandR 1.5\n");
        return 1;
    }
    if (!DefineMonitors(display, geometries)) {
        return 1;
    }
    for (std::size_t i = 0; i < geometries.size(); ++i) {
        PaintMonitor(display, geometries[i], static_cast<int>(i));
    }
    XSync(display, False);
    if (g_protocolErrors > 0) {
        return 1;
    }

    std::printf("ready\n");
    std::fflush(stdout);

    // Hold the connection; the server ends this process if it goes away.
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
    }
}
