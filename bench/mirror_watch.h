// Watching a mirror on the screen from outside: how often its window is
// drawn, and how long a frame of the source animation takes to appear in it.
#pragma once

#include "bench/source_animation.h"

#include <X11/Xlib.h>

#include <chrono>
#include <functional>
#include <vector>

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

// A reading of the marker: the frame number (modulo 64) it showed, and when.
struct Sighting {
    Clock::time_point when;
    int value = 0;
};

// The marker's frame number, from the green channel of its pixels at (x, y),
// blocks of `blockWidth` x `blockHeight` from the marker's corner.
int MarkerValue(int blockWidth, int blockHeight, const std::function<unsigned(int, int)>& green);

// Where the monitor itself is watched beside the mirror: the compositor's
// share of the latency, and the mirror's behind it.
struct MonitorLatency {
    Latency afterSource;  // from the source's drawing to the monitor showing it
    Latency mirrorBehind; // from the monitor showing a frame to the mirror showing it
};

// For every frame the animation draws during `duration`, the time until the
// mirror at (x, y) on the screen, reducing the source by `factor`, shows that
// frame or a later one; read from the marker's pixels every 2 ms.
// Frames drawn less than 2 ms apart cannot be told apart; at 60 Hz there are none.
// (x, y) is on the screen, or in `readFrom` where given: a rootless X server
// (XWayland) keeps each window's pixels but shows none in its root.
// With `monitor`, the sightings of the monitor itself over the same time,
// `monitorLatency` gets the times between source, monitor and mirror.
Latency MeasureLatency(Display* display, int x, int y, int factor, SourceAnimation& source,
                       std::chrono::milliseconds duration, Window readFrom = None,
                       const std::function<std::vector<Sighting>()>& monitor = {},
                       MonitorLatency* monitorLatency = nullptr);

} // namespace kestrove::bench
