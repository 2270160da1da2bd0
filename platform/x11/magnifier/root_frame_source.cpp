#include "platform/x11/magnifier/root_frame_source.h"

#include "platform/compositor/change_list.h"

#include <X11/extensions/Xfixes.h>

#include <string>
#include <utility>

namespace kestrove::x11 {

namespace {

// The selection a compositing manager holds for the screen (EWMH).
Atom CompositorSelection(Display* display) {
    const std::string name = "_NET_WM_CM_S" + std::to_string(DefaultScreen(display));
    return XInternAtom(display, name.c_str(), False);
}

} // namespace

RootFrameSource::RootFrameSource(Display* display, int damageEventBase,
                                 XRenderPictFormat* rootFormat)
    : m_display(display), m_damageEventBase(damageEventBase),
      m_compositorSelection(CompositorSelection(display)),
      // One report when the damage stops being empty; the next after it is reset.
      m_damage(XDamageCreate(display, DefaultRootWindow(display), XDamageReportNonEmpty)),
      m_taken(XFixesCreateRegion(display, nullptr, 0)) {
    XRenderPictureAttributes attributes{};
    attributes.subwindow_mode = IncludeInferiors; // the screen as shown
    m_picture = XRenderCreatePicture(display, DefaultRootWindow(display), rootFormat,
                                     CPSubwindowMode, &attributes);
    int errorBase = 0;
    XFixesQueryExtension(display, &m_fixesEventBase, &errorBase);
    XFixesSelectSelectionInput(display, DefaultRootWindow(display), m_compositorSelection,
                               XFixesSetSelectionOwnerNotifyMask |
                                   XFixesSelectionWindowDestroyNotifyMask |
                                   XFixesSelectionClientCloseNotifyMask);
    setComposited(XGetSelectionOwner(display, m_compositorSelection) != None);
}

RootFrameSource::~RootFrameSource() {
    m_windows.reset();
    XRenderFreePicture(m_display, m_picture);
    XFixesDestroyRegion(m_display, m_taken);
    XDamageDestroy(m_display, m_damage);
}

void RootFrameSource::setComposited(bool composited) {
    if (composited == (m_windows != nullptr)) {
        return;
    }
    m_windows =
        composited ? std::make_unique<TopLevelDamage>(m_display, m_damageEventBase) : nullptr;
    // The screen is another one's now: all of it is read once.
    m_reported = true;
}

bool RootFrameSource::pending() {
    if (m_reported) {
        return true;
    }
    // What a window drew is read from the screen once the compositor has
    // put it there: read before, the picture would keep the old pixels
    // (the mirror's own copy of itself most of all, which is drawn once).
    return m_windows && m_windows->pending() &&
           (m_composedSinceDrawn || Clock::now() - m_drawnAt >= kCompositorLag);
}

bool RootFrameSource::handleEvent(const XEvent& event) {
    if (m_windows) {
        const bool taken = m_windows->handleEvent(event);
        if (m_windows->pending() && (taken || event.xany.window == DefaultRootWindow(m_display))) {
            // A window drew or moved: the compositor's next repaint is
            // awaited, and the root's damage is reset to report it.
            m_composedSinceDrawn = false;
            m_drawnAt = Clock::now();
            XDamageSubtract(m_display, m_damage, None, None);
        }
        if (taken) {
            return true;
        }
    }
    if (event.type == m_fixesEventBase + XFixesSelectionNotify) {
        const auto& notify = reinterpret_cast<const XFixesSelectionNotifyEvent&>(event);
        if (notify.selection != m_compositorSelection) {
            return false;
        }
        setComposited(notify.subtype == XFixesSetSelectionOwnerNotify && notify.owner != None);
        return true;
    }
    if (event.type != m_damageEventBase + XDamageNotify) {
        return false;
    }
    const auto& notify = reinterpret_cast<const XDamageNotifyEvent&>(event);
    if (notify.damage != m_damage) {
        return false;
    }
    // Under a compositor the root's damage is its repaint, not news: it
    // says only that what the windows drew is on the screen now.
    if (m_windows) {
        m_composedSinceDrawn = true;
    } else {
        m_reported = true;
    }
    return true;
}

ChangeList RootFrameSource::takeChanges(const Rect&) {
    ChangeList moved;
    // The damage moves into m_taken in one step on the server: a change made
    // after it is reported afresh, none falls between.
    if (m_windows) {
        XFixesSetRegion(m_display, m_taken, nullptr, 0);
        m_windows->take(m_taken, moved);
    } else {
        XDamageSubtract(m_display, m_damage, None, m_taken);
    }
    ChangeList changed;
    if (std::exchange(m_reported, false) && m_windows) {
        changed.addEverything();
    }
    int count = 0;
    XRectangle* taken = XFixesFetchRegion(m_display, m_taken, &count);
    // The edge pixels of the picture blend in the screen's pixels just
    // beyond the monitor: those count as well.
    const Rect area{m_monitor.left - 1, m_monitor.top - 1, m_monitor.right + 1,
                    m_monitor.bottom + 1};
    for (int i = 0; i < count; ++i) {
        const XRectangle& r = taken[i];
        changed.add(Intersection(Rect{r.x, r.y, r.x + r.width, r.y + r.height}, area));
    }
    if (taken != nullptr) {
        XFree(taken);
    }
    if (moved.everything()) {
        changed.addEverything();
    }
    for (const Rect& r : moved.rects()) {
        changed.add(Intersection(r, area));
    }
    return changed;
}

void RootFrameSource::discard() {
    if (m_windows) {
        m_windows->discard();
    } else {
        XDamageSubtract(m_display, m_damage, None, None);
    }
    m_reported = false;
}

} // namespace kestrove::x11
