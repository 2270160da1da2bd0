#include "platform/x11/dialogs/x11_windowing.h"

#include "platform/x11/dialogs/x11_dialog_manager.h"
#include "platform/x11/dialogs/x11_dpi.h"
#include "platform/x11/dialogs/x11_icon.h"
#include "platform/x11/magnifier/x11_magnifier_control.h"
#include "res/icon_images.h"

#include <algorithm>

namespace kestrove::x11 {

namespace {

// How long a size request waits for the server's (or window manager's) answer.
constexpr auto kResizeAnswerWait = std::chrono::milliseconds{250};

Rect RectOf(int width, int height) {
    return {0, 0, width, height};
}

} // namespace

bool X11Windowing::isWindow(WindowHandle hwnd) {
    return m_windows.isWindow(hwnd);
}

bool X11Windowing::isIconic(WindowHandle hwnd) {
    return m_windows.dialog(hwnd) != nullptr && IsIconicState(m_x.display, m_x.atoms, hwnd);
}

Rect X11Windowing::getClientRect(WindowHandle hwnd) {
    if (const DialogWindow* d = m_windows.dialog(hwnd)) {
        return RectOf(d->width(), d->height());
    }
    XWindowAttributes attributes{};
    if (!m_windows.isWindow(hwnd) || XGetWindowAttributes(m_x.display, hwnd, &attributes) == 0) {
        return {};
    }
    return RectOf(attributes.width, attributes.height);
}

Rect X11Windowing::calcWindowRect(WindowHandle, const Rect& client) {
    return client;
}

void X11Windowing::setWindowSize(WindowHandle hwnd, int width, int height) {
    DialogWindow* d = m_windows.dialog(hwnd);
    width = std::max(1, width);
    height = std::max(1, height);
    if (d == nullptr) {
        return;
    }
    // A window showing a mirror keeps the monitor's shape while the user
    // drags it: the window manager is told the monitor's ratio, which stays
    // the same through the program's requests for a size around it.
    if (const auto source = m_magnifiers.sourceShownIn(hwnd); source && !IsEmpty(*source)) {
        d->setAspect(source->right - source->left, source->bottom - source->top);
    }
    if (d->width() == width && d->height() == height) {
        return;
    }
    // The size allowed is what the answer to this request says: the first
    // ConfigureNotify the server sends after it. Older ones, a user's drag
    // among them, and every other event stay queued in their order.
    const unsigned long request = NextRequest(m_x.display);
    XResizeWindow(m_x.display, hwnd, static_cast<unsigned>(width), static_cast<unsigned>(height));
    const auto answer = m_loop.waitForEvent(
        [hwnd, request](const XEvent& event) {
            return event.type == ConfigureNotify && event.xconfigure.window == hwnd &&
                   event.xconfigure.serial >= request;
        },
        Clock::now() + kResizeAnswerWait);
    // The answer, and every report of the sizes asked for and given here
    // that comes in later (a window manager sends a real and a synthetic
    // one for one change), are the program's own, not a user's resize.
    d->ownSizes.note(width, height, Clock::now());
    if (answer) {
        d->ownSizes.note(answer->xconfigure.width, answer->xconfigure.height, Clock::now());
        m_dialogs.sizeReported(*d, answer->xconfigure, true);
    }
}

void X11Windowing::moveWindow(WindowHandle hwnd, int x, int y, int width, int height, bool) {
    if (m_magnifiers.move(hwnd, x, y, width, height)) {
        return;
    }
    if (m_windows.dialog(hwnd) != nullptr) {
        XMoveWindow(m_x.display, hwnd, x, y);
        setWindowSize(hwnd, width, height);
    }
}

void X11Windowing::invalidateRect(WindowHandle hwnd, bool) {
    if (m_magnifiers.invalidate(hwnd)) {
        return;
    }
    if (m_windows.isWindow(hwnd)) {
        XClearArea(m_x.display, hwnd, 0, 0, 0, 0, True);
    }
}

void X11Windowing::setWindowText(WindowHandle hwnd, std::u16string_view text) {
    if (DialogWindow* d = m_windows.dialog(hwnd)) {
        d->setTitle(text);
    } else if (DialogWindow* owner = m_windows.dialogOfEventWindow(hwnd)) {
        if (DialogControl* control = owner->controlOfWindow(hwnd)) {
            owner->setControlText(*control, text);
        }
    }
}

void X11Windowing::setIcon(WindowHandle hwnd, int, IconHandle icon) {
    // Both sizes come from the one group: the window manager picks the image.
    // The handle of an icon is its group's resource id.
    if (m_windows.dialog(hwnd) != nullptr) {
        SetWindowIcon(m_x.display, m_x.atoms, hwnd, res::FindIconGroup(static_cast<int>(icon)));
    }
}

DeviceContextHandle X11Windowing::beginPaint(WindowHandle hwnd) {
    return m_windows.dialog(hwnd) != nullptr ? DeviceContextHandle{hwnd} : 0;
}

void X11Windowing::endPaint(WindowHandle, DeviceContextHandle) {}

void X11Windowing::sendIconEraseBackground(WindowHandle hwnd, DeviceContextHandle) {
    if (const DialogWindow* d = m_windows.dialog(hwnd)) {
        d->paintBackground();
    }
}

int X11Windowing::getSystemMetrics(int index) {
    return index == win::SM_CXICON || index == win::SM_CYICON ? IconSize(m_x.display) : 0;
}

void X11Windowing::drawIcon(DeviceContextHandle dc, int x, int y, IconHandle icon) {
    if (dc != 0 && m_windows.dialog(dc) != nullptr) {
        DrawIcon(m_x.display, m_x.screen, dc, x, y, IconSize(m_x.display),
                 res::FindIconGroup(static_cast<int>(icon)));
    }
}

} // namespace kestrove::x11
