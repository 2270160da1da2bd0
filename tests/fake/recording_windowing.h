// The recording fake's windowing: one dialog window whose client area follows the size requests
// within the scripted limits.
#pragma once

#include "platform/seam/windowing.h"
#include "tests/fake/recording_state.h"

#include "common/utf.h"
#include <algorithm>
#include <string>

namespace kestrove::testing {

class RecordingWindowing final : public Windowing {
public:
    explicit RecordingWindowing(RecordingState& fake) : m_fake(fake) {}

    bool isWindow(WindowHandle hwnd) override {
        m_fake.record("isWindow");
        return hwnd == m_fake.kDialog || (hwnd == m_fake.kMagnifier && m_fake.magnifierCreated);
    }

    bool isIconic(WindowHandle) override { return m_fake.iconic; }

    Rect getClientRect(WindowHandle hwnd) override {
        if (hwnd == m_fake.kDialog) {
            return m_fake.client;
        }
        return {};
    }

    Rect calcWindowRect(WindowHandle, const Rect& clientRect) override {
        return {clientRect.left - m_fake.frameWidth, clientRect.top - m_fake.frameWidth,
                clientRect.right + m_fake.frameWidth, clientRect.bottom + m_fake.frameWidth};
    }

    void setWindowSize(WindowHandle, int width, int height) override {
        m_fake.record("setWindowSize(" + std::to_string(width) + "," + std::to_string(height) +
                      ")");
        m_fake.client.right = m_fake.client.left + width - 2 * m_fake.frameWidth;
        m_fake.client.bottom =
            m_fake.client.top + std::min(height - 2 * m_fake.frameWidth, m_fake.maxClientHeight);
    }

    void moveWindow(WindowHandle hwnd, int x, int y, int width, int height, bool) override {
        m_fake.record("moveWindow(" + std::to_string(x) + "," + std::to_string(y) + "," +
                      std::to_string(width) + "," + std::to_string(height) + ")");
        if (hwnd == m_fake.kMagnifier) {
            m_fake.magnifierArea = {x, y, x + width, y + height};
        }
    }

    void invalidateRect(WindowHandle hwnd, bool) override {
        m_fake.record("invalidateRect");
        if (hwnd == m_fake.kMagnifier) {
            ++m_fake.magnifierRepaints;
        }
    }

    void setWindowText(WindowHandle, std::u16string_view text) override {
        m_fake.record("setWindowText(" + ToUtf8(text) + ")");
        m_fake.title = text;
    }

    void setIcon(WindowHandle, int which, IconHandle icon) override {
        m_fake.record(which == win::ICON_BIG ? "setIcon(big)" : "setIcon(small)");
        (which == win::ICON_BIG ? m_fake.bigIcon : m_fake.smallIcon) = icon;
    }

    DeviceContextHandle beginPaint(WindowHandle) override {
        m_fake.record("beginPaint");
        return 7;
    }

    void endPaint(WindowHandle, DeviceContextHandle) override { m_fake.record("endPaint"); }

    void sendIconEraseBackground(WindowHandle, DeviceContextHandle) override {
        m_fake.record("iconEraseBackground");
    }

    int getSystemMetrics(int index) override {
        return index == win::SM_CXICON || index == win::SM_CYICON ? 32 : 0;
    }

    void drawIcon(DeviceContextHandle, int x, int y, IconHandle) override {
        m_fake.record("drawIcon(" + std::to_string(x) + "," + std::to_string(y) + ")");
    }

private:
    RecordingState& m_fake;
};

} // namespace kestrove::testing
