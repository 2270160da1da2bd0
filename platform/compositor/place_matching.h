// Which compositor output shows which X monitor when names cannot tell (the
// ScreenCast portal names none of its streams): XWayland describes the same
// monitors through RandR as the compositor lays them out, though not always
// in the same units.
#pragma once

#include "platform/compositor/frame_capture.h"
#include "platform/types.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace kestrove::compositor {

// For each monitor, the index of its output, or nullopt when none matches.
// Each output goes to one monitor at most. Output rectangles are logical (a
// monitor at scale 2 with 3840x2160 pixels is a 1920x1080 output). In this
// order:
//
// 1. Outputs with a place, by place and size exactly: an X server that
//    reports logical sizes (mutter's XWayland by default) matches so.
// 2. Outputs with a place, the whole layout scaled by one factor F (other
//    than 1): each monitor's place is its output's times F, within a pixel,
//    and its size is its output's times one scale s no larger than F, the
//    same in both directions. KDE's XWayland, when the desktop scales X
//    clients itself, reports pixels throughout (s = F). Mutter's XWayland
//    with native scaling multiplies places by the largest monitor scale but
//    gives each monitor its own pixel size (scale 2 + 1: logical
//    (0,0) 1280x720 and (1280,0) 1920x1080 are 2560x1440+0+0 and
//    1920x1080+2560+0). The factor that pairs the most monitors wins.
// 3. Outputs without a place (KDE's portal sends sizes only), by size up to
//    one common factor k: a monitor whose size is the output's times k,
//    where that size is unique among the outputs and the monitors left.
//    KDE at 1.25 reports pixels (1600x900, 1280x720) for logical
//    1280x720 and 1024x576, so k = 1 alone would pair the wrong two; the
//    factor that pairs the most wins, 1 on a tie.
// 4. Only where exactly as many monitors as outputs without a place are
//    left: those outputs in the portal's order against the monitors in
//    their order on the desktop (left to right, then top to bottom). With
//    more monitors than streams the order cannot tell which were shared.
std::vector<std::optional<std::size_t>> MatchByPlace(const std::vector<Rect>& monitors,
                                                     const std::vector<Output>& outputs);

} // namespace kestrove::compositor
