#include "platform/x11/magnifier/self_echo.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace kestrove::x11 {

namespace {

// How far a repaint reaches past the scaled change: the smoothing filter's
// footprint and the rounding of each step.
constexpr int kReach = 4;

} // namespace

int EchoRounds(const MirrorPlacement& placement) {
    const double side = std::max(placement.window.right - placement.window.left,
                                 placement.window.bottom - placement.window.top);
    if (placement.zoom <= 0.0 || placement.zoom >= 1.0 || side <= 1) {
        return kMostEchoRounds;
    }
    const double rounds = std::ceil(std::log(1.0 / side) / std::log(placement.zoom));
    return std::clamp(static_cast<int>(rounds), 1, kMostEchoRounds);
}

int SelfEcho::roundOf(const Rect& change) const {
    int round = INT_MAX;
    for (const auto& [drawn, drawnRound] : m_drawn) {
        if (Contains(drawn, change)) {
            round = std::min(round, drawnRound + 1);
        }
    }
    return round == INT_MAX ? 0 : round;
}

Rect ShownAt(const Rect& r, const MirrorPlacement& p) {
    const auto x = [&](int v) { return p.window.left + (v - p.source.left) * p.zoom; };
    const auto y = [&](int v) { return p.window.top + (v - p.source.top) * p.zoom; };
    return Intersection(Rect{static_cast<int>(std::floor(x(r.left))) - kReach,
                             static_cast<int>(std::floor(y(r.top))) - kReach,
                             static_cast<int>(std::ceil(x(r.right))) + kReach,
                             static_cast<int>(std::ceil(y(r.bottom))) + kReach},
                        p.window);
}

} // namespace kestrove::x11
