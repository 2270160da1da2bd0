// The magnifier control on X11: the seam's magnifier operations, and the
// magnifier child windows by handle. Each child is a MagnifierWindow placed
// in a dialog window; window operations on a child (move, invalidate,
// destroy) reach it through here.
#pragma once

#include "platform/seam/magnifier.h"
#include "platform/x11/connection/x11_event_loop.h"
#include "platform/x11/connection/x11_window_table.h"
#include "platform/x11/magnifier/magnifier_window.h"
#include "platform/x11/monitors/x11_monitors.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string_view>

namespace kestrove::x11 {

class X11MagnifierControl final : public Magnifier, public EventTarget {
public:
    // `monitors` knows the monitor behind each handle the program passes.
    X11MagnifierControl(Display* display, WindowTable& windows, const X11Monitors& monitors)
        : m_display(display), m_windows(windows), m_monitors(monitors) {}
    ~X11MagnifierControl();
    X11MagnifierControl(const X11MagnifierControl&) = delete;
    X11MagnifierControl& operator=(const X11MagnifierControl&) = delete;

    bool magInitialize() override;
    WindowHandle createMagnifierWindow(WindowHandle parent, const Rect& area) override;
    // The source is shown as the monitor behind `monitor` (its name), at `source`.
    bool magSetWindowSource(WindowHandle magnifier, MonitorHandle monitor,
                            const Rect& source) override;
    bool magSetWindowTransform(WindowHandle magnifier, const MagTransform& transform) override;

    // Window operations on a child; false when `hwnd` is no magnifier.
    bool move(WindowHandle hwnd, int x, int y, int width, int height);
    bool invalidate(WindowHandle hwnd);
    bool destroy(WindowHandle hwnd);
    void destroyChildrenOf(WindowHandle parent);
    // The source rectangle of the magnifier child shown in `parent`;
    // nullopt when it shows none.
    std::optional<Rect> sourceShownIn(WindowHandle parent) const;

    // How the user is told that the desktop cannot be shown, through the
    // mirror's dialog `owner`.
    using Notice = std::function<void(WindowHandle owner, std::u16string_view text)>;
    void setNotice(Notice notice) { m_notice = std::move(notice); }

    // The children's windows' events and what their sources report.
    bool handleEvent(XEvent& event) override;
    std::vector<int> waitDescriptors() const override;
    void dispatchDescriptors() override;

private:
    // Once per run, whatever the number of mirrors; nothing for Nothing.
    void tellNoCapture(WindowHandle owner, CaptureNotice notice);
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
    const X11Monitors& m_monitors;
    std::map<Window, std::unique_ptr<MagnifierWindow>> m_magnifiers;
    Notice m_notice;
    bool m_toldNoCapture = false;
};

} // namespace kestrove::x11
