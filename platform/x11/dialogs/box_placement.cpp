#include "platform/x11/dialogs/box_placement.h"

#include "platform/types.h"

#include <algorithm>
#include <cstdint>

namespace kestrove::x11 {

namespace {

std::int64_t AreaOf(const Rect& r) {
    return IsEmpty(r) ? 0 : std::int64_t{r.right - r.left} * (r.bottom - r.top);
}

// The distance along one axis from [low, high) to [otherLow, otherHigh).
std::int64_t Gap(std::int32_t low, std::int32_t high, std::int32_t otherLow,
                 std::int32_t otherHigh) {
    return std::max<std::int64_t>(
        {0, std::int64_t{otherLow} - high, std::int64_t{low} - otherHigh});
}

std::int64_t SquaredDistance(const Rect& a, const Rect& b) {
    const std::int64_t dx = Gap(a.left, a.right, b.left, b.right);
    const std::int64_t dy = Gap(a.top, a.bottom, b.top, b.bottom);
    return dx * dx + dy * dy;
}

// The monitor that holds the largest part of `owner`, the nearest when none
// holds any of it, the primary without an owner; `monitors` is not empty.
const MonitorInfoEx* OwnersMonitor(std::span<const MonitorInfoEx> monitors,
                                   const std::optional<Rect>& owner) {
    const MonitorInfoEx* chosen = nullptr;
    if (owner) {
        std::int64_t bestOverlap = 0;
        std::int64_t bestDistance = 0;
        for (const MonitorInfoEx& m : monitors) {
            const std::int64_t overlap = AreaOf(Intersection(m.rcMonitor, *owner));
            const std::int64_t distance = SquaredDistance(m.rcMonitor, *owner);
            if (chosen == nullptr || overlap > bestOverlap ||
                (overlap == 0 && bestOverlap == 0 && distance < bestDistance)) {
                chosen = &m;
                bestOverlap = overlap;
                bestDistance = distance;
            }
        }
    } else {
        const auto primary = std::find_if(monitors.begin(), monitors.end(), [](const auto& m) {
            return (m.dwFlags & kMonitorInfoPrimary) != 0;
        });
        chosen = primary != monitors.end() ? &*primary : &monitors.front();
    }
    return chosen;
}

} // namespace

Rect OwnersWorkArea(std::span<const MonitorInfoEx> monitors, const std::optional<Rect>& owner,
                    const Rect& screen) {
    return monitors.empty() ? screen : OwnersMonitor(monitors, owner)->rcWork;
}

Rect MonitorAt(std::span<const MonitorInfoEx> monitors, int x, int y, const Rect& screen) {
    return monitors.empty() ? screen : OwnersMonitor(monitors, Rect{x, y, x + 1, y + 1})->rcMonitor;
}

Rect PopupMenuRect(int x, int y, int width, int height, const Rect& monitor) {
    // Beside the point, towards the monitor's inside: to the left of it or
    // above it where it would not fit to the right or below.
    const int left = x + width > monitor.right ? x - width : x;
    const int top = y + height > monitor.bottom ? y - height : y;
    return KeptInside(Rect{left, top, left + width, top + height}, monitor);
}

Rect CentredIn(int width, int height, const Rect& area) {
    const std::int32_t left = area.left + (area.right - area.left - width) / 2;
    const std::int32_t top = area.top + (area.bottom - area.top - height) / 2;
    return {left, top, left + width, top + height};
}

Rect KeptInside(const Rect& box, const Rect& area) {
    const std::int32_t width = box.right - box.left;
    const std::int32_t height = box.bottom - box.top;
    const std::int32_t left = std::max(area.left, std::min(box.left, area.right - width));
    const std::int32_t top = std::max(area.top, std::min(box.top, area.bottom - height));
    return {left, top, left + width, top + height};
}

} // namespace kestrove::x11
