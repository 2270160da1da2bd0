#include "platform/x11/magnifier/root_frame_source.h"

#include <algorithm>

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
      // One report per rectangle not yet in the damage region: the region is
      // reset after each look, so every change is reported once.
      m_damage(XDamageCreate(display, DefaultRootWindow(display), XDamageReportDeltaRectangles)) {
    XRenderPictureAttributes attributes{};
    attributes.subwindow_mode = IncludeInferiors; // the screen as shown
    m_picture = XRenderCreatePicture(display, DefaultRootWindow(display), rootFormat,
                                     CPSubwindowMode, &attributes);
}

RootFrameSource::~RootFrameSource() {
    XRenderFreePicture(m_display, m_picture);
    XDamageDestroy(m_display, m_damage);
}

bool RootFrameSource::handleEvent(const XEvent& event) {
    // The edge pixels of the picture blend in the screen's pixels just
    // beyond the monitor: those count as well.
    const Rect area{m_monitor.left - 1, m_monitor.top - 1, m_monitor.right + 1,
                    m_monitor.bottom + 1};
    if (event.type != m_damageEventBase + XDamageNotify) {
        return false;
    }
    const auto& notify = reinterpret_cast<const XDamageNotifyEvent&>(event);
    if (notify.damage != m_damage) {
        return false;
    }
    m_reported = true;
    const Rect changed{std::max<int>(notify.area.x, area.left),
                       std::max<int>(notify.area.y, area.top),
                       std::min<int>(notify.area.x + notify.area.width, area.right),
                       std::min<int>(notify.area.y + notify.area.height, area.bottom)};
    if (!IsEmpty(changed)) {
        m_changed.add(changed);
    }
    return true;
}

FrameChanges RootFrameSource::takeChanges(const Rect& ignored) {
    // Judged now, where the mirror is now: a moved mirror leaves behind
    // what it covered.
    FrameChanges changes;
    changes.all = m_changed.everything();
    for (const Rect& r : m_changed.rects()) {
        if (!Inside(r, ignored)) {
            changes.rects.push_back(r);
        }
    }
    if (!changes.any() && m_reported) {
        discard(); // a repaint would do it
    }
    return changes;
}

void RootFrameSource::discard() {
    XDamageSubtract(m_display, m_damage, None, None);
    m_reported = false;
    m_changed.clear();
}

} // namespace kestrove::x11
