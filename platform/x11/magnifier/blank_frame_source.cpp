#include "platform/x11/magnifier/blank_frame_source.h"

namespace kestrove::x11 {

BlankFrameSource::BlankFrameSource(Display* display)
    : m_display(display), m_pixmap(XCreatePixmap(display, DefaultRootWindow(display), 1, 1, 24)),
      m_picture(XRenderCreatePicture(
          display, m_pixmap, XRenderFindStandardFormat(display, PictStandardRGB24), 0, nullptr)) {
    const XRenderColor black{0, 0, 0, 0xFFFF};
    XRenderFillRectangle(display, PictOpSrc, m_picture, &black, 0, 0, 1, 1);
}

BlankFrameSource::~BlankFrameSource() {
    XRenderFreePicture(m_display, m_picture);
    XFreePixmap(m_display, m_pixmap);
}

} // namespace kestrove::x11
