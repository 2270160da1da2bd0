// Monitors and display devices, as the system reports them.
#pragma once

#include "platform/types.h"

#include <cstdint>

namespace kestrove {

class Displays {
public:
    // EnumDisplayMonitors(NULL, NULL, proc, data)
    virtual void enumDisplayMonitors(MonitorEnumProcType proc, std::intptr_t data) = 0;
    // GetMonitorInfoW
    virtual bool getMonitorInfo(MonitorHandle monitor, MonitorInfoEx& info) = 0;
    // EnumDisplayDevicesW(NULL, index, device, 0)
    virtual bool enumDisplayDevices(std::uint32_t index, DisplayDevice& device) = 0;

protected:
    ~Displays() = default;
};

} // namespace kestrove
