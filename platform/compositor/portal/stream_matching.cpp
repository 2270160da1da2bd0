#include "platform/compositor/portal/stream_matching.h"

#include <cmath>

namespace kestrove::compositor {
namespace {

bool scaledMatch(const Rect& monitor, const Rect& stream) {
    const double streamWidth = stream.right - stream.left;
    const double streamHeight = stream.bottom - stream.top;
    if (streamWidth <= 0 || streamHeight <= 0)
        return false;
    const double scale = (monitor.right - monitor.left) / streamWidth;
    // Within a pixel: fractional scales round the layout.
    auto near = [scale](double logical, std::int32_t pixels) {
        return std::abs(logical * scale - pixels) <= 1.0;
    };
    return scale > 0 && near(stream.left, monitor.left) && near(stream.top, monitor.top) &&
           near(stream.right, monitor.right) && near(stream.bottom, monitor.bottom);
}

} // namespace

std::vector<std::optional<std::size_t>> matchStreamsToMonitors(const std::vector<Rect>& monitors,
                                                               const std::vector<Rect>& streams) {
    std::vector<std::optional<std::size_t>> matches(monitors.size());
    std::vector<bool> taken(streams.size(), false);
    auto pass = [&](auto&& fits) {
        for (std::size_t m = 0; m < monitors.size(); ++m) {
            for (std::size_t s = 0; s < streams.size() && !matches[m]; ++s) {
                if (!taken[s] && fits(monitors[m], streams[s])) {
                    matches[m] = s;
                    taken[s] = true;
                }
            }
        }
    };
    pass([](const Rect& monitor, const Rect& stream) { return monitor == stream; });
    pass(scaledMatch);
    return matches;
}

} // namespace kestrove::compositor
