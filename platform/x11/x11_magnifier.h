// The magnifier control on X11: a child window whose picture is the source
// rectangle of the root window, scaled by the X server (Render).
#pragma once

#include "platform/types.h"

#include <X11/Xlib.h>

namespace kestrove::x11 {

class X11Magnifier {
public:
    // MagInitialize: false when the server lacks what the mirror needs.
    static bool Initialize(Display* display);

    // Creates the child window over `area` of `parent`, mapped.
    X11Magnifier(Display* display, Window parent, const Rect& area);
    ~X11Magnifier();
    X11Magnifier(const X11Magnifier&) = delete;
    X11Magnifier& operator=(const X11Magnifier&) = delete;

    Window window() const { return m_window; }
    void setSource(const Rect& source);
    void setTransform(const MagTransform& transform);
    void move(int x, int y, int width, int height);
    // InvalidateRect: the picture is brought up to date with the source.
    void invalidate();
    // Events for the child window, or the extension events it asked for;
    // true when the event was the magnifier's.
    bool handleEvent(const XEvent& event);

private:
    Display* m_display;
    Window m_window;
    Rect m_source{};
    MagTransform m_transform{};
};

} // namespace kestrove::x11
