#include "platform/x11/magnifier/root_frame_source.h"

#include "platform/change_list.h"

#include <X11/extensions/Xfixes.h>

namespace kestrove::x11 {

namespace {

XRectangle ToX(const Rect& r) {
    return XRectangle{static_cast<short>(r.left), static_cast<short>(r.top),
                      static_cast<unsigned short>(r.right - r.left),
                      static_cast<unsigned short>(r.bottom - r.top)};
}

} // namespace

RootFrameSource::RootFrameSource(Display* display, int damageEventBase,
                                 XRenderPictFormat* rootFormat, Window mirror)
    : m_display(display), m_damageEventBase(damageEventBase),
      // One report when the damage stops being empty; the next after it is reset.
      m_damage(XDamageCreate(display, DefaultRootWindow(display), XDamageReportNonEmpty)),
      m_taken(XFixesCreateRegion(display, nullptr, 0)),
      m_visible(XFixesCreateRegion(display, nullptr, 0)), m_stacking(display, mirror) {
    XRenderPictureAttributes attributes{};
    attributes.subwindow_mode = IncludeInferiors; // the screen as shown
    m_picture = XRenderCreatePicture(display, DefaultRootWindow(display), rootFormat,
                                     CPSubwindowMode, &attributes);
}

RootFrameSource::~RootFrameSource() {
    XRenderFreePicture(m_display, m_picture);
    XFixesDestroyRegion(m_display, m_visible);
    XFixesDestroyRegion(m_display, m_taken);
    XDamageDestroy(m_display, m_damage);
}

bool RootFrameSource::handleEvent(const XEvent& event) {
    m_stacking.handleEvent(event);
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

FrameChanges RootFrameSource::takeChanges(const Rect& ownWindow) {
    // The damage moves into m_taken in one step on the server: a change made
    // after it is reported afresh, none falls between.
    XDamageSubtract(m_display, m_damage, None, m_taken);
    m_reported = false;
    // What the mirror drew where it can be seen is its own picture: counting
    // it would repaint forever. Judged now, where the mirror is now: a moved
    // mirror leaves behind what it covered. The region arithmetic runs on
    // the server, without a round trip of its own.
    if (!IsEmpty(ownWindow)) {
        XRectangle own = ToX(ownWindow);
        XFixesSetRegion(m_display, m_visible, &own, 1);
        std::vector<XRectangle> cover;
        for (const Rect& r : m_stacking.coverAbove()) {
            if (!IsEmpty(Intersection(r, ownWindow))) {
                cover.push_back(ToX(Intersection(r, ownWindow)));
            }
        }
        if (!cover.empty()) {
            const XserverRegion above =
                XFixesCreateRegion(m_display, cover.data(), static_cast<int>(cover.size()));
            XFixesSubtractRegion(m_display, m_visible, m_visible, above);
            XFixesDestroyRegion(m_display, above);
        }
        XFixesSubtractRegion(m_display, m_taken, m_taken, m_visible);
    }
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
    FrameChanges changes;
    changes.all = changed.everything();
    changes.rects = changed.rects();
    return changes;
}

void RootFrameSource::discard() {
    XDamageSubtract(m_display, m_damage, None, None);
    m_reported = false;
}

} // namespace kestrove::x11
