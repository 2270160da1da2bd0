// The frame source of an X server whose root window holds the desktop: the
// root window's picture, with what changed kept by XDamage, which sees
// drawing in any window. The server says once that something changed, not
// at every drawing request (those would wake this process hundreds of times
// a second); what changed is fetched when the mirror looks. The mirror's own
// pixels are left out only where they can be seen: windows stacked above it
// draw into its rectangle too, and those changes are shown.
#pragma once

#include "platform/x11/magnifier/frame_source.h"
#include "platform/x11/magnifier/root_stacking.h"

#include <X11/extensions/Xdamage.h>

namespace kestrove::x11 {

class RootFrameSource final : public FrameSource {
public:
    // `rootFormat`: the Render format of the root window's visual; `mirror`:
    // the window the picture is shown in.
    RootFrameSource(Display* display, int damageEventBase, XRenderPictFormat* rootFormat,
                    Window mirror);
    ~RootFrameSource() override;
    RootFrameSource(const RootFrameSource&) = delete;
    RootFrameSource& operator=(const RootFrameSource&) = delete;

    void setMonitor(const MonitorIdentity& monitor) override { m_monitor = monitor.rect; }
    // Notes this source's report that something changed, and changes of the
    // stacking order.
    bool handleEvent(const XEvent& event) override;
    bool pending() override { return m_reported; }
    FrameChanges takeChanges(const Rect& ownWindow) override;
    void discard() override;

    Picture picture() const override { return m_picture; }
    Rect area() const override { return m_monitor; } // root coordinates are the picture's
    bool includesCursor() const override { return false; }

private:
    Display* m_display;
    int m_damageEventBase;
    Damage m_damage;
    XserverRegion m_taken;   // what the damage held when last looked at
    XserverRegion m_visible; // the part of the mirror's window that can be seen
    RootStacking m_stacking;
    Picture m_picture;
    Rect m_monitor{};
    bool m_reported = false; // something changed since the damage was last reset
};

} // namespace kestrove::x11
