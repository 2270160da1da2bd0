// Which compositor output each X monitor shows. In this order:
//
// 1. The name. XWayland names its RandR monitors after the compositor's
//    outputs; the wlroots protocols name each output, and KWin names each
//    screen-cast stream after its output (stream_name.h). A first choice,
//    never the only rule.
// 2. Place and size, then sizes alone (MatchByPlace, place_matching.h):
//    exactly, then the whole layout scaled by one factor, then sizes up to
//    one common factor where streams have no place, then, where exactly as
//    many monitors as such streams are left, their order.
// 3. The place with the size as XWayland rounds a fractionally scaled one.
// 4. A stream of the whole workspace (stream_area.h), found by its size
//    being the desktop's, for each monitor still without one: the mirror
//    shows the monitor's part of it.
#pragma once

#include "platform/compositor/frame_capture.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace kestrove::compositor {

// For each of `monitors`, the index of its output in `outputs`, or nothing.
// No output is given to two monitors, but for a workspace stream; a name
// match wins over a place match.
std::vector<std::optional<std::size_t>> MatchOutputs(const std::vector<Output>& monitors,
                                                     const std::vector<Output>& outputs);

} // namespace kestrove::compositor
