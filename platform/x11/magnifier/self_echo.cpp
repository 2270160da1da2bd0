#include "platform/x11/magnifier/self_echo.h"

#include "platform/change_list.h"

#include <algorithm>
#include <cmath>

namespace kestrove::x11 {

namespace {

// How far a repaint reaches past the scaled change: the smoothing filter's
// footprint and the rounding of each step, with room to spare so that the
// shrinking echoes fall inside it after a few refreshes.
constexpr int kReach = 4;
// The largest echo that counts as settled: where the copies end, the few
// pixels the filter keeps stirring. Larger changes are shown: with a zoom
// near 1 the copies hardly shrink, and a change there may be another's.
constexpr int kLargestSettled = 4 * kReach;

// Where the mirror shows `r`, grown by what a repaint reaches past it.
Rect ShownAt(const Rect& r, const MirrorPlacement& p) {
    const auto x = [&](int v) { return p.window.left + (v - p.source.left) * p.zoom; };
    const auto y = [&](int v) { return p.window.top + (v - p.source.top) * p.zoom; };
    return Rect{static_cast<int>(std::floor(x(r.left))) - kReach,
                static_cast<int>(std::floor(y(r.top))) - kReach,
                static_cast<int>(std::ceil(x(r.right))) + kReach,
                static_cast<int>(std::ceil(y(r.bottom))) + kReach};
}

} // namespace

bool IsSettledSelfEcho(const Rect& change, const MirrorPlacement& placement,
                       const std::vector<Rect>& lastDrawn) {
    if (IsEmpty(change) || change.right - change.left > kLargestSettled ||
        change.bottom - change.top > kLargestSettled || !Contains(placement.window, change) ||
        placement.zoom <= 0.0 || placement.zoom >= 1.0) {
        return false;
    }
    return std::any_of(lastDrawn.begin(), lastDrawn.end(),
                       [&](const Rect& drawn) { return Contains(drawn, change); }) &&
           Contains(ShownAt(change, placement), change);
}

} // namespace kestrove::x11
