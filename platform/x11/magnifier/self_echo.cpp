#include "platform/x11/magnifier/self_echo.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace kestrove::x11 {

namespace {

// How far a repaint reaches past the scaled change: the smoothing filter's
// footprint and the rounding of each step.
constexpr int kReach = 4;

// The round of `change` as the echo of one paint's `drawn` areas; nothing
// when it is not theirs.
std::optional<SelfEcho::Round> EchoOf(const std::vector<SelfEcho::Drawn>& drawn,
                                      const Rect& change) {
    // A paint comes back as the damage of what it drew, cut and joined
    // anew: a region's bands, a compositor's one box around a frame's damage.
    // A change within the box of the drawn areas it meets is their echo, one
    // round after the earliest of them.
    Rect met{};
    const SelfEcho::Round* earliest = nullptr;
    for (const SelfEcho::Drawn& d : drawn) {
        if (IsEmpty(Intersection(d.area, change))) {
            continue;
        }
        met = earliest == nullptr ? d.area : Union(met, d.area);
        if (earliest == nullptr || d.round.round < earliest->round) {
            earliest = &d.round;
        }
    }
    if (earliest == nullptr || !Contains(met, change)) {
        return std::nullopt;
    }
    return SelfEcho::Round{earliest->round + 1, earliest->since};
}

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
    // The last paint first: its areas lie nested in those of the paint
    // before, whose rounds would hold the chain back.
    if (const auto last = EchoOf(m_drawn, change)) {
        return *last;
    }
    return EchoOf(m_before, change).value_or(Round{0, now});
}

bool SelfEcho::Spent(const Round& round, int lastRound, Clock::time_point now) {
    return round.round > lastRound || (round.round > 0 && now - round.since > kLongestEcho);
}

Rect AsDrawn(const Rect& window) {
    return Rect{window.left - kPlacementSlack, window.top - kPlacementSlack,
                window.right + kPlacementSlack, window.bottom + kPlacementSlack};
}

Rect ShownAt(const Rect& r, const MirrorPlacement& p) {
    const auto x = [&](int v) { return p.window.left + (v - p.source.left) * p.zoom; };
    const auto y = [&](int v) { return p.window.top + (v - p.source.top) * p.zoom; };
    return Intersection(Rect{static_cast<int>(std::floor(x(r.left))) - kReach,
                             static_cast<int>(std::floor(y(r.top))) - kReach,
                             static_cast<int>(std::ceil(x(r.right))) + kReach,
                             static_cast<int>(std::ceil(y(r.bottom))) + kReach},
                        AsDrawn(p.window));
}

} // namespace kestrove::x11
