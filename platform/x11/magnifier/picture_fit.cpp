#include "platform/x11/magnifier/picture_fit.h"

#include <algorithm>
#include <cmath>

namespace kestrove::x11 {

FittedPicture FitPicture(const Rect& area, int sourceWidth, int sourceHeight, double zoom) {
    const int areaWidth = area.right - area.left;
    const int areaHeight = area.bottom - area.top;
    if (sourceWidth <= 0 || sourceHeight <= 0 || !std::isfinite(zoom) || !(zoom > 0.0) ||
        areaWidth <= 0 || areaHeight <= 0) {
        return {area, zoom};
    }
    // A picture of less than a pixel shows nothing to fit.
    if (sourceWidth * zoom < 1.0 || sourceHeight * zoom < 1.0) {
        return {area, zoom};
    }
    // A picture up to a pixel larger than the area is the area's own shape,
    // rounded: it keeps its zoom and is cut at the edge as before.
    if (sourceWidth * zoom >= areaWidth + 1.0 || sourceHeight * zoom >= areaHeight + 1.0) {
        zoom = std::min(static_cast<double>(areaWidth) / sourceWidth,
                        static_cast<double>(areaHeight) / sourceHeight);
    }
    const int width =
        std::clamp(static_cast<int>(std::ceil(sourceWidth * zoom - 1e-9)), 1, areaWidth);
    const int height =
        std::clamp(static_cast<int>(std::ceil(sourceHeight * zoom - 1e-9)), 1, areaHeight);
    const int left = area.left + (areaWidth - width) / 2;
    const int top = area.top + (areaHeight - height) / 2;
    return {Rect{left, top, left + width, top + height}, zoom};
}

} // namespace kestrove::x11
