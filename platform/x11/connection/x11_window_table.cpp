#include "platform/x11/connection/x11_window_table.h"

namespace kestrove::x11 {

DialogWindow* WindowTable::dialog(WindowHandle hwnd) const {
    const auto it = m_dialogs.find(hwnd);
    return it == m_dialogs.end() ? nullptr : it->second.get();
}

DialogWindow& WindowTable::addDialog(std::unique_ptr<DialogWindow> dialog) {
    const Window window = dialog->window();
    return *(m_dialogs[window] = std::move(dialog));
}

std::unique_ptr<DialogWindow> WindowTable::removeDialog(WindowHandle hwnd) {
    const auto it = m_dialogs.find(hwnd);
    if (it == m_dialogs.end()) {
        return nullptr;
    }
    std::unique_ptr<DialogWindow> removed = std::move(it->second);
    m_dialogs.erase(it);
    return removed;
}

void WindowTable::addChild(Window child, Window parent) {
    m_childParents[child] = parent;
}

void WindowTable::removeChild(Window child) {
    m_childParents.erase(child);
}

Window WindowTable::parentOf(Window child) const {
    const auto it = m_childParents.find(child);
    return it == m_childParents.end() ? 0 : it->second;
}

std::vector<Window> WindowTable::childrenOf(Window parent) const {
    std::vector<Window> children;
    for (const auto& [child, childParent] : m_childParents) {
        if (childParent == parent) {
            children.push_back(child);
        }
    }
    return children;
}

DialogWindow* WindowTable::dialogOfEventWindow(Window window) const {
    if (DialogWindow* d = dialog(window)) {
        return d;
    }
    if (const Window parent = parentOf(window); parent != 0) {
        return dialog(parent);
    }
    for (const auto& [handle, d] : m_dialogs) {
        if (d->controlOfWindow(window) != nullptr) {
            return d.get();
        }
    }
    return nullptr;
}

bool WindowTable::isWindow(WindowHandle hwnd) const {
    return hwnd != 0 && dialogOfEventWindow(hwnd) != nullptr;
}

} // namespace kestrove::x11
