// Drawing the dialogs' own parts with core X requests: the colours of the
// Windows classic dialog look, filled rectangles and frames.
#pragma once

#include <X11/Xlib.h>

namespace kestrove::x11 {

namespace colors {
constexpr unsigned long kDialogFace = 0xF0F0F0;
constexpr unsigned long kText = 0x000000;
constexpr unsigned long kButtonFace = 0xE1E1E1;
constexpr unsigned long kButtonBorder = 0xADADAD;
constexpr unsigned long kDefaultButtonBorder = 0x0078D7;
constexpr unsigned long kMenuFace = 0xF2F2F2;
constexpr unsigned long kMenuBorder = 0x979797;
constexpr unsigned long kMenuHighlight = 0x91C9F7;
constexpr unsigned long kSeparator = 0xD7D7D7;
constexpr unsigned long kFocusDots = 0x000000;
} // namespace colors

// The pixel value of a 0xRRGGBB colour on the screen's default visual.
unsigned long PixelOf(Display* display, int screen, unsigned long rgb);

void FillRect(Display* display, int screen, Drawable drawable, int x, int y, int width, int height,
              unsigned long rgb);
// A one-pixel frame just inside the rectangle.
void DrawFrame(Display* display, int screen, Drawable drawable, int x, int y, int width, int height,
               unsigned long rgb);

// The dotted rectangle of the control with the keyboard focus.
void DrawFocusRect(Display* display, int screen, Drawable drawable, int x, int y, int width,
                   int height);

} // namespace kestrove::x11
