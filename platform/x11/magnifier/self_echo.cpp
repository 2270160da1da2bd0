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
    // Also a zoom that is not a number: nothing is shown.
    if (!(placement.zoom > 0.0 && placement.zoom < 1.0) || side <= 1) {
        return kMostEchoRounds;
    }
    const double rounds = std::ceil(std::log(1.0 / side) / std::log(placement.zoom));
    return std::clamp(static_cast<int>(rounds), 1, kMostEchoRounds);
}

SelfEcho::Round SelfEcho::roundOf(const Rect& change, Clock::time_point now) const {
    Round echo{INT_MAX, now};
    for (const Drawn& drawn : m_drawn) {
        if (Contains(drawn.area, change) && drawn.round.round + 1 < echo.round) {
            echo = Round{drawn.round.round + 1, drawn.round.since};
        }
    }
    return echo.round == INT_MAX ? Round{0, now} : echo;
}

bool SelfEcho::Spent(const Round& round, int lastRound, Clock::time_point now) {
    return round.round > lastRound || (round.round > 0 && now - round.since > kLongestEcho);
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
