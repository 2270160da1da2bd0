// Which parts of the screen the windows stacked above the mirror cover, from
// the X stacking order. The root's children are read again only after a
// structure event says they changed (a window mapped, moved, restacked...),
// so a still desktop costs no round trip.
#pragma once

#include "platform/types.h"

#include <X11/Xlib.h>

#include <vector>

namespace kestrove::x11 {

class RootStacking {
public:
    // `mirror`: the mirror's own window, at any depth below the root. Asks
    // for the root's structure events; they stay asked for, as another
    // mirror of this connection may rely on them.
    RootStacking(Display* display, Window mirror);

    // Notes a change of the root's children; never consumes the event.
    void handleEvent(const XEvent& event);
    // The rectangles (root coordinates) of the mapped, drawing windows above
    // the top-level window that holds the mirror.
    const std::vector<Rect>& coverAbove();

private:
    void reread();
    // The root's child that holds the mirror (the window manager's frame,
    // or the mirror's own top-level window); None when it is gone.
    Window findTopLevel() const;

    Display* m_display;
    Window m_root;
    Window m_mirror;
    bool m_stale = true;
    std::vector<Rect> m_cover;
};

} // namespace kestrove::x11
