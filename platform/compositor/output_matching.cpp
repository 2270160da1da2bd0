#include "platform/compositor/output_matching.h"

namespace kestrove::compositor {

std::vector<std::optional<std::size_t>> MatchOutputs(const std::vector<Output>& monitors,
                                                     const std::vector<Output>& outputs) {
    std::vector<std::optional<std::size_t>> matches(monitors.size());
    std::vector<bool> taken(outputs.size(), false);
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
    claim([](const Output& monitor, const Output& output) { return monitor.rect == output.rect; });
    return matches;
}

} // namespace kestrove::compositor
