// The recording fake's windowing: one dialog window whose client area follows the size requests
// within the scripted limits.
#pragma once

#include "platform/seam/windowing.h"

namespace kestrove::testing {

class RecordingPlatform;

class RecordingWindowing final : public Windowing {
public:
    explicit RecordingWindowing(RecordingPlatform& fake) : m_fake(fake) {}

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
    RecordingPlatform& m_fake;
};

} // namespace kestrove::testing
