// Window operations on X11: state, geometry, title and icon of the dialog
// windows, and what reaches the magnifier's children.
#pragma once

#include "platform/seam/windowing.h"
#include "platform/x11/connection/x11_connection.h"
#include "platform/x11/connection/x11_event_loop.h"
#include "platform/x11/connection/x11_window_table.h"

namespace kestrove::x11 {

class X11DialogManager;
class X11MagnifierControl;

class X11Windowing final : public Windowing {
public:
    X11Windowing(X11Connection& x, WindowTable& windows, EventLoop& loop, X11DialogManager& dialogs,
                 X11MagnifierControl& magnifiers)
        : m_x(x), m_windows(windows), m_loop(loop), m_dialogs(dialogs), m_magnifiers(magnifiers) {}

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
    X11Connection& m_x;
    WindowTable& m_windows;
    EventLoop& m_loop;
    X11DialogManager& m_dialogs;
    X11MagnifierControl& m_magnifiers;
};

} // namespace kestrove::x11
