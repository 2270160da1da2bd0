// Where the mirror's picture comes from on this X server. A plain X server's
// root window holds the desktop. XWayland's root holds only the X clients'
// windows, so there the picture must come from the compositor, or there is
// none to show.
#pragma once

#include "platform/x11/magnifier/frame_source.h"

#include <memory>
#include <string>

namespace kestrove::x11 {

struct PictureRoute {
    std::unique_ptr<FrameSource> source; // nullptr: the root window
    // Why no route exists (the source is then blank); empty when one does.
    std::string unavailable;
};

// `parent`: the window the mirror lies in, over which a desktop places the
// consent dialog it may show.
PictureRoute ChoosePictureRoute(Display* display, Window parent);

} // namespace kestrove::x11
