// The recording fake's displays: monitors and display devices from the scripted list.
#pragma once

#include "platform/seam/displays.h"
#include "tests/fake/recording_state.h"

#include <algorithm>
#include <string>

namespace kestrove::testing {

class RecordingDisplays final : public Displays {
public:
    explicit RecordingDisplays(RecordingState& fake) : m_fake(fake) {}

    void enumDisplayMonitors(MonitorEnumProcType proc, std::intptr_t data) override {
        m_fake.record("enumDisplayMonitors");
        for (std::size_t i = 0; i < m_fake.monitors.size(); ++i) {
            Rect rect = m_fake.monitors[i].rect;
            if (proc(i + 1, 0, &rect, data) == 0) {
                break;
            }
        }
    }

    bool getMonitorInfo(MonitorHandle monitor, MonitorInfoEx& info) override {
        if (monitor == 0 || monitor > m_fake.monitors.size() ||
            m_fake.monitors[monitor - 1].infoFails) {
            return false;
        }
        const FakeMonitor& fake = m_fake.monitors[monitor - 1];
        info.rcMonitor = fake.rect;
        info.rcWork = fake.work;
        info.dwFlags = fake.flags;
        std::copy_n(fake.device.begin(), std::min<std::size_t>(fake.device.size(), 31),
                    info.szDevice);
        return true;
    }

    bool enumDisplayDevices(std::uint32_t index, DisplayDevice& device) override {
        m_fake.record("enumDisplayDevices(" + std::to_string(index) + ")");
        if (index >= m_fake.devices.size()) {
            return false;
        }
        device = m_fake.devices[index];
        device.cb = kDisplayDeviceSize;
        return true;
    }

private:
    RecordingState& m_fake;
};

} // namespace kestrove::testing
