#include "platform/x11/magnifier/x11_magnifier_control.h"

#include "common/error_line.h"
#include "platform/x11/magnifier/picture_route.h"
#include "res/platform_ids.h"
#include "res/resource_lookup.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace kestrove::x11 {

X11MagnifierControl::~X11MagnifierControl() {
    for (const auto& [window, magnifier] : m_magnifiers) {
        m_windows.removeChild(window);
    }
}

bool X11MagnifierControl::magInitialize() {
    return MagnifierWindow::Initialize(m_display);
}

WindowHandle X11MagnifierControl::createMagnifierWindow(WindowHandle parent, const Rect& area) {
    if (m_windows.dialog(parent) == nullptr) {
        return 0;
    }
    std::unique_ptr<MagnifierWindow> created;
    try {
        PictureRoute route = ChoosePictureRoute(m_display, parent);
        if (!route.unavailable.empty()) {
            PrintErrorLine("no screen capture on this Wayland desktop, the mirror stays blank: " +
                           route.unavailable);
            tellNoCapture(parent, CaptureNotice::NoCapture);
        }
        created =
            std::make_unique<MagnifierWindow>(m_display, parent, area, std::move(route.source));
    } catch (const std::exception& error) {
        // CreateWindowExW fails and the mirror stays blank; say why once.
        PrintErrorLine(std::string("cannot create the mirror: ") + error.what());
        return 0;
    }
    const Window window = created->window();
    m_magnifiers[window] = std::move(created);
    m_windows.addChild(window, parent);
    return window;
}

bool X11MagnifierControl::magSetWindowSource(WindowHandle hwnd, MonitorHandle monitor,
                                             const Rect& source) {
    return withMagnifier(hwnd, [&](MagnifierWindow& magnifier) {
        magnifier.setSource(m_monitors.identityOf(monitor, source));
        // The source may know at once that the desktop will not share it.
        tellNoCapture(m_windows.parentOf(hwnd), magnifier.takeNotice());
    });
}

bool X11MagnifierControl::magSetWindowTransform(WindowHandle hwnd, const MagTransform& transform) {
    return withMagnifier(hwnd,
                         [&](MagnifierWindow& magnifier) { magnifier.setTransform(transform); });
}

bool X11MagnifierControl::move(WindowHandle hwnd, int x, int y, int width, int height) {
    return withMagnifier(hwnd,
                         [&](MagnifierWindow& magnifier) { magnifier.move(x, y, width, height); });
}

bool X11MagnifierControl::invalidate(WindowHandle hwnd) {
    return withMagnifier(hwnd, [](MagnifierWindow& magnifier) { magnifier.repaint(); });
}

bool X11MagnifierControl::destroy(WindowHandle hwnd) {
    if (m_magnifiers.erase(hwnd) == 0) {
        return false;
    }
    m_windows.removeChild(hwnd);
    return true;
}

std::optional<Rect> X11MagnifierControl::sourceShownIn(WindowHandle parent) const {
    for (const Window child : m_windows.childrenOf(parent)) {
        if (const auto it = m_magnifiers.find(child); it != m_magnifiers.end()) {
            return it->second->source();
        }
    }
    return std::nullopt;
}

void X11MagnifierControl::destroyChildrenOf(WindowHandle parent) {
    for (const Window child : m_windows.childrenOf(parent)) {
        destroy(child);
    }
}

bool X11MagnifierControl::handleEvent(XEvent& event) {
    for (const auto& [window, magnifier] : m_magnifiers) {
        if (magnifier->handleEvent(event)) {
            return true;
        }
    }
    return false;
}

// A black mirror that looked like a working one would mislead.
void X11MagnifierControl::tellNoCapture(WindowHandle owner, CaptureNotice notice) {
    if (m_toldNoCapture || notice == CaptureNotice::Nothing) {
        return;
    }
    m_toldNoCapture = true;
    const int text = notice == CaptureNotice::Refused        ? IDS_SCREEN_SHARE_REFUSED
                     : notice == CaptureNotice::CouldNotCast ? IDS_SCREEN_CAST_FAILED
                     : notice == CaptureNotice::Unpaired     ? IDS_SCREEN_SHARE_UNPAIRED
                                                             : IDS_NO_SCREEN_CAPTURE;
    if (m_notice) {
        m_notice(owner, res::FindString(text));
    }
}

std::vector<int> X11MagnifierControl::waitDescriptors() const {
    std::vector<int> descriptors;
    for (const auto& [window, magnifier] : m_magnifiers) {
        if (const int fd = magnifier->waitDescriptor(); fd >= 0) {
            descriptors.push_back(fd);
        }
    }
    return descriptors;
}

void X11MagnifierControl::dispatchDescriptors() {
    for (const auto& [window, magnifier] : m_magnifiers) {
        magnifier->dispatchSource();
        tellNoCapture(m_windows.parentOf(window), magnifier->takeNotice());
    }
}

} // namespace kestrove::x11
