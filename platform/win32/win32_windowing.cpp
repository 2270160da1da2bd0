#include "platform/win32/win32_windowing.h"

#include "platform/win32/handles.h"

#include <iterator>

namespace kestrove::win32 {

bool Win32Windowing::isWindow(WindowHandle hwnd) {
    return hwnd != 0 && IsWindow(Hwnd(hwnd)) != FALSE;
}

bool Win32Windowing::isIconic(WindowHandle hwnd) {
    return IsIconic(Hwnd(hwnd)) != FALSE;
}

Rect Win32Windowing::getClientRect(WindowHandle hwnd) {
    RECT rc{};
    GetClientRect(Hwnd(hwnd), &rc);
    return ToRect(rc);
}

Rect Win32Windowing::calcWindowRect(WindowHandle hwnd, const Rect& client) {
    RECT rc = ToRECT(client);
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(Hwnd(hwnd), GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(Hwnd(hwnd), GWL_EXSTYLE));
    AdjustWindowRectEx(&rc, style, FALSE, exStyle & ~static_cast<DWORD>(WS_EX_CLIENTEDGE));
    return ToRect(rc);
}

void Win32Windowing::setWindowSize(WindowHandle hwnd, int width, int height) {
    SetWindowPos(Hwnd(hwnd), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
}

void Win32Windowing::moveWindow(WindowHandle hwnd, int x, int y, int width, int height,
                                bool repaint) {
    MoveWindow(Hwnd(hwnd), x, y, width, height, repaint ? TRUE : FALSE);
}

void Win32Windowing::invalidateRect(WindowHandle hwnd, bool erase) {
    InvalidateRect(Hwnd(hwnd), nullptr, erase ? TRUE : FALSE);
}

void Win32Windowing::setWindowText(WindowHandle hwnd, std::u16string_view text) {
    SetWindowTextW(Hwnd(hwnd), WideString(text).c_str());
}

void Win32Windowing::setIcon(WindowHandle hwnd, int which, IconHandle icon) {
    SendMessageW(Hwnd(hwnd), WM_SETICON, static_cast<WPARAM>(which), static_cast<LPARAM>(icon));
}

DeviceContextHandle Win32Windowing::beginPaint(WindowHandle hwnd) {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(Hwnd(hwnd), &paint);
    m_paints.emplace_back(Hwnd(hwnd), paint);
    return ToSeam(dc);
}

void Win32Windowing::endPaint(WindowHandle hwnd, DeviceContextHandle dc) {
    for (auto it = m_paints.rbegin(); it != m_paints.rend(); ++it) {
        if (it->first == Hwnd(hwnd) && it->second.hdc == FromSeam<HDC>(dc)) {
            EndPaint(it->first, &it->second);
            m_paints.erase(std::next(it).base());
            return;
        }
    }
}

void Win32Windowing::sendIconEraseBackground(WindowHandle hwnd, DeviceContextHandle dc) {
    SendMessageW(Hwnd(hwnd), WM_ICONERASEBKGND, static_cast<WPARAM>(dc), 0);
}

int Win32Windowing::getSystemMetrics(int index) {
    return GetSystemMetrics(index);
}

void Win32Windowing::drawIcon(DeviceContextHandle dc, int x, int y, IconHandle icon) {
    DrawIcon(FromSeam<HDC>(dc), x, y, FromSeam<HICON>(icon));
}

} // namespace kestrove::win32
