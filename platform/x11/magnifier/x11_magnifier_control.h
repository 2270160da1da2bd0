// The magnifier control on X11: the seam's magnifier operations, and the
// magnifier child windows by handle. Each child is a MagnifierWindow placed
// in a dialog window; window operations on a child (move, invalidate,
// destroy) reach it through here.
#pragma once

#include "platform/seam/magnifier.h"
#include "platform/x11/magnifier/magnifier_window.h"
#include "platform/x11/x11_event_loop.h"
#include "platform/x11/x11_window_table.h"

#include <map>
#include <memory>

namespace kestrove::x11 {

class X11MagnifierControl final : public Magnifier, public EventTarget {
public:
    X11MagnifierControl(Display* display, WindowTable& windows)
        : m_display(display), m_windows(windows) {}
    ~X11MagnifierControl();
    X11MagnifierControl(const X11MagnifierControl&) = delete;
    X11MagnifierControl& operator=(const X11MagnifierControl&) = delete;

    bool magInitialize() override;
    WindowHandle createMagnifierWindow(WindowHandle parent, const Rect& area) override;
    bool magSetWindowSource(WindowHandle magnifier, const Rect& source) override;
    bool magSetWindowTransform(WindowHandle magnifier, const MagTransform& transform) override;

    // Window operations on a child; false when `hwnd` is no magnifier.
    bool move(WindowHandle hwnd, int x, int y, int width, int height);
    bool invalidate(WindowHandle hwnd);
    bool destroy(WindowHandle hwnd);
    void destroyChildrenOf(WindowHandle parent);

    // The children's windows' events and what their sources report.
    bool handleEvent(XEvent& event) override;
    std::vector<int> waitDescriptors() const override;
    void dispatchDescriptors() override;

private:
    // Runs `action` on the magnifier `hwnd`; false when there is none.
    template <typename Action> bool withMagnifier(WindowHandle hwnd, Action action) {
        const auto it = m_magnifiers.find(hwnd);
        if (it == m_magnifiers.end()) {
            return false;
        }
        action(*it->second);
        return true;
    }

    Display* m_display;
    WindowTable& m_windows;
    std::map<Window, std::unique_ptr<MagnifierWindow>> m_magnifiers;
};

} // namespace kestrove::x11
