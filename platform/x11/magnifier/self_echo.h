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
// mirror's refresh); later ones are left out, and the copies deeper than that
// keep the picture they had. A change anywhere else, or where the mirror did
// not just draw, is another's and starts at round 0: it is always drawn.
#pragma once

#include "platform/types.h"

#include <vector>

namespace kestrove::x11 {

struct MirrorPlacement {
    Rect source;       // the monitor shown, root coordinates
    Rect window;       // the mirror's window, root coordinates
    double zoom = 0.0; // window pixels per monitor pixel
};

// The most rounds an echo is drawn for.
constexpr int kMostEchoRounds = 8;

// The rounds a mirror so placed draws its echoes for: until a copy of its
// whole window is under a pixel, at most kMostEchoRounds.
int EchoRounds(const MirrorPlacement& placement);

class SelfEcho {
public:
    // A change of the picture (root coordinates) as it came in the frame
    // after the last paint: its round, 0 for one that is not the mirror's
    // own. Past EchoRounds() it is not worth drawing.
    int roundOf(const Rect& change) const;
    // What the last paint drew, each area with the round of what made it
    // drawn; a frame that comes with no paint before it starts over.
    void painted(std::vector<std::pair<Rect, int>> drawn) { m_drawn = std::move(drawn); }
    void forget() { m_drawn.clear(); }

private:
    std::vector<std::pair<Rect, int>> m_drawn;
};

// Where the mirror draws `change` (root coordinates), on the root, grown by
// what the smoothing filter and the rounding of each step reach past it.
Rect ShownAt(const Rect& change, const MirrorPlacement& placement);

} // namespace kestrove::x11
