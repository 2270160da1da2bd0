// Where the mirror's picture goes in the client area. The program sizes the
// window to the monitor's shape and scales the monitor to its width; a
// window manager may not give it that shape (a tiling layout, a maximised
// window, a refused size). The whole monitor is then still shown: fitted
// inside the area and centred, the rest left to the window's background.
#pragma once

#include "platform/types.h"

namespace kestrove::x11 {

struct FittedPicture {
    Rect window; // the magnifier's window, in the client area's coordinates
    double zoom; // window pixels per monitor pixel
};

// The picture of a sourceWidth x sourceHeight monitor at `zoom` in `area`.
// Where it fits within a pixel (the window has the monitor's shape, or a
// size rounded to it) it fills the area at `zoom`, unchanged; otherwise it
// is made smaller to fit and centred.
FittedPicture FitPicture(const Rect& area, int sourceWidth, int sourceHeight, double zoom);

} // namespace kestrove::x11
