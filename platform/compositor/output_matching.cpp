#include "platform/compositor/output_matching.h"

#include "platform/compositor/place_matching.h"
#include "platform/compositor/stream_area.h"

namespace kestrove::compositor {

std::vector<std::optional<std::size_t>> MatchOutputs(const std::vector<Output>& monitors,
                                                     const std::vector<Output>& outputs) {
    std::vector<std::optional<std::size_t>> matches(monitors.size());
    std::vector<bool> taken(outputs.size(), false);
    // A workspace stream is no one monitor's: it is kept for the last step.
    std::vector<Rect> allMonitors;
    for (const Output& monitor : monitors) {
        allMonitors.push_back(monitor.rect);
    }
    std::optional<std::size_t> workspace;
    for (std::size_t o = 0; o < outputs.size(); ++o) {
        if (IsWorkspaceStream(outputs[o], allMonitors)) {
            taken[o] = true;
            workspace = workspace.value_or(o);
        }
    }
    auto claim = [&](auto&& same) {
        for (std::size_t m = 0; m < monitors.size(); ++m) {
            for (std::size_t o = 0; o < outputs.size() && !matches[m]; ++o) {
                if (!taken[o] && same(monitors[m], outputs[o])) {
                    matches[m] = o;
                    taken[o] = true;
                }
            }
        }
    };
    claim([](const Output& monitor, const Output& output) {
        return !monitor.name.empty() && monitor.name == output.name;
    });
    // The rest by place and size.
    std::vector<std::size_t> monitorsLeft, outputsLeft;
    std::vector<Rect> monitorRects;
    std::vector<Output> outputsByPlace;
    for (std::size_t m = 0; m < monitors.size(); ++m) {
        if (!matches[m]) {
            monitorsLeft.push_back(m);
            monitorRects.push_back(monitors[m].rect);
        }
    }
    for (std::size_t o = 0; o < outputs.size(); ++o) {
        if (!taken[o]) {
            outputsLeft.push_back(o);
            outputsByPlace.push_back(outputs[o]);
        }
    }
    const auto byPlace = MatchByPlace(monitorRects, outputsByPlace);
    for (std::size_t i = 0; i < byPlace.size(); ++i) {
        if (byPlace[i]) {
            matches[monitorsLeft[i]] = outputsLeft[*byPlace[i]];
            taken[outputsLeft[*byPlace[i]]] = true;
        }
    }
    // XWayland gives a fractionally scaled output (853.3 logical pixels
    // wide) a video mode whose width is rounded down to a multiple of 8; the
    // height stays.
    claim([](const Output& monitor, const Output& output) {
        const std::int64_t narrower = std::int64_t{output.rect.right} - monitor.rect.right;
        return output.placed && monitor.rect.left == output.rect.left &&
               monitor.rect.top == output.rect.top && monitor.rect.bottom == output.rect.bottom &&
               narrower >= 0 && narrower < 8 && monitor.rect.right > monitor.rect.left &&
               monitor.rect.bottom > monitor.rect.top;
    });
    for (auto& match : matches) {
        match = match ? match : workspace;
    }
    return matches;
}

} // namespace kestrove::compositor
