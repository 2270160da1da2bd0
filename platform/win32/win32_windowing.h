// Window operations, each the USER32 call it stands for.
#pragma once

#include "platform/seam/windowing.h"
#include "platform/win32/handles.h"

#include <windows.h>

#include <utility>
#include <vector>

namespace kestrove::win32 {

class Win32Windowing final : public Windowing {
public:
    bool isWindow(WindowHandle hwnd) override { return hwnd != 0 && IsWindow(Hwnd(hwnd)) != FALSE; }
    bool isIconic(WindowHandle hwnd) override { return IsIconic(Hwnd(hwnd)) != FALSE; }
    Rect getClientRect(WindowHandle hwnd) override;
    Rect calcWindowRect(WindowHandle hwnd, const Rect& client) override;
    void setWindowSize(WindowHandle hwnd, int width, int height) override {
        SetWindowPos(Hwnd(hwnd), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
    }
    void moveWindow(WindowHandle hwnd, int x, int y, int width, int height, bool repaint) override {
        MoveWindow(Hwnd(hwnd), x, y, width, height, repaint ? TRUE : FALSE);
    }
    void invalidateRect(WindowHandle hwnd, bool erase) override {
        InvalidateRect(Hwnd(hwnd), nullptr, erase ? TRUE : FALSE);
    }
    void setWindowText(WindowHandle hwnd, std::u16string_view text) override {
        SetWindowTextW(Hwnd(hwnd), WideString(text).c_str());
    }
    void setIcon(WindowHandle hwnd, int which, IconHandle icon) override {
        SendMessageW(Hwnd(hwnd), WM_SETICON, static_cast<WPARAM>(which), static_cast<LPARAM>(icon));
    }
    DeviceContextHandle beginPaint(WindowHandle hwnd) override;
    void endPaint(WindowHandle hwnd, DeviceContextHandle dc) override;
    void sendIconEraseBackground(WindowHandle hwnd, DeviceContextHandle dc) override {
        SendMessageW(Hwnd(hwnd), WM_ICONERASEBKGND, static_cast<WPARAM>(dc), 0);
    }
    int getSystemMetrics(int index) override { return GetSystemMetrics(index); }
    void drawIcon(DeviceContextHandle dc, int x, int y, IconHandle icon) override {
        DrawIcon(FromSeam<HDC>(dc), x, y, FromSeam<HICON>(icon));
    }

private:
    // BeginPaint's records, which EndPaint needs back.
    std::vector<std::pair<HWND, PAINTSTRUCT>> m_paints;
};

} // namespace kestrove::win32
