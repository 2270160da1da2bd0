// Which compositor output shows which X monitor when names cannot tell (the
// ScreenCast portal names none of its streams): XWayland describes the same
// monitors through RandR as the compositor lays them out, so position and
// size match them.
#pragma once

#include "platform/types.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace kestrove::compositor {

// For each monitor, the index of its output, or nullopt when none matches.
// Each output goes to one monitor at most.
//
// Output rectangles are logical (a monitor at scale 2 with 3840x2160 pixels
// is a 1920x1080 output rectangle). An X server that also reports logical
// sizes (mutter's XWayland) matches exactly. One that reports pixels instead
// (KDE's XWayland when the desktop scales X clients itself) multiplies the
// whole layout by that one scale, so a monitor also matches an output whose
// rectangle, scaled by one factor other than 1 in both directions and from
// the origin, is the monitor's within a pixel (fractional scales round).
// Exact matches are taken first.
std::vector<std::optional<std::size_t>> MatchByPlace(const std::vector<Rect>& monitors,
                                                     const std::vector<Rect>& outputs);

} // namespace kestrove::compositor
