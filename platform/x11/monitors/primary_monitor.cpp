#include "platform/x11/monitors/primary_monitor.h"

#include <algorithm>

namespace kestrove::x11 {

std::size_t PrimaryMonitorIndex(const std::vector<MonitorPlacement>& monitors) {
    auto found = std::find_if(monitors.begin(), monitors.end(),
                              [](const MonitorPlacement& m) { return m.namedPrimary; });
    if (found == monitors.end()) {
        found = std::find_if(monitors.begin(), monitors.end(), [](const MonitorPlacement& m) {
            return m.rect.left == 0 && m.rect.top == 0;
        });
    }
    return found == monitors.end() ? 0 : static_cast<std::size_t>(found - monitors.begin());
}

} // namespace kestrove::x11
