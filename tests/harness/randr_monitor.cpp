#include "tests/harness/randr_monitor.h"

#include <X11/extensions/Xrandr.h>

namespace kestrove::e2e {

void SetRandrMonitor(Display* display, const std::string& name, const MonitorGeometry& geometry,
                     XID output) {
    constexpr double kMillimetresPerPixel = 25.4 / 96.0;
    XRRMonitorInfo* monitor = XRRAllocateMonitor(display, output != None ? 1 : 0);
    monitor->name = XInternAtom(display, name.c_str(), False);
    monitor->primary = geometry.primary ? True : False;
    monitor->automatic = False;
    monitor->x = geometry.x;
    monitor->y = geometry.y;
    monitor->width = geometry.width;
    monitor->height = geometry.height;
    monitor->mwidth = static_cast<int>(geometry.width * kMillimetresPerPixel);
    monitor->mheight = static_cast<int>(geometry.height * kMillimetresPerPixel);
    if (output != None) {
        monitor->outputs[0] = output;
    }
    XRRSetMonitor(display, DefaultRootWindow(display), monitor);
    XFree(monitor);
}

} // namespace kestrove::e2e
