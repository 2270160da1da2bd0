#include "platform/compositor/place_matching.h"

#include <cmath>

namespace kestrove::compositor {
namespace {

bool ScaledMatch(const Rect& monitor, const Rect& output) {
    const double outputWidth = output.right - output.left;
    const double outputHeight = output.bottom - output.top;
    if (outputWidth <= 0 || outputHeight <= 0)
        return false;
    const double scale = (monitor.right - monitor.left) / outputWidth;
    // At scale 1 the layouts are the same one: only an exact match counts.
    if (scale <= 0 || std::abs(scale - 1) < 0.01)
        return false;
    auto near = [scale](double logical, std::int32_t pixels) {
        return std::abs(logical * scale - pixels) <= 1.0;
    };
    return near(output.left, monitor.left) && near(output.top, monitor.top) &&
           near(output.right, monitor.right) && near(output.bottom, monitor.bottom);
}

} // namespace

std::vector<std::optional<std::size_t>> MatchByPlace(const std::vector<Rect>& monitors,
                                                     const std::vector<Rect>& outputs) {
    std::vector<std::optional<std::size_t>> matches(monitors.size());
    std::vector<bool> taken(outputs.size(), false);
    auto pass = [&](auto&& fits) {
        for (std::size_t m = 0; m < monitors.size(); ++m) {
            for (std::size_t o = 0; o < outputs.size() && !matches[m]; ++o) {
                if (!taken[o] && fits(monitors[m], outputs[o])) {
                    matches[m] = o;
                    taken[o] = true;
                }
            }
        }
    };
    pass([](const Rect& monitor, const Rect& output) { return monitor == output; });
    pass(ScaledMatch);
    return matches;
}

} // namespace kestrove::compositor
