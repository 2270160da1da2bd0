// The X11 backend whole: the connection's parts wired together, and the
// seam's groups they implement.
//
// Operations that are no-ops or constant answers here, and why:
// - Windowing::calcWindowRect returns the client rectangle: the window
//   manager adds the frame outside the window.
// - Windowing::endPaint does nothing: painting needs no bracket.
// - Windowing::getSystemMetrics knows the icon size only and answers 0 for
//   the rest, which the program does not ask.
// - Shell::winHelp fails: there is no help engine.
// - Shell::setRestartSupport does nothing: nothing on X11 restarts
//   applications.
//
// Start reading at the event loop (x11_event_loop.h), then the dialog
// manager (x11_dialog_manager.h), which delivers events to the program's
// dialogs, and the magnifier (magnifier/).
#pragma once

#include "platform/platform.h"
#include "platform/x11/accessibility/accessible_tree.h"
#include "platform/x11/connection/x11_connection.h"
#include "platform/x11/connection/x11_event_loop.h"
#include "platform/x11/connection/x11_window_table.h"
#include "platform/x11/dialogs/x11_dialog_manager.h"
#include "platform/x11/dialogs/x11_windowing.h"
#include "platform/x11/magnifier/x11_magnifier_control.h"
#include "platform/x11/monitors/x11_monitors.h"
#include "platform/x11/process/x11_resources.h"
#include "platform/x11/process/x11_shell.h"

namespace kestrove::x11 {

class X11Backend {
public:
    explicit X11Backend(Display* display);
    X11Backend(const X11Backend&) = delete;
    X11Backend& operator=(const X11Backend&) = delete;

    Platform& platform() { return m_platform; }

private:
    // Declared in the order they depend on each other; they go in reverse,
    // the dialogs (which close the menu and the magnifiers) before the table.
    X11Connection m_x;
    WindowTable m_windows;
    EventLoop m_loop;
    X11Shell m_shell;
    AccessibleTree m_accessible;
    X11Monitors m_displays;
    X11MagnifierControl m_magnifiers;
    X11DialogManager m_dialogs;
    X11Windowing m_windowing;
    X11Resources m_resources;
    Platform m_platform;
};

} // namespace kestrove::x11
