// A mirror on the monitor it shows shows itself, its copies of itself nested
// towards one point. Where nothing tells its own repaint from others' (a
// compositor's frames), each repaint comes back with the next frame as a
// change where it drew, and drawing that shows the copies one level deeper.
// The filter's reach keeps such echoes from ever shrinking to nothing, and
// at a zoom near 1 they hardly shrink at all: without an end a still screen
// would be repainted for ever.
//
// So each repaint is followed: a change that comes back from where the last
// paint drew is its echo, one round further than what caused that paint. An
// echo is drawn while its round is within the rounds the nested copies need
// to shrink under a pixel, at most kMostEchoRounds (under half a second at the
// mirror's refresh), and for kLongestEcho at most where frames come slower
// (a large output on a software renderer); later ones are left out, and the
// copies deeper than that keep the picture they had. A change anywhere else, or where the mirror
// did not just draw, is another's and starts at round 0: it is always drawn.
#pragma once

#include "platform/types.h"

#include <chrono>
#include <vector>

namespace kestrove::x11 {

struct MirrorPlacement {
    Rect source;       // the monitor shown, root coordinates
    Rect window;       // the mirror's window, root coordinates
    double zoom = 0.0; // window pixels per monitor pixel
};

// The most rounds an echo is drawn for, and the longest time after the
// change that began it.
constexpr int kMostEchoRounds = 8;
constexpr std::chrono::milliseconds kLongestEcho{600};

// The rounds a mirror so placed draws its echoes for: until a copy of its
// whole window is under a pixel, at most kMostEchoRounds.
int EchoRounds(const MirrorPlacement& placement);

class SelfEcho {
public:
    using Clock = std::chrono::steady_clock;
    // A change's place in a chain of echoes.
    struct Round {
        int round = 0;           // 0: not the mirror's own
        Clock::time_point since; // when the change that began the chain came
    };
    // An area a paint drew, and the round of what made it drawn.
    struct Drawn {
        Rect area;
        Round round;
    };
    // A change of the picture (root coordinates) as it came at `now` in the
    // frame after the last paint: its round, since then for one that is not
    // the mirror's own.
    Round roundOf(const Rect& change, Clock::time_point now) const;
    // Whether an echo of `round` is past its last round or too old to draw.
    static bool Spent(const Round& round, int lastRound, Clock::time_point now);
    // What the last paint drew; a frame that comes with no paint before it
    // starts over.
    void painted(std::vector<Drawn> drawn) { m_drawn = std::move(drawn); }
    void forget() { m_drawn.clear(); }

private:
    std::vector<Drawn> m_drawn;
};

// Where the mirror draws `change` (root coordinates), on the root, grown by
// what the smoothing filter and the rounding of each step reach past it.
Rect ShownAt(const Rect& change, const MirrorPlacement& placement);

} // namespace kestrove::x11
