// Plain data shared by the program's logic and every platform implementation.
// Layouts follow the Windows records they stand for, so the Win32 side copies
// them field by field and the logic reads the same values everywhere.
#pragma once

#include <algorithm>
#include <cstdint>

namespace kestrove {

using WindowHandle = std::uintptr_t; // 0: no window
using MonitorHandle = std::uintptr_t;
using DeviceContextHandle = std::uintptr_t;
using IconHandle = std::uintptr_t;
using AccelHandle = std::uintptr_t;
using MenuHandle = std::uintptr_t;
using TimerId = std::uintptr_t;

struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

// Rectangles as half-open pixel ranges: right and bottom lie just outside.
inline bool IsEmpty(const Rect& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

// Empty (IsEmpty) when the two do not overlap.
inline Rect Intersection(const Rect& a, const Rect& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

// The bounding box of both.
inline Rect Union(const Rect& a, const Rect& b) {
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

inline bool Contains(const Rect& outer, const Rect& inner) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

// The sides, for ratios of sizes: in floating point, as the difference of two
// 32-bit edges may not fit in 32 bits.
inline double Width(const Rect& r) {
    return static_cast<double>(r.right) - r.left;
}
inline double Height(const Rect& r) {
    return static_cast<double>(r.bottom) - r.top;
}

// In pixels. The sides are taken in 64 bits: the difference of two 32-bit
// edges may not fit in 32.
inline long long Area(const Rect& r) {
    return IsEmpty(r) ? 0
                      : (static_cast<long long>(r.right) - r.left) *
                            (static_cast<long long>(r.bottom) - r.top);
}

// MONITORINFOEXW: 104 bytes, primary flag 1, device name of 32 UTF-16 units.
constexpr std::uint32_t kMonitorInfoExSize = 104;
constexpr std::uint32_t kMonitorInfoPrimary = 1;
struct MonitorInfoEx {
    std::uint32_t cbSize = 0;
    Rect rcMonitor;
    Rect rcWork;
    std::uint32_t dwFlags = 0;
    char16_t szDevice[32] = {};
};
static_assert(sizeof(MonitorInfoEx) == kMonitorInfoExSize);

// DISPLAY_DEVICEW: 840 bytes.
constexpr std::uint32_t kDisplayDeviceSize = 840;
struct DisplayDevice {
    std::uint32_t cb = 0;
    char16_t DeviceName[32] = {};
    char16_t DeviceString[128] = {};
    std::uint32_t StateFlags = 0;
    char16_t DeviceID[128] = {};
    char16_t DeviceKey[128] = {};
};
static_assert(sizeof(DisplayDevice) == kDisplayDeviceSize);

// MAGTRANSFORM: 3 x 3 floats, row by row.
struct MagTransform {
    float v[3][3] = {};
};

// MONITORENUMPROC with platform-neutral handle types; returns non-zero to go on.
using MonitorEnumProcType = int (*)(MonitorHandle, DeviceContextHandle, Rect*, std::intptr_t);

// A message taken from the queue, as offered to PreTranslateMessage. `native`
// points at the platform's own event for the platform's keyboard handling.
struct Message {
    WindowHandle hwnd = 0;
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    const void* native = nullptr;
};

// The Windows values the logic passes through the seam.
namespace win {
constexpr std::uint32_t WM_KEYDOWN = 0x0100;
constexpr std::uint32_t WM_SYSKEYDOWN = 0x0104;
constexpr std::uint32_t SC_SIZE = 0xF000;
constexpr std::uint32_t SC_CLOSE = 0xF060;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr std::uint32_t MF_STRING = 0x0000;
constexpr std::uint32_t MF_SEPARATOR = 0x0800;
constexpr int ICON_SMALL = 0;
constexpr int ICON_BIG = 1;
constexpr int SM_CXICON = 11;
constexpr int SM_CYICON = 12;
constexpr std::uint32_t MB_OK = 0x0000;
constexpr std::uint32_t MB_ICONSTOP = 0x0010;
constexpr std::uint32_t MB_ICONEXCLAMATION = 0x0030;
constexpr std::uint32_t MB_SYSTEMMODAL = 0x1000;
constexpr std::uint32_t HELP_CONTEXT = 0x0001;
} // namespace win

} // namespace kestrove
