// A monitor as the X11 adapter reported it to the program: RandR's name for
// it and its rectangle on the root window. The name keeps it the same monitor
// when its place or size changes, or when it goes away and comes back.
#pragma once

#include "platform/types.h"

#include <string>

namespace kestrove::x11 {

struct MonitorIdentity {
    std::string name; // empty: a rectangle the adapter never reported
    Rect rect;
    friend bool operator==(const MonitorIdentity&, const MonitorIdentity&) = default;
};

} // namespace kestrove::x11
