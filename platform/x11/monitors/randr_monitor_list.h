// RandR's monitor list as the program's monitor records. The list comes from
// the server, so nothing in it is taken on trust: an entry that cannot be a
// monitor on the screen is left out.
#pragma once

#include "platform/types.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <functional>
#include <span>
#include <string>
#include <vector>

namespace kestrove::x11 {

struct MonitorRecord {
    Atom name; // None for the whole screen without RandR monitors
    std::string nameText;
    Rect rect;
    bool primary;
    XID firstOutput; // RandR output, None when unknown
};

// One record per entry, in the server's order, leaving out entries without
// area or whose rectangle leaves the coordinate range. `nameOf` gives an
// atom's text (empty when it names nothing).
std::vector<MonitorRecord> ToMonitorRecords(std::span<const XRRMonitorInfo> monitors,
                                            const std::function<std::string(Atom)>& nameOf);

} // namespace kestrove::x11
