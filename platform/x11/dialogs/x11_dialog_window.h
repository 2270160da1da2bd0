// A dialog window made from a dialog template: the top-level X window with
// the hints that give it its frame, and one child window per control.
#pragma once

#include "platform/seam/dialogs.h"
#include "platform/x11/accessibility/accessible_tree.h"
#include "platform/x11/connection/x11_atoms.h"
#include "platform/x11/connection/x11_timers.h"
#include "platform/x11/dialogs/requested_sizes.h"
#include "platform/x11/dialogs/x11_font.h"
#include "res/resource_types.h"

#include <X11/Xlib.h>

#include <optional>
#include <string>
#include <vector>

namespace kestrove::x11 {

struct DialogControl {
    int id;
    std::uint16_t classOrdinal;
    std::uint32_t style;
    int iconId;
    std::u16string text;
    Window window;
    int width;
    int height;
};

struct MenuItem {
    bool separator;
    std::uint32_t command;
    std::u16string text; // with its '&' access-key mark
};

class DialogWindow {
public:
    // Creates the window, unmapped, at (x, y) of the root window; `owner` 0
    // for a window of its own. It and its controls join `accessible` as
    // `role` with their controls.
    DialogWindow(Display* display, int screen, const Atoms& atoms, const DialogFont& font,
                 AccessibleTree& accessible, AccessibleRole role,
                 const res::DialogTemplate& dialogTemplate, Window owner, int x, int y,
                 DialogEvents& events);
    ~DialogWindow();
    DialogWindow(const DialogWindow&) = delete;
    DialogWindow& operator=(const DialogWindow&) = delete;

    Window window() const { return m_window; }
    Window owner() const { return m_owner; }
    DialogEvents& events() const { return m_events; }
    const DialogFont& font() const { return m_font; }
    bool visibleStyle() const;
    bool hasSystemMenu() const;
    int width() const { return m_width; }
    int height() const { return m_height; }
    // A size reported by the server; true when it differs from the last one.
    bool updateSize(int width, int height);

    void setTitle(std::u16string_view text);
    // ICCCM aspect hints: the window manager keeps width:height while the
    // user drags the frame.
    void setAspect(int width, int height);

    DialogControl* control(int id);
    DialogControl* controlOfWindow(Window window);
    void setControlText(DialogControl& control, std::u16string_view text);
    // The command of Return: the focused push button's id, else the default
    // push button's, else IDOK.
    int defaultCommand() const;

    // The keyboard focus among the controls, as the dialog manager moves it.
    const DialogControl* focusedControl() const;
    // The first tab stop, as a dialog starts when its initialisation says so.
    void focusFirstTabStop();
    // Tab and Shift+Tab: the next (previous) tab stop, round the end.
    void moveFocus(bool backward);
    // The window gains or loses the desktop's focus; assistive technologies
    // then learn where the focus is.
    void setActive(bool active);
    // Tells assistive technologies which object has the focus now.
    void reportFocus() const;
    void setShown(bool shown);

    // The dialog's ordinary painting: the background around the controls.
    void paintBackground() const;
    void paintControl(const DialogControl& control) const;

    // The system menu: the standard Close item, then what the program adds.
    std::vector<MenuItem>& systemMenu() { return m_systemMenu; }

    bool shown() const { return m_shown; }

    // Modal state and the end of a user's resize.
    bool ended = false;
    int disabledCount = 0;
    std::optional<Clock::time_point> resizeSettlesAt;
    RequestedSizes ownSizes;

private:
    void setSizeHints() const;
    void setFrameHints(const res::DialogTemplate& dialogTemplate) const;
    void createControl(const res::DialogControl& control);
    void setFocus(std::optional<std::size_t> index);

    Display* m_display;
    int m_screen;
    const Atoms& m_atoms;
    const DialogFont& m_font;
    AccessibleTree& m_accessible;
    DialogEvents& m_events;
    std::uint32_t m_style;
    Window m_owner;
    Window m_window = 0;
    int m_width;
    int m_height;
    int m_aspectX = 0;
    int m_aspectY = 0;
    std::vector<DialogControl> m_controls;
    std::optional<std::size_t> m_focus; // index into m_controls
    bool m_active = false;
    bool m_shown = false;
    std::vector<MenuItem> m_systemMenu;
};

} // namespace kestrove::x11
