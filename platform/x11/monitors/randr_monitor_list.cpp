#include "platform/x11/monitors/randr_monitor_list.h"

#include <cstdint>
#include <limits>

namespace kestrove::x11 {

std::vector<MonitorRecord> ToMonitorRecords(std::span<const XRRMonitorInfo> monitors,
                                            const std::function<std::string(Atom)>& nameOf) {
    constexpr std::int64_t kLargest = std::numeric_limits<std::int32_t>::max();
    std::vector<MonitorRecord> records;
    for (const XRRMonitorInfo& m : monitors) {
        const std::int64_t right = std::int64_t{m.x} + m.width;
        const std::int64_t bottom = std::int64_t{m.y} + m.height;
        if (m.width <= 0 || m.height <= 0 || right > kLargest || bottom > kLargest) {
            continue;
        }
        const XID firstOutput = m.noutput > 0 && m.outputs != nullptr ? m.outputs[0] : XID{None};
        records.push_back(MonitorRecord{
            m.name, nameOf(m.name),
            Rect{m.x, m.y, static_cast<std::int32_t>(right), static_cast<std::int32_t>(bottom)},
            m.primary != 0, firstOutput});
    }
    return records;
}

} // namespace kestrove::x11
