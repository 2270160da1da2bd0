// Windows: their state, geometry, text and icon, and painting the minimised
// window.
#pragma once

#include "platform/types.h"

#include <string_view>

namespace kestrove {

class Windowing {
public:
    virtual bool isWindow(WindowHandle hwnd) = 0;                           // IsWindow
    virtual bool isIconic(WindowHandle hwnd) = 0;                           // IsIconic
    virtual Rect getClientRect(WindowHandle hwnd) = 0;                      // GetClientRect
    virtual Rect calcWindowRect(WindowHandle hwnd, const Rect& client) = 0; // AdjustWindowRectEx
    // SetWindowPos(hwnd, NULL, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER)
    virtual void setWindowSize(WindowHandle hwnd, int width, int height) = 0;
    virtual void moveWindow(WindowHandle hwnd, int x, int y, int width, int height,
                            bool repaint) = 0; // MoveWindow
    virtual void invalidateRect(WindowHandle hwnd,
                                bool erase) = 0; // InvalidateRect(hwnd, NULL, erase)
    virtual void setWindowText(WindowHandle hwnd, std::u16string_view text) = 0; // SetWindowTextW
    virtual void setIcon(WindowHandle hwnd, int which, IconHandle icon) = 0;     // WM_SETICON

    virtual DeviceContextHandle beginPaint(WindowHandle hwnd) = 0;
    virtual void endPaint(WindowHandle hwnd, DeviceContextHandle dc) = 0;
    virtual void sendIconEraseBackground(WindowHandle hwnd, DeviceContextHandle dc) = 0;
    virtual int getSystemMetrics(int index) = 0;
    virtual void drawIcon(DeviceContextHandle dc, int x, int y, IconHandle icon) = 0;

protected:
    ~Windowing() = default;
};

} // namespace kestrove
