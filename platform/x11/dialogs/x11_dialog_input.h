// What reaches the dialogs from the user's hands, as Windows' dialog
// manager and window procedure handle it: the dialog keyboard (Tab, Space,
// Return, Escape), accelerators, the keys the window procedure knows (F1,
// Alt+F4, the menu keys), clicks on buttons, and the system menu.
#pragma once

#include "platform/seam/dialogs.h"
#include "platform/x11/accessibility/accessible_tree.h"
#include "platform/x11/connection/x11_connection.h"
#include "platform/x11/connection/x11_window_table.h"
#include "platform/x11/dialogs/x11_popup_menu.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace kestrove::x11 {

class DialogInput {
public:
    // What input asks of the dialog manager.
    class Host {
    public:
        virtual void sysCommand(WindowHandle hwnd, std::uint32_t command) = 0;
        virtual void focus(WindowHandle hwnd) = 0;
        // The rectangle of the monitor under the point (root coordinates).
        virtual Rect monitorAt(int x, int y) = 0;
        // Runs `deliver` as the dispatch of a key message to `hwnd`.
        virtual void dispatchKey(WindowHandle hwnd, const std::function<void()>& deliver) = 0;

    protected:
        ~Host() = default;
    };

    DialogInput(X11Connection& x, WindowTable& windows, AccessibleTree& accessible, Host& host)
        : m_x(x), m_windows(windows), m_accessible(accessible), m_host(host) {}
    DialogInput(const DialogInput&) = delete;
    DialogInput& operator=(const DialogInput&) = delete;

    // IsDialogMessageW and TranslateAcceleratorW.
    bool isDialogMessage(WindowHandle hwnd, Message& msg);
    bool translateAccelerator(WindowHandle hwnd, AccelHandle accel, Message& msg);

    // A key press or a click in an enabled dialog.
    void handleKey(DialogWindow& dialog, XKeyEvent& key);
    void handleButton(DialogWindow& dialog, const XButtonEvent& button);
    // While the menu is open it takes every input event and its own; true
    // when it took `event`.
    bool menuTakes(XEvent& event);
    // The menu closes with its owner.
    void ownerGoes(WindowHandle hwnd);

private:
    // The menu closes; a chosen entry's command goes to its owner.
    void closeMenu(std::optional<std::uint32_t> chosen);
    // What DefWindowProc does with a key no handler took.
    void defaultKey(WindowHandle hwnd, const Message& msg);
    void openSystemMenu(WindowHandle hwnd, int rootX, int rootY);
    void openSystemMenuAtWindow(WindowHandle hwnd);

    X11Connection& m_x;
    WindowTable& m_windows;
    AccessibleTree& m_accessible;
    Host& m_host;
    std::unique_ptr<PopupMenu> m_menu;
    Window m_pressedButton = 0;
    bool m_contextPressed = false; // the right button went down in the dialog
};

} // namespace kestrove::x11
