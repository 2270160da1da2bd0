#include "platform/x11/magnifier/root_frame_source.h"

#include "platform/x11/magnifier/change_list.h"

#include <X11/extensions/Xfixes.h>

namespace kestrove::x11 {

namespace {

bool Inside(const Rect& inner, const Rect& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

} // namespace

RootFrameSource::RootFrameSource(Display* display, int damageEventBase,
                                 XRenderPictFormat* rootFormat)
    : m_display(display), m_damageEventBase(damageEventBase),
      // One report when the damage stops being empty; the next after it is reset.
      m_damage(XDamageCreate(display, DefaultRootWindow(display), XDamageReportNonEmpty)),
      m_taken(XFixesCreateRegion(display, nullptr, 0)) {
    XRenderPictureAttributes attributes{};
    attributes.subwindow_mode = IncludeInferiors; // the screen as shown
    m_picture = XRenderCreatePicture(display, DefaultRootWindow(display), rootFormat,
                                     CPSubwindowMode, &attributes);
}

RootFrameSource::~RootFrameSource() {
    XRenderFreePicture(m_display, m_picture);
    XFixesDestroyRegion(m_display, m_taken);
    XDamageDestroy(m_display, m_damage);
}

bool RootFrameSource::handleEvent(const XEvent& event) {
    if (event.type != m_damageEventBase + XDamageNotify) {
        return false;
    }
    const auto& notify = reinterpret_cast<const XDamageNotifyEvent&>(event);
    if (notify.damage != m_damage) {
        return false;
    }
    m_reported = true;
    return true;
}

FrameChanges RootFrameSource::takeChanges(const Rect& ignored) {
    // The damage moves into m_taken in one step on the server: a change made
    // after it is reported afresh, none falls between.
    XDamageSubtract(m_display, m_damage, None, m_taken);
    m_reported = false;
    int count = 0;
    XRectangle* taken = XFixesFetchRegion(m_display, m_taken, &count);
    // The edge pixels of the picture blend in the screen's pixels just
    // beyond the monitor: those count as well.
    const Rect area{m_monitor.left - 1, m_monitor.top - 1, m_monitor.right + 1,
                    m_monitor.bottom + 1};
    ChangeList changed;
    for (int i = 0; i < count; ++i) {
        const XRectangle& r = taken[i];
        changed.add(Intersection(Rect{r.x, r.y, r.x + r.width, r.y + r.height}, area));
    }
    if (taken != nullptr) {
        XFree(taken);
    }
    // Judged now, where the mirror is now: a moved mirror leaves behind
    // what it covered.
    FrameChanges changes;
    changes.all = changed.everything();
    for (const Rect& r : changed.rects()) {
        if (!Inside(r, ignored)) {
            changes.rects.push_back(r);
        }
    }
    return changes;
}

void RootFrameSource::discard() {
    XDamageSubtract(m_display, m_damage, None, None);
    m_reported = false;
}

} // namespace kestrove::x11
