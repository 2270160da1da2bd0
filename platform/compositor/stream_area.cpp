#include "platform/compositor/stream_area.h"

#include <algorithm>
#include <cmath>

namespace kestrove::compositor {
namespace {

double Width(const Rect& r) {
    return r.right - r.left;
}

double Height(const Rect& r) {
    return r.bottom - r.top;
}

// Whether a `width` x `height` picture is `shape` scaled, within a pixel or
// a hundredth (XWayland rounds a fractionally scaled monitor's width).
bool SameShape(double width, double height, const Rect& shape) {
    if (width <= 0 || height <= 0 || Width(shape) <= 0 || Height(shape) <= 0) {
        return false;
    }
    return std::abs(Height(shape) * width / Width(shape) - height) <= std::max(1.0, height / 100);
}

} // namespace

Rect DesktopOf(const std::vector<Rect>& monitors) {
    if (monitors.empty()) {
        return Rect{};
    }
    Rect desktop = monitors.front();
    for (const Rect& r : monitors) {
        desktop = Rect{std::min(desktop.left, r.left), std::min(desktop.top, r.top),
                       std::max(desktop.right, r.right), std::max(desktop.bottom, r.bottom)};
    }
    return desktop;
}

bool IsWorkspaceStream(const Output& stream, const std::vector<Rect>& monitors) {
    if (monitors.size() < 2) {
        return false;
    }
    const Rect desktop = DesktopOf(monitors);
    const Rect& r = stream.rect;
    if (!SameShape(Width(r), Height(r), desktop)) {
        return false;
    }
    // A monitor of the desktop's shape (one above the others) is itself.
    for (const Rect& monitor : monitors) {
        if (SameShape(Width(r), Height(r), monitor)) {
            return false;
        }
    }
    const double scale = Width(desktop) / Width(r);
    return !stream.placed || (std::abs(r.left * scale - desktop.left) <= 1.0 &&
                              std::abs(r.top * scale - desktop.top) <= 1.0);
}

Rect StreamArea(int width, int height, const Rect& monitor, const Rect& desktop) {
    const Rect whole{0, 0, width, height};
    if (SameShape(width, height, monitor)) {
        return whole;
    }
    if (SameShape(width, height, desktop)) {
        const double scale = width / Width(desktop);
        return Rect{static_cast<int>(std::lround((monitor.left - desktop.left) * scale)),
                    static_cast<int>(std::lround((monitor.top - desktop.top) * scale)),
                    static_cast<int>(std::lround((monitor.right - desktop.left) * scale)),
                    static_cast<int>(std::lround((monitor.bottom - desktop.top) * scale))};
    }
    if (width <= 0 || height <= 0 || Width(monitor) <= 0 || Height(monitor) <= 0) {
        return whole;
    }
    // Wider than the monitor: the frame's width, taller rows above and below.
    if (width * Height(monitor) > height * Width(monitor)) {
        const int tall = static_cast<int>(std::lround(width * Height(monitor) / Width(monitor)));
        const int top = -(tall - height) / 2;
        return Rect{0, top, width, top + tall};
    }
    const int wide = static_cast<int>(std::lround(height * Width(monitor) / Height(monitor)));
    const int left = -(wide - width) / 2;
    return Rect{left, 0, left + wide, height};
}

} // namespace kestrove::compositor
