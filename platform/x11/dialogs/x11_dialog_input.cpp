#include "platform/x11/dialogs/x11_dialog_input.h"

#include "platform/x11/dialogs/x11_keys.h"
#include "res/resource_lookup.h"

#include <utility>

namespace kestrove::x11 {

bool DialogInput::isDialogMessage(WindowHandle hwnd, Message& msg) {
    DialogWindow* d = m_windows.dialog(hwnd);
    if (d == nullptr || (msg.message != win::WM_KEYDOWN && msg.message != win::WM_SYSKEYDOWN)) {
        return false;
    }
    const KeyModifiers modifiers = msg.native != nullptr
                                       ? ModifiersOf(*static_cast<const XKeyEvent*>(msg.native))
                                       : KeyModifiers{};
    const bool plain = msg.message == win::WM_KEYDOWN && !modifiers.ctrl && !modifiers.alt;
    const DialogControl* focused = d->focusedControl();
    if (plain && msg.wParam == vk::kTab) {
        d->moveFocus(modifiers.shift);
    } else if (plain && msg.wParam == vk::kSpace && focused != nullptr &&
               focused->classOrdinal == res::kClassButton) {
        d->events().deliverCommand(static_cast<std::uint32_t>(focused->id));
    } else if (msg.message == win::WM_KEYDOWN && msg.wParam == vk::kReturn) {
        d->events().deliverCommand(static_cast<std::uint32_t>(d->defaultCommand()));
    } else if (msg.message == win::WM_KEYDOWN && msg.wParam == vk::kEscape) {
        d->events().deliverCommand(win::IDCANCEL);
    } else {
        // The dialog manager dispatches every other key of its dialog itself.
        defaultKey(hwnd, msg);
    }
    return true;
}

bool DialogInput::translateAccelerator(WindowHandle hwnd, AccelHandle accel, Message& msg) {
    DialogWindow* d = m_windows.dialog(hwnd);
    if (msg.native == nullptr || d == nullptr ||
        (msg.message != win::WM_KEYDOWN && msg.message != win::WM_SYSKEYDOWN)) {
        return false;
    }
    // The handle of an accelerator table is its resource id.
    const auto table = res::FindAccelerators(static_cast<int>(accel));
    const auto& key = *static_cast<const XKeyEvent*>(msg.native);
    const auto virtualKey = static_cast<std::uint16_t>(msg.wParam);
    const KeyModifiers modifiers = ModifiersOf(key);
    auto command = MatchAccelerator(table, virtualKey, modifiers);
    // The dialog keyboard takes Return and Escape whatever Shift and Ctrl
    // say: an entry that keeps them from it covers those combinations too.
    if (!command && (virtualKey == vk::kReturn || virtualKey == vk::kEscape) && !modifiers.alt) {
        command = MatchAccelerator(table, virtualKey, KeyModifiers{});
    }
    if (!command) {
        return false;
    }
    d->events().deliverCommand(*command);
    return true;
}

void DialogInput::handleKey(DialogWindow& d, XKeyEvent& key) {
    const std::uint16_t code = VirtualKeyOf(key);
    if (code == 0) {
        return; // modifiers and keys the program has no code for
    }
    const WindowHandle hwnd = d.window();
    Message msg{hwnd, ModifiersOf(key).alt ? win::WM_SYSKEYDOWN : win::WM_KEYDOWN, code, 0, &key};
    m_host.dispatchKey(hwnd, [&] {
        if (!d.events().deliverPreTranslateMessage(msg)) {
            defaultKey(hwnd, msg);
        }
    });
}

void DialogInput::defaultKey(WindowHandle hwnd, const Message& msg) {
    DialogWindow* d = m_windows.dialog(hwnd);
    if (d == nullptr || msg.native == nullptr) {
        return;
    }
    const KeyModifiers modifiers = ModifiersOf(*static_cast<const XKeyEvent*>(msg.native));
    const KeyModifiers none{};
    const KeyModifiers altOnly{false, false, true};
    const KeyModifiers shiftOnly{false, true, false};
    if (msg.wParam == vk::kF1 && modifiers == none) {
        d->events().deliverHelp();
    } else if (msg.wParam == vk::kF4 && modifiers == altOnly) {
        m_host.sysCommand(hwnd, win::SC_CLOSE);
    } else if ((msg.wParam == vk::kApps && modifiers == none) ||
               (msg.wParam == vk::kF10 && modifiers == shiftOnly) ||
               (msg.wParam == vk::kSpace && modifiers == altOnly)) {
        openSystemMenuAtWindow(hwnd);
    }
}

void DialogInput::handleButton(DialogWindow& d, const XButtonEvent& button) {
    DialogControl* control = d.controlOfWindow(button.window);
    if (button.type == ButtonPress) {
        if (button.button == Button1 && control != nullptr) {
            m_pressedButton = control->window;
        } else if (button.button == Button3 && control == nullptr) {
            m_contextPressed = true;
        }
        return;
    }
    // The context menu opens as the right button comes up, as Windows' does:
    // that release can never choose one of its entries.
    if (button.button == Button3) {
        if (std::exchange(m_contextPressed, false) && control == nullptr) {
            openSystemMenu(d.window(), button.x_root + 1, button.y_root + 1);
        }
        return;
    }
    if (button.button != Button1 || control == nullptr || control->window != m_pressedButton) {
        return;
    }
    m_pressedButton = 0;
    if (button.x >= 0 && button.y >= 0 && button.x < control->width && button.y < control->height) {
        d.events().deliverCommand(static_cast<std::uint32_t>(control->id));
    }
}

void DialogInput::openSystemMenu(WindowHandle hwnd, int rootX, int rootY) {
    DialogWindow* d = m_windows.dialog(hwnd);
    if (d == nullptr || d->systemMenu().empty() || m_menu) {
        return;
    }
    m_menu = std::make_unique<PopupMenu>(m_x.display, m_x.screen, m_x.atoms, d->font(),
                                         m_accessible, d->systemMenu(), hwnd, rootX, rootY,
                                         m_host.monitorAt(rootX, rootY),
                                         [this](std::uint32_t command) { closeMenu(command); });
}

void DialogInput::openSystemMenuAtWindow(WindowHandle hwnd) {
    int x = 0;
    int y = 0;
    Window child = 0;
    XTranslateCoordinates(m_x.display, hwnd, m_x.root, 0, 0, &x, &y, &child);
    openSystemMenu(hwnd, x, y);
}

bool DialogInput::menuTakes(XEvent& event) {
    if (!m_menu) {
        return false;
    }
    const bool input =
        event.type == KeyPress || event.type == ButtonPress || event.type == ButtonRelease;
    if (!input && !m_menu->isMenuWindow(event.xany.window)) {
        return false;
    }
    const PopupMenu::Result result = m_menu->handleEvent(event);
    if (result.outcome != PopupMenu::Outcome::Open) {
        closeMenu(result.outcome == PopupMenu::Outcome::Chosen ? std::optional{result.command}
                                                               : std::nullopt);
    }
    return true;
}

void DialogInput::ownerGoes(WindowHandle hwnd) {
    if (m_menu && m_menu->owner() == hwnd) {
        m_menu.reset();
    }
}

void DialogInput::closeMenu(std::optional<std::uint32_t> chosen) {
    if (!m_menu) {
        return;
    }
    const WindowHandle owner = m_menu->owner();
    m_menu.reset();
    m_host.focus(owner);
    if (DialogWindow* d = m_windows.dialog(owner)) {
        d->reportFocus();
    }
    if (chosen) {
        m_host.sysCommand(owner, *chosen);
    }
}

} // namespace kestrove::x11
