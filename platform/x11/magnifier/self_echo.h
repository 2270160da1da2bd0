// A mirror on the monitor it shows shows itself, its copies of itself nested
// towards one point. Where nothing tells its own repaint from others' (a
// compositor's frames), each repaint comes back with the next frame as a
// change where it drew, and drawing that shows the copies one level deeper.
// The filter's reach keeps such echoes from ever shrinking to nothing, and
// at a zoom near 1 they hardly shrink at all: without an end a still screen
// would be repainted for ever.
//
// So each repaint is followed: a change that comes back from where the last
// paint drew is its echo, one round further than what caused that paint (the
// damage comes back cut and joined anew, so what counts is the box of the
// drawn areas the change meets, and the earliest round among them). An
// echo is drawn while its round is within the rounds the nested copies need
// to shrink under a pixel, at most kMostEchoRounds (under half a second at the
// mirror's refresh), and for kLongestEcho at most where frames come slower
// (a large output on a software renderer); later ones are left out, and the
// copies deeper than that keep the picture they had. A change anywhere else,
// or where the mirror drew nothing in the last two frames, is another's and
// starts at round 0: it is always drawn.
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
    // What the last paint drew.
    void painted(std::vector<Drawn> drawn) {
        m_before = m_framesSincePaint < kEchoFrames ? std::move(m_drawn) : std::vector<Drawn>{};
        m_drawn = std::move(drawn);
        m_framesSincePaint = 0;
    }
    // A frame's changes were taken. A paint's echo may come over two frames
    // (a long paint reaches the screen in parts, or the compositor reports
    // it again): what the paints of the last two frames drew is followed.
    void frameTaken() {
        if (++m_framesSincePaint >= kEchoFrames) {
            m_drawn.clear();
            m_before.clear();
        }
    }

private:
    static constexpr int kEchoFrames = 2;
    std::vector<Drawn> m_drawn;  // by the last paint
    std::vector<Drawn> m_before; // by the paint before, a frame earlier
    int m_framesSincePaint = 0;
};

// How far from where X places the mirror's window the compositor may draw
// it: sway 1.10 draws a floating XWayland window a pixel lower than XWayland
// has it, and its echoes come back that far out of the window.
constexpr int kPlacementSlack = 2;

// Where the compositor may show the mirror's `window` (root coordinates).
Rect AsDrawn(const Rect& window);

// Where the mirror draws `change` (root coordinates), on the root, grown by
// what the smoothing filter and the rounding of each step reach past it.
Rect ShownAt(const Rect& change, const MirrorPlacement& placement);

} // namespace kestrove::x11
