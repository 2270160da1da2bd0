// The screen-cast portal route in a build that leaves it out: the mirror
// then says why it has no picture, as on a desktop without a portal.
#include "platform/compositor/portal/portal_frame_capture.h"

namespace kestrove::compositor::portal {

std::unique_ptr<FrameCapture> OpenPortalCapture(const std::string& /*parentWindow*/,
                                                std::string& reason) {
    reason = "this Kestrove is built without the screen-cast portal "
             "(KESTROVE_PORTAL_CAPTURE=OFF)";
    return nullptr;
}

} // namespace kestrove::compositor::portal
