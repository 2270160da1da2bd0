#include "platform/compositor/place_matching.h"

#include <algorithm>
#include <cmath>

namespace kestrove::compositor {
namespace {

bool ScaledMatch(const Rect& monitor, const Rect& output) {
    const double outputWidth = output.right - output.left;
    const double outputHeight = output.bottom - output.top;
    if (outputWidth <= 0 || outputHeight <= 0) {
        return false;
    }
    const double scale = (monitor.right - monitor.left) / outputWidth;
    // At scale 1 the layouts are the same one: only an exact match counts.
    if (scale <= 0 || std::abs(scale - 1) < 0.01) {
        return false;
    }
    auto near = [scale](double logical, std::int32_t pixels) {
        return std::abs(logical * scale - pixels) <= 1.0;
    };
    return near(output.left, monitor.left) && near(output.top, monitor.top) &&
           near(output.right, monitor.right) && near(output.bottom, monitor.bottom);
}

bool SameSize(const Rect& a, const Rect& b) {
    return a.right - a.left == b.right - b.left && a.bottom - a.top == b.bottom - b.top;
}

} // namespace

std::vector<std::optional<std::size_t>> MatchByPlace(const std::vector<Rect>& monitors,
                                                     const std::vector<Output>& outputs) {
    std::vector<std::optional<std::size_t>> matches(monitors.size());
    std::vector<bool> taken(outputs.size(), false);
    auto pair = [&](std::size_t m, std::size_t o) {
        matches[m] = o;
        taken[o] = true;
    };
    auto pass = [&](auto&& fits) {
        for (std::size_t m = 0; m < monitors.size(); ++m) {
            for (std::size_t o = 0; o < outputs.size() && !matches[m]; ++o) {
                if (!taken[o] && outputs[o].placed && fits(monitors[m], outputs[o].rect)) {
                    pair(m, o);
                }
            }
        }
    };
    pass([](const Rect& monitor, const Rect& output) { return monitor == output; });
    pass(ScaledMatch);

    std::vector<std::size_t> unplaced;
    for (std::size_t o = 0; o < outputs.size(); ++o) {
        if (!outputs[o].placed) {
            unplaced.push_back(o);
        }
    }
    // Counted before any is paired, so that a size shared by two outputs
    // or two monitors never decides.
    auto count = [](const auto& items, const Rect& size, auto&& rectOf) {
        return std::count_if(items.begin(), items.end(),
                             [&](const auto& item) { return SameSize(rectOf(item), size); });
    };
    std::vector<std::size_t> monitorsLeft;
    for (std::size_t m = 0; m < monitors.size(); ++m) {
        if (!matches[m]) {
            monitorsLeft.push_back(m);
        }
    }
    const auto outputRect = [&](std::size_t o) { return outputs[o].rect; };
    const auto monitorRect = [&](std::size_t m) { return monitors[m]; };
    std::vector<std::pair<std::size_t, std::size_t>> bySize;
    for (const std::size_t o : unplaced) {
        if (count(unplaced, outputs[o].rect, outputRect) != 1 ||
            count(monitorsLeft, outputs[o].rect, monitorRect) != 1) {
            continue;
        }
        for (const std::size_t m : monitorsLeft) {
            if (SameSize(monitors[m], outputs[o].rect)) {
                bySize.emplace_back(m, o);
            }
        }
    }
    for (const auto& [m, o] : bySize) {
        pair(m, o);
    }

    std::erase_if(monitorsLeft, [&](std::size_t m) { return matches[m].has_value(); });
    std::stable_sort(monitorsLeft.begin(), monitorsLeft.end(), [&](std::size_t a, std::size_t b) {
        return std::pair(monitors[a].left, monitors[a].top) <
               std::pair(monitors[b].left, monitors[b].top);
    });
    auto monitor = monitorsLeft.begin();
    for (const std::size_t o : unplaced) {
        if (!taken[o] && monitor != monitorsLeft.end()) {
            pair(*monitor++, o);
        }
    }
    return matches;
}

} // namespace kestrove::compositor
