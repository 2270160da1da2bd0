// The window's context menu (the system menu of Windows): an
// override-redirect popup whose entries are child windows named with their
// text, chosen with the mouse, the arrow keys and Return, or an access key.
#pragma once

#include "platform/x11/accessibility/accessible_tree.h"
#include "platform/x11/connection/x11_atoms.h"
#include "platform/x11/dialogs/x11_dialog_window.h"
#include "platform/x11/dialogs/x11_font.h"

#include <X11/Xlib.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace kestrove::x11 {

class PopupMenu {
public:
    enum class Outcome { Open, Closed, Chosen };
    struct Result {
        Outcome outcome = Outcome::Open;
        std::uint32_t command = 0;
    };

    // Opens the menu at (rootX, rootY), inside `monitor` (the one under that
    // point), and takes the pointer and the keyboard. `choose` runs when an
    // assistive technology clicks an entry.
    PopupMenu(Display* display, int screen, const Atoms& atoms, const DialogFont& font,
              AccessibleTree& accessible, const std::vector<MenuItem>& items, Window owner,
              int rootX, int rootY, const Rect& monitor, std::function<void(std::uint32_t)> choose);
    ~PopupMenu();
    PopupMenu(const PopupMenu&) = delete;
    PopupMenu& operator=(const PopupMenu&) = delete;

    Window owner() const { return m_owner; }
    // Every input event while the menu is open, and the menu's own events.
    Result handleEvent(const XEvent& event);
    bool isMenuWindow(Window window) const;

private:
    struct Entry {
        MenuItem item;
        AccessKeyText label;
        Window window; // 0 for a separator
        int y;
        int height;
    };

    void paintFrame() const;
    void paintEntry(std::size_t index) const;
    void setHighlight(std::optional<std::size_t> index);
    void moveHighlight(int step);
    std::optional<std::size_t> entryOfWindow(Window window) const;

    Display* m_display;
    int m_screen;
    const DialogFont& m_font;
    AccessibleTree& m_accessible;
    Window m_owner;
    Window m_window = 0;
    int m_width = 0;
    int m_height = 0;
    std::vector<Entry> m_entries;
    std::optional<std::size_t> m_highlight;
};

} // namespace kestrove::x11
