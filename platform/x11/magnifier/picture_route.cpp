#include "platform/x11/magnifier/picture_route.h"

#include "platform/compositor/portal/portal_frame_capture.h"
#include "platform/compositor/wayland/wayland_frame_capture.h"
#include "platform/x11/magnifier/blank_frame_source.h"
#include "platform/x11/magnifier/compositor_frame_source.h"
#include "platform/x11/monitors/x11_monitors.h"

#include <cstdio>
#include <vector>

namespace kestrove::x11 {

namespace {

// XWayland 21.1 and later announce themselves; all name their RandR
// monitors XWAYLAND0, XWAYLAND1, ...
bool IsXWayland(Display* display) {
    int opcode = 0;
    int event = 0;
    int error = 0;
    if (XQueryExtension(display, "XWAYLAND", &opcode, &event, &error) != False) {
        return true;
    }
    const std::vector<MonitorRecord> monitors = ReadRandrMonitors(display);
    return !monitors.empty() && monitors.front().nameText.starts_with("XWAYLAND");
}

} // namespace

PictureRoute ChoosePictureRoute(Display* display, Window parent) {
    PictureRoute route;
    if (!IsXWayland(display)) {
        return route;
    }
    auto capture = compositor::wayland::OpenWaylandCapture(route.unavailable);
    if (!capture) {
        // GNOME, KDE and most others: the desktop's screen-cast portal,
        // which asks the user which monitors to share, in a dialog placed
        // over the mirror's window.
        char parentWindow[32];
        std::snprintf(parentWindow, sizeof parentWindow, "x11:%lx", parent);
        std::string portalProblem;
        capture = compositor::portal::OpenPortalCapture(parentWindow, portalProblem);
        if (capture) {
            route.unavailable.clear();
        } else {
            route.unavailable += "; " + portalProblem;
        }
    }
    if (capture) {
        route.source = CompositorFrameSource::Open(display, std::move(capture), route.unavailable);
    }
    if (!route.source) {
        route.source = std::make_unique<BlankFrameSource>(display);
    }
    return route;
}

} // namespace kestrove::x11
