// The monitor list: taken once from the system while the main window
// initialises, primary monitor first, with four diagnostic lines per monitor.
#pragma once

#include "platform/types.h"

#include <cstdint>
#include <vector>

namespace kestrove {

struct MonitorEntry {
    MonitorInfoEx info;
    MonitorHandle hMonitor; // handed to the magnifier with the monitor's rectangle
};

class CMultiDisplay {
public:
    virtual ~CMultiDisplay();

    // The single instance, created empty when there is none yet.
    static CMultiDisplay* GetInstance();
    // Deletes the instance; nothing when there is none.
    static void ReleaseInstance();

    std::int32_t m_nCount = 0;
    std::vector<MonitorEntry> m_entries;
};

extern CMultiDisplay* g_pMultiDisplay;

// The enumeration callback; `data` is the CMultiDisplay to fill.
int MonitorEnumProc(MonitorHandle hMonitor, DeviceContextHandle hdcMonitor, Rect* lprcMonitor,
                    std::intptr_t data);

} // namespace kestrove
