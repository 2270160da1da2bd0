#include "platform/win32/win32_displays.h"

#include "platform/win32/handles.h"

#include <cstring>

namespace kestrove::win32 {

namespace {

static_assert(sizeof(MONITORINFOEXW) == sizeof(MonitorInfoEx));
static_assert(sizeof(DISPLAY_DEVICEW) == sizeof(DisplayDevice));

struct MonitorEnumContext {
    MonitorEnumProcType proc;
    std::intptr_t data;
};

BOOL CALLBACK MonitorEnumThunk(HMONITOR monitor, HDC dc, LPRECT rect, LPARAM data) {
    const auto* context = reinterpret_cast<const MonitorEnumContext*>(data);
    Rect rc = rect != nullptr ? ToRect(*rect) : Rect{};
    return context->proc(ToSeam(monitor), ToSeam(dc), rect != nullptr ? &rc : nullptr,
                         context->data) != 0;
}

} // namespace

void Win32Displays::enumDisplayMonitors(MonitorEnumProcType proc, std::intptr_t data) {
    MonitorEnumContext context{proc, data};
    EnumDisplayMonitors(nullptr, nullptr, MonitorEnumThunk, reinterpret_cast<LPARAM>(&context));
}

bool Win32Displays::getMonitorInfo(MonitorHandle monitor, MonitorInfoEx& info) {
    MONITORINFOEXW native;
    std::memcpy(&native, &info, sizeof native);
    const bool ok = GetMonitorInfoW(FromSeam<HMONITOR>(monitor), &native) != FALSE;
    // The seam's record has the native layout (asserted above).
    std::memcpy(static_cast<void*>(&info), &native, sizeof native);
    return ok;
}

bool Win32Displays::enumDisplayDevices(std::uint32_t index, DisplayDevice& device) {
    DISPLAY_DEVICEW native;
    std::memcpy(&native, &device, sizeof native);
    const bool ok = EnumDisplayDevicesW(nullptr, index, &native, 0) != FALSE;
    std::memcpy(static_cast<void*>(&device), &native, sizeof native);
    return ok;
}

} // namespace kestrove::win32
