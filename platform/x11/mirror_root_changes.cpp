#include "platform/x11/mirror_root_changes.h"

#include <X11/extensions/Xfixes.h>

namespace kestrove::x11 {

namespace {

XRectangle ToXRectangle(const Rect& r) {
    return XRectangle{static_cast<short>(r.left), static_cast<short>(r.top),
                      static_cast<unsigned short>(r.right > r.left ? r.right - r.left : 0),
                      static_cast<unsigned short>(r.bottom > r.top ? r.bottom - r.top : 0)};
}

} // namespace

MirrorRootChanges::MirrorRootChanges(Display* display, int damageEventBase)
    : m_display(display), m_damageEventBase(damageEventBase),
      // One notice when the damage turns non-empty; the region is fetched
      // when the mirror refreshes, not on every drawing request.
      m_damage(XDamageCreate(display, DefaultRootWindow(display), XDamageReportNonEmpty)),
      m_changed(XFixesCreateRegion(display, nullptr, 0)),
      m_scratch(XFixesCreateRegion(display, nullptr, 0)) {}

MirrorRootChanges::~MirrorRootChanges() {
    XFixesDestroyRegion(m_display, m_scratch);
    XFixesDestroyRegion(m_display, m_changed);
    XDamageDestroy(m_display, m_damage);
}

bool MirrorRootChanges::handleEvent(const XEvent& event) {
    if (event.type != m_damageEventBase + XDamageNotify) {
        return false;
    }
    const auto& notify = reinterpret_cast<const XDamageNotifyEvent&>(event);
    if (notify.damage != m_damage) {
        return false;
    }
    m_pending = true;
    return true;
}

void MirrorRootChanges::discard() {
    XDamageSubtract(m_display, m_damage, None, None);
    m_pending = false;
}

bool MirrorRootChanges::takeChanges(const Rect& area, const Rect& ignored) {
    if (!m_pending) {
        return false;
    }
    m_pending = false;
    XDamageSubtract(m_display, m_damage, None, m_changed);
    XRectangle rect = ToXRectangle(area);
    XFixesSetRegion(m_display, m_scratch, &rect, 1);
    XFixesIntersectRegion(m_display, m_changed, m_changed, m_scratch);
    rect = ToXRectangle(ignored);
    XFixesSetRegion(m_display, m_scratch, &rect, 1);
    XFixesSubtractRegion(m_display, m_changed, m_changed, m_scratch);
    int count = 0;
    XRectangle bounds{};
    XRectangle* rects = XFixesFetchRegionAndBounds(m_display, m_changed, &count, &bounds);
    if (rects != nullptr) {
        XFree(rects);
    }
    return count > 0;
}

} // namespace kestrove::x11
