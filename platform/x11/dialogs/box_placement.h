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

// The rectangle of the monitor under the point (x, y), the nearest one when
// none is; the whole of `screen` when there are no monitors.
Rect MonitorAt(std::span<const MonitorInfoEx> monitors, int x, int y, const Rect& screen);

// Where a context menu of `width` x `height` opened at the point (x, y)
// goes, as Windows places one: its corner at the point, flipped to the
// point's other side where it would leave the monitor, and kept inside it.
Rect PopupMenuRect(int x, int y, int width, int height, const Rect& monitor);

// A `width` x `height` box centred in `area`.
Rect CentredIn(int width, int height, const Rect& area);

// `box` moved wholly inside `area`; a box larger than the area keeps its
// top-left corner (title and first line) inside it.
Rect KeptInside(const Rect& box, const Rect& area);

} // namespace kestrove::x11
