// The windows the backend made: dialog windows, and the children placed in
// them that are not their controls (the magnifier's). Every part of the
// backend finds a window's kind and dialog here.
#pragma once

#include "platform/types.h"
#include "platform/x11/dialogs/x11_dialog_window.h"

#include <X11/Xlib.h>

#include <map>
#include <memory>
#include <vector>

namespace kestrove::x11 {

class WindowTable {
public:
    DialogWindow* dialog(WindowHandle hwnd) const;
    const std::map<Window, std::unique_ptr<DialogWindow>>& dialogs() const { return m_dialogs; }
    DialogWindow& addDialog(std::unique_ptr<DialogWindow> dialog);
    // The dialog taken out of the table; nullptr when there is none.
    std::unique_ptr<DialogWindow> removeDialog(WindowHandle hwnd);

    void addChild(Window child, Window parent);
    void removeChild(Window child);
    // The dialog a child was placed in; 0 when `child` is no such child.
    Window parentOf(Window child) const;
    std::vector<Window> childrenOf(Window parent) const;

    // The dialog an event's window belongs to: itself, a control or a child.
    DialogWindow* dialogOfEventWindow(Window window) const;
    // Whether the window is one of ours and still there (IsWindow).
    bool isWindow(WindowHandle hwnd) const;

private:
    std::map<Window, std::unique_ptr<DialogWindow>> m_dialogs;
    std::map<Window, Window> m_childParents;
};

} // namespace kestrove::x11
