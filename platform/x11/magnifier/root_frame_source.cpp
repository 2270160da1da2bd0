#include "platform/x11/magnifier/root_frame_source.h"

#include <algorithm>

namespace kestrove::x11 {

namespace {

// Enough for a few windows updating at once; beyond it, just repaint.
constexpr std::size_t kMaxKept = 64;

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
    const Rect& area = m_monitor;
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
    if (changed.left < changed.right && changed.top < changed.bottom) {
        if (m_changed.size() < kMaxKept) {
            m_changed.push_back(changed);
        } else {
            m_overflow = true;
        }
    }
    return true;
}

bool RootFrameSource::takeChanges(const Rect& ignored) {
    const bool changed =
        m_overflow || std::any_of(m_changed.begin(), m_changed.end(),
                                  [&](const Rect& r) { return !Inside(r, ignored); });
    if (!changed && m_reported) {
        discard(); // a repaint would do it
    }
    return changed;
}

void RootFrameSource::discard() {
    XDamageSubtract(m_display, m_damage, None, None);
    m_reported = false;
    m_overflow = false;
    m_changed.clear();
}

} // namespace kestrove::x11
