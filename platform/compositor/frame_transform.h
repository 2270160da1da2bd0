// How a frame's stored pixels relate to the upright picture of its output.
// A compositor hands over an output as its buffer holds it: turned and
// flipped as the output's transform says (a monitor standing on its side),
// and with screencopy possibly stored bottom row first. The mirror shows the
// output upright, as XWayland lays out its monitor.
#pragma once

#include "platform/types.h"

#include <cstdint>
#include <optional>

namespace kestrove::compositor {

// The values of wl_output.transform: what the compositor did to the upright
// picture to store it. Quarter turns are counter-clockwise; the flipped ones
// mirror around the vertical axis first, then turn.
enum class FrameTransform : std::uint8_t {
    Normal = 0,
    Turned90,
    Turned180,
    Turned270,
    Flipped,
    Flipped90,
    Flipped180,
    Flipped270,
};

// The transform a compositor sent, or nothing when the value is not one.
std::optional<FrameTransform> TransformFromProtocol(std::uint32_t value);

// The same frame with its rows stored bottom first (screencopy's y-invert).
FrameTransform WithRowsInverted(FrameTransform transform);

// Whether width and height trade places between stored and upright.
constexpr bool SwapsAxes(FrameTransform transform) {
    return (static_cast<int>(transform) & 1) != 0;
}

// stored = (xx * x + xy * y + dx, yx * x + yy * y + dy) for a point (x, y)
// of the upright picture; the coefficients are 0, 1 or -1, and pixel centres
// go to pixel centres.
struct UprightToStored {
    int xx, xy, dx;
    int yx, yy, dy;
};

// The map for a frame stored in storedWidth x storedHeight pixels.
UprightToStored MapUprightToStored(FrameTransform transform, int storedWidth, int storedHeight);

// A rectangle of the stored frame, as it lies in the upright picture.
Rect StoredToUpright(FrameTransform transform, const Rect& stored, int storedWidth,
                     int storedHeight);

} // namespace kestrove::compositor
