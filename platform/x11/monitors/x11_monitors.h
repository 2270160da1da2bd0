// Monitors and display devices of an X server, as the monitor enumeration
// and the display-device enumeration report them.
#pragma once

#include "platform/seam/displays.h"
#include "platform/x11/monitors/monitor_identity.h"
#include "platform/x11/monitors/randr_monitor_list.h"

#include <X11/Xlib.h>

#include <string>
#include <vector>

namespace kestrove::x11 {

class X11Monitors final : public Displays {
public:
    explicit X11Monitors(Display* display);

    // EnumDisplayMonitors: one callback per RandR monitor in the server's
    // order (the whole screen without RandR 1.5), with the monitor's rectangle.
    void enumDisplayMonitors(MonitorEnumProcType proc, std::intptr_t data) override;
    // GetMonitorInfoW for a handle passed by enumerate(); false when the
    // monitor is gone.
    bool getMonitorInfo(MonitorHandle monitor, MonitorInfoEx& info) override;
    // EnumDisplayDevicesW(NULL, index): device index = RandR monitor index.
    bool enumDisplayDevices(std::uint32_t index, DisplayDevice& device) override;

    // The monitor behind `monitor`, a handle this enumeration gave, shown
    // at `source`, with the others of the last enumeration where each was
    // last reported; a nameless identity at `source` for a handle it never
    // gave (0: no monitor).
    MonitorIdentity identityOf(MonitorHandle monitor, const Rect& source) const;

private:
    using Monitor = MonitorRecord;
    // The server's monitors now, in its order.
    std::vector<Monitor> query() const;
    // The RandR provider that drives `output`; empty when there is none.
    std::string providerName(XID output) const;

    // A monitor the program was given a handle for: its name, and where it
    // was last reported (by enumeration or GetMonitorInfoW).
    struct Known {
        Atom name;
        MonitorIdentity identity;
    };

    // The handle of this monitor, the same for its name in every enumeration;
    // notes where it was reported.
    MonitorHandle report(const Monitor& monitor);

    Display* m_display;
    bool m_hasMonitors; // RandR 1.5 is there
    // Handle h names the monitor m_known[h - 1]; names are never removed.
    std::vector<Known> m_known;
    // The handles of the last enumeration.
    std::vector<MonitorHandle> m_enumerated;
};

// The server's active RandR monitors now, in its order, read through
// ToMonitorRecords; empty when it lists none or lacks RandR 1.5.
std::vector<MonitorRecord> ReadRandrMonitors(Display* display);

} // namespace kestrove::x11
