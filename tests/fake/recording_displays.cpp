#include "tests/fake/recording_displays.h"

#include "tests/fake/recording_platform.h"

#include <algorithm>
#include <string>

namespace kestrove::testing {

void RecordingDisplays::enumDisplayMonitors(MonitorEnumProcType proc, std::intptr_t data) {
    m_fake.record("enumDisplayMonitors");
    for (std::size_t i = 0; i < m_fake.monitors.size(); ++i) {
        Rect rect = m_fake.monitors[i].rect;
        if (proc(i + 1, 0, &rect, data) == 0) {
            break;
        }
    }
}

bool RecordingDisplays::getMonitorInfo(MonitorHandle monitor, MonitorInfoEx& info) {
    if (monitor == 0 || monitor > m_fake.monitors.size() ||
        m_fake.monitors[monitor - 1].infoFails) {
        return false;
    }
    const FakeMonitor& fake = m_fake.monitors[monitor - 1];
    info.rcMonitor = fake.rect;
    info.rcWork = fake.work;
    info.dwFlags = fake.flags;
    std::copy_n(fake.device.begin(), std::min<std::size_t>(fake.device.size(), 31), info.szDevice);
    return true;
}

bool RecordingDisplays::enumDisplayDevices(std::uint32_t index, DisplayDevice& device) {
    m_fake.record("enumDisplayDevices(" + std::to_string(index) + ")");
    if (index >= m_fake.devices.size()) {
        return false;
    }
    device = m_fake.devices[index];
    device.cb = kDisplayDeviceSize;
    return true;
}

} // namespace kestrove::testing
