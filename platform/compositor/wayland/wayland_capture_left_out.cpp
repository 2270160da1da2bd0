// The wlroots capture route in a build that leaves it out: the mirror then
// says why it has no picture, as on a compositor that offers no capture.
#include "platform/compositor/wayland/wayland_frame_capture.h"

namespace kestrove::compositor::wayland {

std::unique_ptr<FrameCapture> OpenWaylandCapture(std::string& reason) {
    reason = "this Kestrove is built without capture on wlroots desktops "
             "(KESTROVE_WLROOTS_CAPTURE=OFF)";
    return nullptr;
}

} // namespace kestrove::compositor::wayland
