#include "platform/win32/win32_windowing.h"

#include "platform/win32/handles.h"

#include <iterator>

namespace kestrove::win32 {

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

} // namespace kestrove::win32
