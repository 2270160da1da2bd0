// The application icon (icon group 128) on X11: the window manager's
// _NET_WM_ICON and drawing the 32-pixel image into a window.
#pragma once

#include "platform/x11/x11_atoms.h"

#include <X11/Xlib.h>

namespace kestrove::x11 {

constexpr int kIconSize = 32; // SM_CXICON, SM_CYICON

// _NET_WM_ICON with every image of the group.
void SetWindowIcon(Display* display, const Atoms& atoms, Window window);

// Draws the 32-pixel image with (x, y) as its top-left corner, blended over
// what is there.
void DrawIcon(Display* display, int screen, Drawable drawable, int x, int y);

} // namespace kestrove::x11
