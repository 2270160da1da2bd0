#include "platform/x11/dialogs/x11_popup_menu.h"

#include "platform/x11/dialogs/box_placement.h"
#include "platform/x11/dialogs/x11_keys.h"
#include "platform/x11/dialogs/x11_paint.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>

namespace kestrove::x11 {

namespace {
constexpr int kBorder = 1;
constexpr int kTextLeft = 28;
constexpr int kTextRight = 24;
constexpr int kSeparatorHeight = 7;
constexpr int kEntryPadding = 8;

char16_t AsciiUpper(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}
} // namespace

PopupMenu::PopupMenu(Display* display, int screen, const Atoms& atoms, const DialogFont& font,
                     AccessibleTree& accessible, const std::vector<MenuItem>& items, Window owner,
                     int rootX, int rootY, const Rect& monitor,
                     std::function<void(std::uint32_t)> choose)
    : m_display(display), m_screen(screen), m_font(font), m_accessible(accessible), m_owner(owner) {
    const int entryHeight = font.height() + kEntryPadding;
    int y = kBorder;
    int textWidth = 0;
    for (const MenuItem& item : items) {
        const int height = item.separator ? kSeparatorHeight : entryHeight;
        Entry entry{item, StripAccessKey(item.text), 0, y, height};
        textWidth = std::max(textWidth, font.textWidth(entry.label.text));
        m_entries.push_back(std::move(entry));
        y += height;
    }
    m_width = kBorder + kTextLeft + textWidth + kTextRight + kBorder;
    m_height = y + kBorder;

    const Rect placed = PopupMenuRect(rootX, rootY, m_width, m_height, monitor);

    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.save_under = True;
    attributes.background_pixel = PixelOf(display, screen, colors::kMenuFace);
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | KeyPressMask;
    m_window =
        XCreateWindow(display, RootWindow(display, screen), placed.left, placed.top,
                      static_cast<unsigned>(m_width), static_cast<unsigned>(m_height), 0,
                      CopyFromParent, InputOutput, CopyFromParent,
                      CWOverrideRedirect | CWSaveUnder | CWBackPixel | CWEventMask, &attributes);
    SetCardinals(display, m_window, atoms.netWmWindowType, XA_ATOM,
                 {static_cast<long>(atoms.netWmWindowTypePopupMenu)});
    XSetTransientForHint(display, m_window, owner);

    for (Entry& entry : m_entries) {
        if (entry.item.separator) {
            continue;
        }
        XSetWindowAttributes entryAttributes{};
        entryAttributes.background_pixel = PixelOf(display, screen, colors::kMenuFace);
        entryAttributes.event_mask =
            ExposureMask | EnterWindowMask | LeaveWindowMask | ButtonPressMask | ButtonReleaseMask;
        entry.window = XCreateWindow(
            display, m_window, kBorder, entry.y, static_cast<unsigned>(m_width - 2 * kBorder),
            static_cast<unsigned>(entry.height), 0, CopyFromParent, InputOutput, CopyFromParent,
            CWBackPixel | CWEventMask, &entryAttributes);
        SetWindowName(display, atoms, entry.window, entry.label.text);
    }
    accessible.addWindow(m_window, AccessibleRole::Menu, u"", false);
    for (const Entry& entry : m_entries) {
        if (!entry.item.separator) {
            const std::uint32_t command = entry.item.command;
            accessible.addControl(m_window, entry.window, AccessibleRole::MenuItem,
                                  entry.label.text, false, [choose, command] { choose(command); });
        }
    }
    XMapSubwindows(display, m_window);
    XMapRaised(display, m_window);
    accessible.setShowing(m_window, true);
    // Clicks elsewhere close the menu, keys go to it wherever the focus is.
    XGrabPointer(display, m_window, True,
                 ButtonPressMask | ButtonReleaseMask | EnterWindowMask | LeaveWindowMask,
                 GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
    XGrabKeyboard(display, m_window, True, GrabModeAsync, GrabModeAsync, CurrentTime);
}

PopupMenu::~PopupMenu() {
    m_accessible.remove(m_window);
    XUngrabKeyboard(m_display, CurrentTime);
    XUngrabPointer(m_display, CurrentTime);
    XDestroyWindow(m_display, m_window);
    XFlush(m_display);
}

bool PopupMenu::isMenuWindow(Window window) const {
    return window == m_window || entryOfWindow(window).has_value();
}

std::optional<std::size_t> PopupMenu::entryOfWindow(Window window) const {
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].window != 0 && m_entries[i].window == window) {
            return i;
        }
    }
    return std::nullopt;
}

PopupMenu::Result PopupMenu::handleEvent(const XEvent& event) {
    switch (event.type) {
    case Expose:
        if (event.xexpose.count == 0) {
            if (event.xexpose.window == m_window) {
                paintFrame();
            } else if (auto entry = entryOfWindow(event.xexpose.window)) {
                paintEntry(*entry);
            }
        }
        return {};
    case EnterNotify:
        if (auto entry = entryOfWindow(event.xcrossing.window)) {
            setHighlight(entry);
        }
        return {};
    case LeaveNotify:
        if (entryOfWindow(event.xcrossing.window) == m_highlight) {
            setHighlight(std::nullopt);
        }
        return {};
    case ButtonPress:
        if (!isMenuWindow(event.xbutton.window) ||
            (event.xbutton.window == m_window &&
             (event.xbutton.x < 0 || event.xbutton.y < 0 || event.xbutton.x >= m_width ||
              event.xbutton.y >= m_height))) {
            return {Outcome::Closed, 0};
        }
        return {};
    case ButtonRelease: {
        const auto entry = entryOfWindow(event.xbutton.window);
        if (entry && event.xbutton.x >= 0 && event.xbutton.y >= 0 &&
            event.xbutton.x < m_width - 2 * kBorder && event.xbutton.y < m_entries[*entry].height) {
            return {Outcome::Chosen, m_entries[*entry].item.command};
        }
        return {};
    }
    case KeyPress: {
        XKeyEvent key = event.xkey;
        const std::uint16_t code = VirtualKeyOf(key);
        if (code == vk::kEscape) {
            return {Outcome::Closed, 0};
        }
        if (code == vk::kUp || code == vk::kDown) {
            moveHighlight(code == vk::kUp ? -1 : 1);
            return {};
        }
        if ((code == vk::kReturn || code == vk::kSpace) && m_highlight) {
            return {Outcome::Chosen, m_entries[*m_highlight].item.command};
        }
        const char16_t access = AccessCharacterOf(key);
        for (const Entry& entry : m_entries) {
            if (access != 0 && entry.label.underlined &&
                AsciiUpper(entry.label.text[*entry.label.underlined]) == access) {
                return {Outcome::Chosen, entry.item.command};
            }
        }
        return {};
    }
    default:
        return {};
    }
}

void PopupMenu::paintFrame() const {
    DrawFrame(m_display, m_screen, m_window, 0, 0, m_width, m_height, colors::kMenuBorder);
    for (const Entry& entry : m_entries) {
        if (entry.item.separator) {
            FillRect(m_display, m_screen, m_window, kBorder + kTextLeft - 4,
                     entry.y + entry.height / 2, m_width - 2 * kBorder - kTextLeft + 4, 1,
                     colors::kSeparator);
        }
    }
}

void PopupMenu::paintEntry(std::size_t index) const {
    const Entry& entry = m_entries[index];
    const bool lit = m_highlight == index;
    FillRect(m_display, m_screen, entry.window, 0, 0, m_width - 2 * kBorder, entry.height,
             lit ? colors::kMenuHighlight : colors::kMenuFace);
    const int baseline = (entry.height - m_font.height()) / 2 + m_font.ascent();
    m_font.drawLabel(entry.window, kTextLeft, baseline, entry.label, colors::kText);
}

void PopupMenu::setHighlight(std::optional<std::size_t> index) {
    const auto previous = m_highlight;
    m_highlight = index;
    if (previous) {
        paintEntry(*previous);
    }
    if (index) {
        paintEntry(*index);
    }
    // The highlighted entry is where a screen reader's focus is.
    m_accessible.setFocus(index ? m_entries[*index].window : 0);
}

void PopupMenu::moveHighlight(int step) {
    const int count = static_cast<int>(m_entries.size());
    int index = m_highlight ? static_cast<int>(*m_highlight) : (step > 0 ? -1 : count);
    for (int tries = 0; tries < count; ++tries) {
        index = (index + step + count) % count;
        if (!m_entries[static_cast<std::size_t>(index)].item.separator) {
            setHighlight(static_cast<std::size_t>(index));
            return;
        }
    }
}

} // namespace kestrove::x11
