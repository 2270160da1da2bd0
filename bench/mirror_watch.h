// Watching a mirror on the screen from outside: how often its window is
// drawn, and how long a frame of the source animation takes to appear in it.
#pragma once

#include "bench/source_animation.h"

#include <X11/Xlib.h>

#include <chrono>

namespace kestrove::bench {

// Frames drawn on `window` during `duration`: drawing requests less than
// 4 ms apart count as one frame.
int CountFrames(Display* display, Window window, std::chrono::milliseconds duration);

struct Latency {
    double p50 = 0; // ms
    double p95 = 0;
    int samples = 0;
    double framesPerSecond = 0; // how often the picture showed a new frame
};

// For every frame the animation draws during `duration`, the time until the
// mirror at (x, y) on the screen, showing the source at `zoom`, shows that
// frame or a later one; read from the marker strip's pixels every 2 ms.
// Frames drawn less than 2 ms apart cannot be told apart; at 60 Hz there are none.
// (x, y) is on the screen, or in `readFrom` where given: a rootless X server
// (XWayland) keeps each window's pixels but shows none in its root.
Latency MeasureLatency(Display* display, int x, int y, double zoom, SourceAnimation& source,
                       std::chrono::milliseconds duration, Window readFrom = None);

} // namespace kestrove::bench
