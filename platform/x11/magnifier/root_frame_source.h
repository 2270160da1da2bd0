// The frame source of an X server whose root window holds the desktop: the
// root window's picture, with what changed reported by XDamage, which sees
// drawing in any window. Each newly damaged rectangle arrives as an event,
// so looking costs no round trip.
#pragma once

#include "platform/x11/magnifier/frame_source.h"

#include <X11/extensions/Xdamage.h>

#include <vector>

namespace kestrove::x11 {

class RootFrameSource final : public FrameSource {
public:
    // `rootFormat`: the Render format of the root window's visual.
    RootFrameSource(Display* display, int damageEventBase, XRenderPictFormat* rootFormat);
    ~RootFrameSource() override;
    RootFrameSource(const RootFrameSource&) = delete;
    RootFrameSource& operator=(const RootFrameSource&) = delete;

    void setMonitor(const Rect& monitor) override { m_monitor = monitor; }
    // Notes this source's damage reports that touch the monitor.
    bool handleEvent(const XEvent& event) override;
    bool pending() override { return m_reported; }
    bool takeChanges(const Rect& ignored) override;
    void discard() override;

    Picture picture() const override { return m_picture; }
    Rect area() const override { return m_monitor; } // root coordinates are the picture's
    bool includesCursor() const override { return false; }

private:
    Display* m_display;
    int m_damageEventBase;
    Damage m_damage;
    Picture m_picture;
    Rect m_monitor{};
    bool m_reported = false; // reports came in since the damage was last reset
    bool m_overflow = false; // too many rectangles to keep: count it as a change
    std::vector<Rect> m_changed;
};

} // namespace kestrove::x11
