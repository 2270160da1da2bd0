// Which monitor counts as the primary one. Windows always puts its primary
// monitor at (0, 0); X servers that name no primary (XWayland, Xvfb, some
// set-ups) would otherwise leave the program without one.
#pragma once

#include "platform/types.h"

#include <cstddef>
#include <vector>

namespace kestrove::x11 {

struct MonitorPlacement {
    Rect rect;
    bool namedPrimary = false; // the server calls it the primary
};

// Index of the primary among `monitors` (in the server's order): the one the
// server names; else the first whose rectangle starts at (0, 0); else the
// first. Returns 0 for an empty list.
std::size_t PrimaryMonitorIndex(const std::vector<MonitorPlacement>& monitors);

} // namespace kestrove::x11
