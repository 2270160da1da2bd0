// What changed on the screen since the mirror last looked: XDamage on the
// root window, which reports drawing in any window.
#pragma once

#include "platform/types.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>

namespace kestrove::x11 {

class MirrorRootChanges {
public:
    MirrorRootChanges(Display* display, int damageEventBase);
    ~MirrorRootChanges();
    MirrorRootChanges(const MirrorRootChanges&) = delete;
    MirrorRootChanges& operator=(const MirrorRootChanges&) = delete;

    // True for this tracker's damage notices.
    bool handleEvent(const XEvent& event);
    // Whether anything may have changed since the last look.
    bool pending() const { return m_pending; }
    // Takes what changed so far; true when some of it lies in `area` but
    // outside `ignored` (root coordinates).
    bool takeChanges(const Rect& area, const Rect& ignored);
    // Forgets what changed so far: the caller is about to read everything.
    void discard();

private:
    Display* m_display;
    int m_damageEventBase;
    Damage m_damage;
    XserverRegion m_changed;
    XserverRegion m_scratch;
    bool m_pending = true; // nothing is known before the first look
};

} // namespace kestrove::x11
