// Where a dialog box goes: on its owner's monitor, wholly inside that
// monitor's work area, as Windows places its message boxes.
#pragma once

#include "platform/types.h"

#include <optional>
#include <span>

namespace kestrove::x11 {

// The work area of the monitor that holds the largest part of `owner`, the
// nearest monitor when none holds any of it, the primary's without an
// owner. The whole of `screen` when there are no monitors.
Rect OwnersWorkArea(std::span<const MonitorInfoEx> monitors, const std::optional<Rect>& owner,
                    const Rect& screen);

// A `width` x `height` box centred in `area`.
Rect CentredIn(int width, int height, const Rect& area);

// `box` moved wholly inside `area`; a box larger than the area keeps its
// top-left corner (title and first line) inside it.
Rect KeptInside(const Rect& box, const Rect& area);

} // namespace kestrove::x11
