// The sizes the X11 and sway benchmarks measure at: a source monitor and the
// mirror's width, one run of the benchmark for each.
#pragma once

#include "bench/benchmark_driver.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace kestrove::bench {

struct Size {
    int sourceWidth;
    int sourceHeight;
    int mirrorWidth;
    bool latencyUnderLoad; // also measure the latency with one other core kept busy (X11)
    int mirrorHeight() const {
        return static_cast<int>(static_cast<double>(sourceHeight) / sourceWidth * mirrorWidth);
    }
    int factor() const { return sourceWidth / mirrorWidth; }
};

inline constexpr std::array<Size, 2> kSizes{{{1920, 1080, 640, false}, {3840, 2160, 1280, true}}};

// One run per size in kSizes, named by the source's size.
std::vector<BenchmarkRun>
RunsForEachSize(const std::function<void(const Size&, const BenchmarkOptions&)>& measure);

} // namespace kestrove::bench
