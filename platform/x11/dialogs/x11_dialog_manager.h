// The dialog manager on X11, as Windows' dialog manager and window procedure
// would do it: dialogs made from templates, the modal loop, default
// processing, the dialog keyboard and accelerators, the system menu, timers
// and message boxes. It delivers every event of its dialogs through their
// DialogEvents.
#pragma once

#include "platform/seam/dialogs.h"
#include "platform/seam/displays.h"
#include "platform/x11/accessibility/accessible_tree.h"
#include "platform/x11/connection/x11_connection.h"
#include "platform/x11/connection/x11_event_loop.h"
#include "platform/x11/connection/x11_timers.h"
#include "platform/x11/connection/x11_window_table.h"
#include "platform/x11/dialogs/x11_dialog_input.h"
#include "platform/x11/dialogs/x11_font.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kestrove::x11 {

class X11MagnifierControl;

class X11DialogManager final : public Dialogs, public EventTarget, private DialogInput::Host {
public:
    X11DialogManager(X11Connection& x, WindowTable& windows, EventLoop& loop,
                     X11MagnifierControl& magnifiers, Displays& displays,
                     AccessibleTree& accessible);
    ~X11DialogManager();
    X11DialogManager(const X11DialogManager&) = delete;
    X11DialogManager& operator=(const X11DialogManager&) = delete;

    WindowHandle createDialog(int templateId, WindowHandle owner, DialogEvents& events) override;
    void runModalLoop(WindowHandle hwnd, WindowHandle owner, DialogEvents& events) override;
    void endDialog(WindowHandle hwnd) override;
    void hideWindow(WindowHandle hwnd) override;
    void destroyWindow(WindowHandle hwnd) override;
    void defaultProcessing(WindowHandle hwnd) override;
    bool isDialogMessage(WindowHandle hwnd, Message& msg) override;
    void setDlgItemText(WindowHandle dialog, int id, std::u16string_view text) override;
    std::u16string getDlgItemText(WindowHandle dialog, int id) override;
    bool translateAccelerator(WindowHandle hwnd, AccelHandle accel, Message& msg) override;
    MenuHandle getSystemMenu(WindowHandle hwnd) override;
    void appendMenu(MenuHandle menu, std::uint32_t flags, std::uintptr_t id,
                    std::u16string_view text) override;
    TimerId setTimer(WindowHandle hwnd, TimerId id, std::uint32_t milliseconds) override;
    void killTimer(WindowHandle hwnd, TimerId id) override;
    int messageBox(WindowHandle owner, std::u16string_view text, std::u16string_view caption,
                   std::uint32_t type) override;

    bool handleEvent(XEvent& event) override;
    std::optional<Clock::time_point> nextDeadline() const override;
    void fireDue(Clock::time_point now) override;

    // Tells the user, through the dialog `owner`, something of the
    // platform's own; delivered from the event loop, not from inside the
    // caller (which may be the dialog's own initialisation).
    void postNotice(WindowHandle owner, std::u16string text);

    // A new size of a dialog from the server; one the program did not ask
    // for is a user's resize, which ends after a quiet interval.
    void sizeReported(DialogWindow& dialog, const XConfigureEvent& event, bool requested);

private:
    // The message being dispatched to a window, for defaultProcessing.
    enum class Dispatch { Paint, SysCommand, Timer, Key };
    struct Dispatching {
        WindowHandle hwnd;
        Dispatch kind;
        std::uint32_t id;
    };
    class DispatchScope {
    public:
        DispatchScope(X11DialogManager& manager, WindowHandle hwnd, Dispatch kind,
                      std::uint32_t id = 0)
            : m_manager(manager) {
            m_manager.m_dispatching.push_back({hwnd, kind, id});
        }
        ~DispatchScope() { m_manager.m_dispatching.pop_back(); }
        DispatchScope(const DispatchScope&) = delete;
        DispatchScope& operator=(const DispatchScope&) = delete;

    private:
        X11DialogManager& m_manager;
    };

    // Throws std::runtime_error when no font can be opened.
    const DialogFont& fontFor(std::u16string_view face, int pointSize);
    // Where a box opens: over its owner, or (message boxes) in the middle of
    // its owner's monitor; either way inside that monitor's work area.
    enum class Placement { OverOwner, OwnersMonitor };
    WindowHandle createDialogWindow(const res::DialogTemplate& dialogTemplate, WindowHandle owner,
                                    DialogEvents& events, Placement placement, AccessibleRole role);
    std::vector<MonitorInfoEx> monitors();
    Rect screenRect() const;
    // The work area of the monitor `owner` is on (the primary's for none).
    Rect workAreaOf(WindowHandle owner);
    // The dialog's rectangle on the root window; nullopt for no dialog.
    std::optional<Rect> rootRectOf(WindowHandle hwnd);
    void show(DialogWindow& dialog);
    void paint(WindowHandle hwnd);

    // DialogInput::Host
    void focus(WindowHandle hwnd) override;
    Rect monitorAt(int x, int y) override;
    void sysCommand(WindowHandle hwnd, std::uint32_t command) override;
    void dispatchKey(WindowHandle hwnd, const std::function<void()>& deliver) override;

    X11Connection& m_x;
    WindowTable& m_windows;
    EventLoop& m_loop;
    X11MagnifierControl& m_magnifiers;
    Displays& m_displays;
    AccessibleTree& m_accessible;
    std::map<std::pair<std::u16string, int>, std::unique_ptr<DialogFont>> m_fonts;
    TimerQueue m_timers;
    std::vector<Dispatching> m_dispatching;
    std::vector<WindowHandle> m_modal; // the modal loops running, innermost last
    DialogInput m_input;
    std::vector<std::pair<WindowHandle, std::u16string>> m_notices; // posted, not yet delivered
};

} // namespace kestrove::x11
