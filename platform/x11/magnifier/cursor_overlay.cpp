#include "platform/x11/magnifier/cursor_overlay.h"

#include "platform/x11/magnifier/render_scaler.h"
#include "platform/x11/magnifier/scale_plan.h"

#include <X11/Xutil.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/Xfixes.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace kestrove::x11 {

namespace {

// Raw motion misses warps (a program moving the pointer): look anyway every
// this many refreshes.
constexpr int kLooksBetweenChecks = 20;

// The image's size at `zoom`. Requests carry 16-bit sizes; a cursor that
// large covers the picture anyway.
int ScaledExtent(int size, double zoom) {
    return static_cast<int>(std::min(std::ceil(size * zoom), 32767.0));
}

} // namespace

CursorOverlay::CursorOverlay(Display* display, int fixesEventBase, int inputOpcode)
    : m_display(display), m_fixesEventBase(fixesEventBase), m_inputOpcode(inputOpcode),
      m_scaler(
          std::make_unique<RenderScaler>(display, DefaultRootWindow(display), 32,
                                         XRenderFindStandardFormat(display, PictStandardARGB32))) {
    XFixesSelectCursorInput(m_display, DefaultRootWindow(m_display), XFixesDisplayCursorNotifyMask);
}

CursorOverlay::~CursorOverlay() {
    watchMotion(false);
    releaseImage();
    m_scaler.reset();
}

// Raw motion goes to the root whatever window the pointer is in. One event
// is enough until the next look, so the watch stops at the first: moving the
// mouse costs at most one wake-up per refresh.
void CursorOverlay::watchMotion(bool watch) {
    if (m_inputOpcode == 0 || watch == m_watchingMotion) {
        return;
    }
    unsigned char mask[XIMaskLen(XI_RawMotion)] = {};
    if (watch) {
        XISetMask(mask, XI_RawMotion);
    }
    XIEventMask events{XIAllMasterDevices, static_cast<int>(sizeof mask), mask};
    XISelectEvents(m_display, DefaultRootWindow(m_display), &events, 1);
    m_watchingMotion = watch;
}

void CursorOverlay::releaseScaled() {
    if (m_scaled != None) {
        XRenderFreePicture(m_display, m_scaled);
        XFreePixmap(m_display, m_scaledPixmap);
        m_scaled = None;
        m_scaledPixmap = None;
    }
    m_scaledZoom = 0;
}

bool CursorOverlay::scaleImage(double zoom) {
    if (m_scaled != None && m_scaledZoom == zoom) {
        return true;
    }
    releaseScaled();
    const int width = ScaledExtent(m_width, zoom);
    const int height = ScaledExtent(m_height, zoom);
    std::vector<ScaleStep> plan = PlanScaling(m_width, m_height, zoom, width, height);
    if (plan.empty()) {
        return false;
    }
    m_scaledPixmap = XCreatePixmap(m_display, DefaultRootWindow(m_display),
                                   static_cast<unsigned>(width), static_cast<unsigned>(height), 32);
    m_scaled =
        XRenderCreatePicture(m_display, m_scaledPixmap,
                             XRenderFindStandardFormat(m_display, PictStandardARGB32), 0, nullptr);
    m_scaler->setPlan(std::move(plan));
    m_scaler->render(m_picture, 0, 0, m_scaled);
    m_scaledZoom = zoom;
    return true;
}

void CursorOverlay::releaseImage() {
    releaseScaled();
    if (m_picture != None) {
        XRenderFreePicture(m_display, m_picture);
        m_picture = None;
    }
    if (m_pixmap != None) {
        XFreePixmap(m_display, m_pixmap);
        m_pixmap = None;
    }
}

void CursorOverlay::handleEvent(const XEvent& event) {
    if (event.type == m_fixesEventBase + XFixesCursorNotify) {
        const auto& notify = reinterpret_cast<const XFixesCursorNotifyEvent&>(event);
        m_serial = notify.cursor_serial;
        m_imageStale = true;
        m_lookAgain = true;
    } else if (m_inputOpcode != 0 && event.type == GenericEvent &&
               event.xcookie.extension == m_inputOpcode && event.xcookie.evtype == XI_RawMotion) {
        m_lookAgain = true;
        watchMotion(false);
    }
}

bool CursorOverlay::dueForLocate() {
    return m_inputOpcode == 0 || m_lookAgain || ++m_quietLooks >= kLooksBetweenChecks;
}

bool CursorOverlay::loadImage() {
    XFixesCursorImage* image = XFixesGetCursorImage(m_display);
    if (image == nullptr) {
        return false;
    }
    releaseImage();
    m_width = image->width;
    m_height = image->height;
    m_hotX = image->xhot;
    m_hotY = image->yhot;
    m_imageSerial = image->cursor_serial;
    m_serial = image->cursor_serial;
    if (m_width > 0 && m_height > 0) {
        // The pixels come as longs; the picture wants 32-bit premultiplied ARGB.
        std::vector<std::uint32_t> pixels(static_cast<std::size_t>(m_width) * m_height);
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            pixels[i] = static_cast<std::uint32_t>(image->pixels[i]);
        }
        Window root = DefaultRootWindow(m_display);
        m_pixmap = XCreatePixmap(m_display, root, static_cast<unsigned>(m_width),
                                 static_cast<unsigned>(m_height), 32);
        XImage* upload =
            XCreateImage(m_display, nullptr, 32, ZPixmap, 0, reinterpret_cast<char*>(pixels.data()),
                         static_cast<unsigned>(m_width), static_cast<unsigned>(m_height), 32, 0);
        GC gc = XCreateGC(m_display, m_pixmap, 0, nullptr);
        XPutImage(m_display, m_pixmap, gc, upload, 0, 0, 0, 0, static_cast<unsigned>(m_width),
                  static_cast<unsigned>(m_height));
        XFreeGC(m_display, gc);
        upload->data = nullptr; // the vector owns the pixels
        XDestroyImage(upload);
        m_picture = XRenderCreatePicture(m_display, m_pixmap,
                                         XRenderFindStandardFormat(m_display, PictStandardARGB32),
                                         0, nullptr);
    }
    XFree(image);
    m_imageStale = false;
    return true;
}

bool CursorOverlay::visibleIn(const Shown& state, const Rect& source) const {
    if (!state.visible) {
        return false;
    }
    // The image may not be known yet: a generous box around the hot spot.
    const int width = m_width > 0 ? m_width : 64;
    const int height = m_height > 0 ? m_height : 64;
    const int left = state.x - m_hotX;
    const int top = state.y - m_hotY;
    return left < source.right && left + width > source.left && top < source.bottom &&
           top + height > source.top;
}

void CursorOverlay::pointerAt(int x, int y, bool visible) {
    m_now = Shown{x, y, m_serial, visible};
    m_lookAgain = false;
    m_quietLooks = 0;
    watchMotion(true);
}

bool CursorOverlay::changedIn(const Rect& source) const {
    const bool was = visibleIn(m_drawn, source);
    const bool is = visibleIn(m_now, source);
    if (!was && !is) {
        return false;
    }
    return was != is || m_now.x != m_drawn.x || m_now.y != m_drawn.y ||
           m_now.serial != m_drawn.serial;
}

void CursorOverlay::draw(Picture target, const Rect& source, double zoom) {
    m_drawn = m_now;
    if (!visibleIn(m_now, source) || !std::isfinite(zoom) || zoom <= 0.0) {
        return;
    }
    if (m_imageStale && !loadImage()) {
        return;
    }
    m_drawn.serial = m_imageSerial;
    if (m_picture == None || !scaleImage(zoom)) {
        return;
    }
    const Rect area = targetArea(m_now, source, zoom);
    XRenderComposite(m_display, PictOpOver, m_scaled, None, target, 0, 0, 0, 0, area.left, area.top,
                     static_cast<unsigned>(area.right - area.left),
                     static_cast<unsigned>(area.bottom - area.top));
}

Rect CursorOverlay::targetArea(const Shown& state, const Rect& source, double zoom) const {
    const int x = static_cast<int>(std::lround((state.x - m_hotX - source.left) * zoom));
    const int y = static_cast<int>(std::lround((state.y - m_hotY - source.top) * zoom));
    return Rect{x, y, x + ScaledExtent(m_width, zoom), y + ScaledExtent(m_height, zoom)};
}

Rect CursorOverlay::drawnArea(const Rect& source, double zoom) const {
    if (m_picture == None || !visibleIn(m_drawn, source) || !std::isfinite(zoom) || zoom <= 0.0) {
        return Rect{};
    }
    return targetArea(m_drawn, source, zoom);
}

} // namespace kestrove::x11
