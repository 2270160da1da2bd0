// Window operations, each the USER32 call it stands for.
#pragma once

#include "platform/seam/windowing.h"

#include <windows.h>

#include <utility>
#include <vector>

namespace kestrove::win32 {

class Win32Windowing final : public Windowing {
public:
    bool isWindow(WindowHandle hwnd) override;
    bool isIconic(WindowHandle hwnd) override;
    Rect getClientRect(WindowHandle hwnd) override;
    Rect calcWindowRect(WindowHandle hwnd, const Rect& client) override;
    void setWindowSize(WindowHandle hwnd, int width, int height) override;
    void moveWindow(WindowHandle hwnd, int x, int y, int width, int height, bool repaint) override;
    void invalidateRect(WindowHandle hwnd, bool erase) override;
    void setWindowText(WindowHandle hwnd, std::u16string_view text) override;
    void setIcon(WindowHandle hwnd, int which, IconHandle icon) override;
    DeviceContextHandle beginPaint(WindowHandle hwnd) override;
    void endPaint(WindowHandle hwnd, DeviceContextHandle dc) override;
    void sendIconEraseBackground(WindowHandle hwnd, DeviceContextHandle dc) override;
    int getSystemMetrics(int index) override;
    void drawIcon(DeviceContextHandle dc, int x, int y, IconHandle icon) override;

private:
    // BeginPaint's records, which EndPaint needs back.
    std::vector<std::pair<HWND, PAINTSTRUCT>> m_paints;
};

} // namespace kestrove::win32
