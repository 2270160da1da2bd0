// A mirror on the monitor it shows shows itself, its copies of itself nested
// towards one point. Where nothing tells its own repaint from others' (a
// compositor's frames), each repaint comes back as a change and is drawn
// again, one level deeper and smaller, until the copies shrink to that point
// and a few pixels there would be redrawn forever. This tells that last echo.
#pragma once

#include "platform/types.h"

#include <vector>

namespace kestrove::x11 {

struct MirrorPlacement {
    Rect source;       // the monitor shown, root coordinates
    Rect window;       // the mirror's window, root coordinates
    double zoom = 0.0; // window pixels per monitor pixel
};

// Whether `change` (root coordinates) is the mirror's own repaint where its
// copies of itself end: a few pixels inside its window, inside an area it
// drew for the frame before (`lastDrawn`, root coordinates), and inside its
// own scaled-down picture of themselves. Drawing such a change again would
// show nothing new. A larger change, one elsewhere, or one that came while
// the mirror drew nothing there, is shown.
bool IsSettledSelfEcho(const Rect& change, const MirrorPlacement& placement,
                       const std::vector<Rect>& lastDrawn);

} // namespace kestrove::x11
