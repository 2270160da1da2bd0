// A monitor as the X11 adapter reported it to the program: RandR's name for
// it and its rectangle on the root window. The name keeps it the same monitor
// when its place or size changes, or when it goes away and comes back.
#pragma once

#include "platform/types.h"

#include <string>
#include <vector>

namespace kestrove::x11 {

struct MonitorIdentity {
    std::string name; // empty: a rectangle the adapter never reported
    Rect rect;
    // The other monitors reported beside it: outputs are matched to all of
    // them at once, so that what two monitors share (a size) never decides.
    std::vector<MonitorIdentity> others;
    friend bool operator==(const MonitorIdentity&, const MonitorIdentity&) = default;
};

} // namespace kestrove::x11
