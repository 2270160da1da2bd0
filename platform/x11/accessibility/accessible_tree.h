// Kestrove's windows and controls on the accessibility bus (AT-SPI), for
// screen readers: the application, its top-level windows with their roles
// and names, their controls, and where the focus is. The tree is kept by
// the windows themselves as they are made, renamed, shown, focused and
// destroyed; atk-bridge publishes it, driven from the program's own event
// loop. Without an accessibility bus every call does nothing.
#pragma once

#include "platform/x11/accessibility/glib_context_pump.h"
#include "platform/x11/connection/x11_event_loop.h"

#include <X11/Xlib.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kestrove::x11::a11y {
struct Node;
} // namespace kestrove::x11::a11y

namespace kestrove::x11 {

enum class AccessibleRole { Frame, Dialog, Alert, Menu, Icon, Label, PushButton, MenuItem };

class AccessibleTree final : public EventTarget {
public:
    // Joins the accessibility bus when the desktop has one; the application
    // is named `applicationName`.
    AccessibleTree(Display* display, std::u16string_view applicationName);
    ~AccessibleTree();
    AccessibleTree(const AccessibleTree&) = delete;
    AccessibleTree& operator=(const AccessibleTree&) = delete;

    bool active() const { return m_active; }

    // A top-level window of the application (a modal one for dialogs and
    // alerts), not yet showing.
    void addWindow(Window window, AccessibleRole role, std::u16string_view name, bool modal);
    // A control of `parent`; `press` is its "click" action (empty for none).
    // Assistive technologies' clicks run from the event loop, never inside
    // the bus's own dispatch.
    void addControl(Window parent, Window control, AccessibleRole role, std::u16string_view name,
                    bool isDefault, std::function<void()> press);
    // The window or control and everything in it leave the tree.
    void remove(Window window);

    void setName(Window window, std::u16string_view name);
    void setShowing(Window window, bool showing);
    // A window is disabled while a modal box it owns is open.
    void setEnabled(Window window, bool enabled);
    // A top-level window gains or loses the desktop's focus.
    void setActive(Window window, bool active);
    // The one object with the keyboard focus (0: none of ours).
    void setFocus(Window window);

    bool handleEvent(XEvent&) override { return false; }
    std::optional<Clock::time_point> nextDeadline() const override;
    void fireDue(Clock::time_point now) override;
    std::vector<int> waitDescriptors() const override;
    void dispatchDescriptors() override;

private:
    a11y::Node* node(Window window) const;
    void add(Window window, a11y::Node* parent, AccessibleRole role, std::u16string_view name,
             std::unique_ptr<a11y::Node> node);
    void runBusEvents();

    Display* m_display;
    bool m_active = false;
    std::unique_ptr<a11y::Node> m_root;
    std::map<Window, std::unique_ptr<a11y::Node>> m_nodes;
    Window m_focused = 0;
    // Clicks asked for over the bus, run from the event loop.
    std::vector<std::pair<Window, std::function<void()>>> m_pressed;
    std::unique_ptr<a11y::GlibContextPump> m_pump;
    // The bus's descriptors and deadline, as its main context last asked.
    mutable a11y::GlibContextPump::Wait m_busWait;
};

} // namespace kestrove::x11
