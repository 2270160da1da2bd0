#include "platform/win32/win32_magnifier_control.h"

#include "platform/win32/handles.h"

namespace kestrove::win32 {

bool Win32MagnifierControl::magInitialize() {
    return m_magnification.initialize();
}

WindowHandle Win32MagnifierControl::createMagnifierWindow(WindowHandle parent, const Rect& area) {
    constexpr DWORD kMagnifierStyle = WS_CHILD | WS_VISIBLE | 0x0001; // MS_SHOWMAGNIFIEDCURSOR
    HWND child =
        CreateWindowExW(0, L"Magnifier", L"MagnifierWindow", kMagnifierStyle, area.left, area.top,
                        area.right, area.bottom, Hwnd(parent), nullptr, m_hInstance, nullptr);
    if (child == nullptr) {
        // Without the Magnification API the class does not exist. A blank
        // child keeps the window's behaviour (fit, refresh) and shows that
        // there is no picture.
        child = CreateWindowExW(
            0, L"Static", L"MagnifierWindow", WS_CHILD | WS_VISIBLE | SS_BLACKRECT, area.left,
            area.top, area.right, area.bottom, Hwnd(parent), nullptr, m_hInstance, nullptr);
    }
    return ToSeam(child);
}

bool Win32MagnifierControl::magSetWindowSource(WindowHandle magnifier, MonitorHandle,
                                               const Rect& source) {
    return m_magnification.setWindowSource(Hwnd(magnifier), ToRECT(source));
}

bool Win32MagnifierControl::magSetWindowTransform(WindowHandle magnifier,
                                                  const MagTransform& transform) {
    return m_magnification.setWindowTransform(Hwnd(magnifier), transform.v);
}

} // namespace kestrove::win32
