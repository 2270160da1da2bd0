// What changed on the screen since the mirror last looked: XDamage on the
// root window, which reports drawing in any window. Each newly damaged
// rectangle arrives as an event, so looking costs no round trip.
#pragma once

#include "platform/types.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>

#include <vector>

namespace kestrove::x11 {

class MirrorRootChanges {
public:
    MirrorRootChanges(Display* display, int damageEventBase);
    ~MirrorRootChanges();
    MirrorRootChanges(const MirrorRootChanges&) = delete;
    MirrorRootChanges& operator=(const MirrorRootChanges&) = delete;

    // Notes this tracker's damage reports that touch `area` (root
    // coordinates); true for every report of this tracker.
    bool handleEvent(const XEvent& event, const Rect& area);
    // Whether any report came in since the last look.
    bool pending() const { return m_reported; }
    // True when something noted lies outside `ignored`; otherwise starts over.
    bool takeChanges(const Rect& ignored);
    // Forgets what changed so far: the caller is about to read everything.
    void discard();

private:
    Display* m_display;
    int m_damageEventBase;
    Damage m_damage;
    bool m_reported = false; // reports came in since the damage was last reset
    bool m_overflow = false; // too many rectangles to keep: count it as a change
    std::vector<Rect> m_changed;
};

} // namespace kestrove::x11
