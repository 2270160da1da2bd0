#include "program/monitors/multi_display.h"

#include "platform/platform.h"

#include <cstdio>

namespace kestrove {

CMultiDisplay* g_pMultiDisplay = nullptr;

CMultiDisplay::~CMultiDisplay() = default;

CMultiDisplay* CMultiDisplay::GetInstance() {
    if (g_pMultiDisplay == nullptr) {
        g_pMultiDisplay = new CMultiDisplay();
    }
    return g_pMultiDisplay;
}

void CMultiDisplay::ReleaseInstance() {
    delete g_pMultiDisplay;
    g_pMultiDisplay = nullptr;
}

namespace {

void PrintRect(const char* label, const Rect& rc) {
    std::printf("%s top=%d, left=%d, bottom=%d, right=%d\n", label, rc.top, rc.left, rc.bottom,
                rc.right);
}

} // namespace

int MonitorEnumProc(MonitorHandle hMonitor, DeviceContextHandle, Rect* lprcMonitor,
                    std::intptr_t data) {
    auto* list = reinterpret_cast<CMultiDisplay*>(data);
    ++list->m_nCount;

    MonitorInfoEx info{};
    info.cbSize = kMonitorInfoExSize;
    ThePlatform().displays.getMonitorInfo(hMonitor, info);

    const MonitorEntry entry{info, hMonitor};
    if (info.dwFlags == kMonitorInfoPrimary) {
        list->m_entries.insert(list->m_entries.begin(), entry);
    } else {
        list->m_entries.push_back(entry);
    }

    PrintRect("rcMonitor", info.rcMonitor);
    PrintRect("rcWork", info.rcWork);
    std::printf("Flag = %d\n", static_cast<int>(info.dwFlags));
    PrintRect("rcMonitor", lprcMonitor != nullptr ? *lprcMonitor : Rect{});
    // A reader on a pipe sees each monitor's lines as soon as they are known.
    std::fflush(stdout);
    return 1;
}

} // namespace kestrove
