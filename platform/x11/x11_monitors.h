// Monitors and display devices of an X server, as the monitor enumeration
// and the display-device enumeration report them.
#pragma once

#include "platform/types.h"

#include <X11/Xlib.h>

#include <string>
#include <vector>

namespace kestrove::x11 {

class X11Monitors {
public:
    explicit X11Monitors(Display* display);

    // EnumDisplayMonitors: one callback per RandR monitor in the server's
    // order (the whole screen without RandR 1.5), with the monitor's rectangle.
    void enumerate(MonitorEnumProcType proc, std::intptr_t data);
    // GetMonitorInfoW for a handle passed by enumerate(); false when the
    // monitor is gone.
    bool info(MonitorHandle monitor, MonitorInfoEx& info);
    // EnumDisplayDevicesW(NULL, index): device index = RandR monitor index.
    bool device(std::uint32_t index, DisplayDevice& device);

private:
    Display* m_display;
};

} // namespace kestrove::x11
