// Monitors and display devices from USER32.
#pragma once

#include "platform/seam/displays.h"

namespace kestrove::win32 {

class Win32Displays final : public Displays {
public:
    void enumDisplayMonitors(MonitorEnumProcType proc, std::intptr_t data) override;
    bool getMonitorInfo(MonitorHandle monitor, MonitorInfoEx& info) override;
    bool enumDisplayDevices(std::uint32_t index, DisplayDevice& device) override;
};

} // namespace kestrove::win32
