// What the desktop's windows drew, window by window, for a screen that a
// compositing manager composes. There the root window's damage is the
// compositor's output: one that repaints the whole screen for any change
// reports the whole screen after every paint of the mirror, and the mirror's
// repaint of that comes back as the next change, for ever. The windows' own
// damage says what their clients drew, whatever the compositor repaints;
// mapping, moving and restacking a window change what it covers and what it
// uncovers. The root's children are read again only after a structure event
// says they changed, so a still desktop costs no round trip.
#pragma once

#include "platform/compositor/change_list.h"
#include "platform/types.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>

#include <set>
#include <vector>

namespace kestrove::x11 {

class TopLevelDamage {
public:
    // Asks for the root's structure events; they stay asked for, as other
    // parts of this connection may rely on them.
    TopLevelDamage(Display* display, int damageEventBase);
    ~TopLevelDamage();
    TopLevelDamage(const TopLevelDamage&) = delete;
    TopLevelDamage& operator=(const TopLevelDamage&) = delete;

    // Notes a window's report that it drew (true: the event was this
    // one's) and changes of the root's children (never consumed).
    bool handleEvent(const XEvent& event);
    // Whether anything was drawn or moved since the last look.
    bool pending() const { return m_pending; }
    // Adds what the windows drew since the last look to `drawn` (root
    // coordinates, on the server) and what their moves changed to `moved`.
    void take(XserverRegion drawn, ChangeList& moved);
    // Forgets what the windows drew so far (everything is about to be read).
    void discard();

private:
    struct TopLevel {
        Window window;
        Damage damage;
        Rect outer;  // with its border, root coordinates
        int originX; // where its inside starts: damage is reported from there
        int originY;
    };
    void reread(ChangeList& moved);
    void forget(const TopLevel& top);

    Display* m_display;
    Window m_root;
    int m_damageEventBase;
    std::vector<TopLevel> m_windows; // viewable and drawing, bottom to top
    std::set<Window> m_destroyed;    // gone with their damage since the last look
    XserverRegion m_scratch;
    bool m_stale = true;
    bool m_pending = true;
};

} // namespace kestrove::x11
