// The frame source of an X server whose root window holds the desktop: the
// root window's picture, with what changed kept by XDamage, which sees
// drawing in any window. The server says once that something changed, not
// at every drawing request (those would wake this process hundreds of times
// a second); what changed is fetched when the mirror looks.
//
// The mirror's own paint is a change like any other: where the mirror shows
// its own window, the copy of itself in its picture is kept current, one
// level deeper each refresh, until the copies end in a few pixels that the
// mirror recognises as its settled echo (self_echo.h).
//
// Under a compositing manager the root's damage is the compositor's output,
// which may be the whole screen for any change: there the changes come from
// the windows themselves (top_level_damage.h).
#pragma once

#include "platform/x11/connection/x11_timers.h"
#include "platform/x11/magnifier/frame_source.h"
#include "platform/x11/magnifier/top_level_damage.h"

#include <X11/extensions/Xdamage.h>

#include <memory>

namespace kestrove::x11 {

class RootFrameSource final : public FrameSource {
public:
    // `rootFormat`: the Render format of the root window's visual.
    RootFrameSource(Display* display, int damageEventBase, XRenderPictFormat* rootFormat);
    ~RootFrameSource() override;
    RootFrameSource(const RootFrameSource&) = delete;
    RootFrameSource& operator=(const RootFrameSource&) = delete;

    void setMonitor(const MonitorIdentity& monitor) override { m_monitor = monitor.rect; }
    // Notes this source's reports that something changed, and a compositing
    // manager coming or going.
    bool handleEvent(const XEvent& event) override;
    bool pending() override;
    ChangeList takeChanges(const Rect& ownWindow) override;
    void discard() override;

    Picture picture() const override { return m_picture; }
    Rect area() const override { return m_monitor; } // root coordinates are the picture's
    bool includesCursor() const override { return false; }

private:
    // Follows whether a compositing manager composes the screen.
    void setComposited(bool composited);

    Display* m_display;
    int m_damageEventBase;
    int m_fixesEventBase = 0;
    Atom m_compositorSelection;
    Damage m_damage;
    XserverRegion m_taken;                     // what the damage held when last looked at
    std::unique_ptr<TopLevelDamage> m_windows; // while a compositor runs
    Picture m_picture;
    Rect m_monitor{};
    bool m_reported = false; // the root's damage reported, or everything must be read
    // Under a compositor: whether it repainted since a window last drew,
    // and when that was. A compositor that repaints nothing of a drawing
    // (the window is hidden) is waited for no longer than kCompositorLag.
    static constexpr auto kCompositorLag = std::chrono::milliseconds{100};
    bool m_composedSinceDrawn = true;
    Clock::time_point m_drawnAt{};
};

} // namespace kestrove::x11
