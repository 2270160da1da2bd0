// The recording fake's displays: monitors and display devices from the scripted list.
#pragma once

#include "platform/seam/displays.h"

namespace kestrove::testing {

class RecordingPlatform;

class RecordingDisplays final : public Displays {
public:
    explicit RecordingDisplays(RecordingPlatform& fake) : m_fake(fake) {}

    void enumDisplayMonitors(MonitorEnumProcType proc, std::intptr_t data) override;
    bool getMonitorInfo(MonitorHandle monitor, MonitorInfoEx& info) override;
    bool enumDisplayDevices(std::uint32_t index, DisplayDevice& device) override;

private:
    RecordingPlatform& m_fake;
};

} // namespace kestrove::testing
