#include "platform/compositor/frame_transform.h"

#include <algorithm>

namespace kestrove::compositor {

std::optional<FrameTransform> TransformFromProtocol(std::uint32_t value) {
    if (value > static_cast<std::uint32_t>(FrameTransform::Flipped270)) {
        return std::nullopt;
    }
    return static_cast<FrameTransform>(value);
}

FrameTransform WithRowsInverted(FrameTransform transform) {
    // Flipping the stored rows composes with each transform into another.
    switch (transform) {
    case FrameTransform::Normal:
        return FrameTransform::Flipped180;
    case FrameTransform::Turned90:
        return FrameTransform::Flipped90;
    case FrameTransform::Turned180:
        return FrameTransform::Flipped;
    case FrameTransform::Turned270:
        return FrameTransform::Flipped270;
    case FrameTransform::Flipped:
        return FrameTransform::Turned180;
    case FrameTransform::Flipped90:
        return FrameTransform::Turned90;
    case FrameTransform::Flipped180:
        return FrameTransform::Normal;
    case FrameTransform::Flipped270:
        return FrameTransform::Turned270;
    }
    return transform;
}

UprightToStored MapUprightToStored(FrameTransform transform, int storedWidth, int storedHeight) {
    // The upright picture's size.
    const int w = SwapsAxes(transform) ? storedHeight : storedWidth;
    const int h = SwapsAxes(transform) ? storedWidth : storedHeight;
    switch (transform) {
    case FrameTransform::Normal:
        return {1, 0, 0, 0, 1, 0};
    case FrameTransform::Turned90: // (y, w - x)
        return {0, 1, 0, -1, 0, w};
    case FrameTransform::Turned180: // (w - x, h - y)
        return {-1, 0, w, 0, -1, h};
    case FrameTransform::Turned270: // (h - y, x)
        return {0, -1, h, 1, 0, 0};
    case FrameTransform::Flipped: // (w - x, y)
        return {-1, 0, w, 0, 1, 0};
    case FrameTransform::Flipped90: // (y, x)
        return {0, 1, 0, 1, 0, 0};
    case FrameTransform::Flipped180: // (x, h - y)
        return {1, 0, 0, 0, -1, h};
    case FrameTransform::Flipped270: // (h - y, w - x)
        return {0, -1, h, -1, 0, w};
    }
    return {1, 0, 0, 0, 1, 0};
}

Rect StoredToUpright(FrameTransform transform, const Rect& stored, int storedWidth,
                     int storedHeight) {
    // The inverse of a signed permutation is its transpose: solve for the
    // upright corners of the stored rectangle's two corners.
    const UprightToStored m = MapUprightToStored(transform, storedWidth, storedHeight);
    auto upright = [&](long long sx, long long sy) {
        const long long u = sx - m.dx;
        const long long v = sy - m.dy;
        return std::pair{m.xx * u + m.yx * v, m.xy * u + m.yy * v};
    };
    const auto [x1, y1] = upright(stored.left, stored.top);
    const auto [x2, y2] = upright(stored.right, stored.bottom);
    return Rect{
        static_cast<std::int32_t>(std::min(x1, x2)), static_cast<std::int32_t>(std::min(y1, y2)),
        static_cast<std::int32_t>(std::max(x1, x2)), static_cast<std::int32_t>(std::max(y1, y2))};
}

} // namespace kestrove::compositor
