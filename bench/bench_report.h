// The benchmark's figures and how they are printed: one table per source
// size with every scene and mirror side by side, then the goals.
#pragma once

#include "bench/mirror_size.h"
#include "bench/mirror_watch.h"
#include "bench/source_animation.h"

#include <array>
#include <cstddef>
#include <limits>
#include <vector>

namespace kestrove::bench {

// What one mirror costs over one measurement.
struct Cost {
    double serverMsPerSecond = 0; // above the cost of the source alone
    double clientMsPerSecond = 0;
    double wakeupsPerSecond = 0; // the mirror's: each costs a context switch
    double redrawsPerSecond = 0; // drawing on the mirror's window, counted with Damage
    // Not a number when no frame was shown.
    double msPerFrame(double frames) const {
        return frames > 0 ? (serverMsPerSecond + clientMsPerSecond) / frames
                          : std::numeric_limits<double>::quiet_NaN();
    }
    double percentOfCore() const { return (serverMsPerSecond + clientMsPerSecond) / 10.0; }
};

struct SceneFigures {
    Cost cost;
    Latency latency;       // its frames per second are the frames shown
    Latency loadedLatency; // with one other core busy; no samples when not measured
    // A frame is a new picture in the mirror, as its pixels show.
    double msPerFrame() const { return cost.msPerFrame(latency.framesPerSecond); }
};

struct MirrorFigures {
    std::array<SceneFigures, kScenes.size()> scenes;
    Cost still;
    double psnr = 0; // against the exact box-filter reduction of the still pattern
    long peakKiB = 0;
    const SceneFigures& operator[](Scene scene) const {
        return scenes[static_cast<std::size_t>(scene)];
    }
    SceneFigures& operator[](Scene scene) { return scenes[static_cast<std::size_t>(scene)]; }
};

struct SizeFigures {
    Size size;
    MirrorFigures kestrove;
    MirrorFigures peer;
    double bilinearPsnr = 0; // Render's plain bilinear filter, for comparison
    Cost idle;               // the X server with the still pattern and no mirror
    std::array<Cost, kScenes.size()> sourceAlone; // each scene without a mirror
    double loadAverage = 0; // the machine's, over the minute before this size's run
};

void PrintReport(const std::vector<SizeFigures>& all);

} // namespace kestrove::bench
