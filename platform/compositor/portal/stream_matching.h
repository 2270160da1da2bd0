// Which screen-cast stream shows which X monitor. The portal describes each
// stream by its place in the compositor's layout; XWayland describes the same
// monitors through RandR, and the two agree on position and size, so that is
// what matches them: connector names are not part of the portal's answer.
#pragma once

#include "platform/types.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace kestrove::compositor {

// For each monitor, the index of its stream, or nullopt when none matches.
// Each stream goes to one monitor at most.
//
// Stream rectangles are logical (a monitor at scale 2 with 3840x2160 pixels
// is a 1920x1080 stream rectangle). An X server that also reports logical
// sizes (mutter's XWayland) matches exactly. One that reports pixels instead
// (KDE's XWayland when the desktop scales X clients itself) multiplies the
// whole layout by that one scale, so a monitor also matches a stream whose
// rectangle, scaled by the same factor in both directions and at the origin,
// is the monitor's. Exact matches are taken first.
std::vector<std::optional<std::size_t>> matchStreamsToMonitors(const std::vector<Rect>& monitors,
                                                               const std::vector<Rect>& streams);

} // namespace kestrove::compositor
