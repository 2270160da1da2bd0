// Where a monitor lies in the frames of the stream paired with it. A stream
// is mostly the monitor itself; one of the whole workspace (KDE's "Full
// Workspace": every monitor in one picture) holds the monitor in a part of
// it; and a stream of another shape is shown whole and undistorted, never
// stretched or with its edges smeared over the rest.
#pragma once

#include "platform/compositor/frame_capture.h"
#include "platform/types.h"

#include <vector>

namespace kestrove::compositor {

// The rectangle around all of `monitors`.
Rect DesktopOf(const std::vector<Rect>& monitors);

// Whether `stream` shows several monitors at once: its size is the whole
// desktop's up to one scale (its place too, where it has one).
bool IsWorkspaceStream(const Output& stream, const std::vector<Rect>& monitors);

// The monitor's rectangle in a `width` x `height` frame, in the frame's
// pixels: the whole frame where it has the monitor's shape; the monitor's
// part where it has the desktop's; otherwise the frame, centred in a
// rectangle of the monitor's shape that reaches past two of its edges.
Rect StreamArea(int width, int height, const Rect& monitor, const Rect& desktop);

} // namespace kestrove::compositor
