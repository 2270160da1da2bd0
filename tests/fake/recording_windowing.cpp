#include "tests/fake/recording_windowing.h"

#include "common/utf.h"
#include "tests/fake/recording_platform.h"

#include <algorithm>
#include <string>

namespace kestrove::testing {

bool RecordingWindowing::isWindow(WindowHandle hwnd) {
    m_fake.record("isWindow");
    return hwnd == m_fake.kDialog || (hwnd == m_fake.kMagnifier && m_fake.magnifierCreated);
}

bool RecordingWindowing::isIconic(WindowHandle) {
    return m_fake.iconic;
}

Rect RecordingWindowing::getClientRect(WindowHandle hwnd) {
    if (hwnd == m_fake.kDialog) {
        return m_fake.client;
    }
    return {};
}

Rect RecordingWindowing::calcWindowRect(WindowHandle, const Rect& clientRect) {
    return {clientRect.left - m_fake.frameWidth, clientRect.top - m_fake.frameWidth,
            clientRect.right + m_fake.frameWidth, clientRect.bottom + m_fake.frameWidth};
}

void RecordingWindowing::setWindowSize(WindowHandle, int width, int height) {
    m_fake.record("setWindowSize(" + std::to_string(width) + "," + std::to_string(height) + ")");
    m_fake.client.right = m_fake.client.left + width - 2 * m_fake.frameWidth;
    m_fake.client.bottom =
        m_fake.client.top + std::min(height - 2 * m_fake.frameWidth, m_fake.maxClientHeight);
}

void RecordingWindowing::moveWindow(WindowHandle, int x, int y, int width, int height, bool) {
    m_fake.record("moveWindow(" + std::to_string(x) + "," + std::to_string(y) + "," +
                  std::to_string(width) + "," + std::to_string(height) + ")");
}

void RecordingWindowing::invalidateRect(WindowHandle, bool) {
    m_fake.record("invalidateRect");
}

void RecordingWindowing::setWindowText(WindowHandle, std::u16string_view text) {
    m_fake.record("setWindowText(" + ToUtf8(text) + ")");
    m_fake.title = text;
}

void RecordingWindowing::setIcon(WindowHandle, int which, IconHandle) {
    m_fake.record(which == win::ICON_BIG ? "setIcon(big)" : "setIcon(small)");
}

DeviceContextHandle RecordingWindowing::beginPaint(WindowHandle) {
    m_fake.record("beginPaint");
    return 7;
}

void RecordingWindowing::endPaint(WindowHandle, DeviceContextHandle) {
    m_fake.record("endPaint");
}

void RecordingWindowing::sendIconEraseBackground(WindowHandle, DeviceContextHandle) {
    m_fake.record("iconEraseBackground");
}

int RecordingWindowing::getSystemMetrics(int index) {
    return index == win::SM_CXICON || index == win::SM_CYICON ? 32 : 0;
}

void RecordingWindowing::drawIcon(DeviceContextHandle, int x, int y, IconHandle) {
    m_fake.record("drawIcon(" + std::to_string(x) + "," + std::to_string(y) + ")");
}

} // namespace kestrove::testing
