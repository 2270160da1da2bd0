// Which compositor output shows which X monitor when names cannot tell (the
// ScreenCast portal names none of its streams): XWayland describes the same
// monitors through RandR as the compositor lays them out.
#pragma once

#include "platform/compositor/frame_capture.h"
#include "platform/types.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace kestrove::compositor {

// For each monitor, the index of its output, or nullopt when none matches.
// Each output goes to one monitor at most. In this order:
//
// 1. Outputs with a place, by place and size. Output rectangles are logical
//    (a monitor at scale 2 with 3840x2160 pixels is a 1920x1080 output). An
//    X server that also reports logical sizes (mutter's XWayland) matches
//    exactly; exact matches are taken first. One that reports pixels
//    instead (KDE's XWayland when the desktop scales X clients itself)
//    multiplies the whole layout by one scale, so a monitor also matches an
//    output whose rectangle, scaled by one factor other than 1 in both
//    directions and from the origin, is the monitor's within a pixel.
// 2. Outputs without a place (KDE's portal sends sizes only), by size where
//    the size is unique: the only such output of its size, and the only
//    monitor left of that size.
// 3. The rest of those in the portal's stream order, against the monitors
//    left in their order on the desktop: left to right, then top to bottom.
std::vector<std::optional<std::size_t>> MatchByPlace(const std::vector<Rect>& monitors,
                                                     const std::vector<Output>& outputs);

} // namespace kestrove::compositor
