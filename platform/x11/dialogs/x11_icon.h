// Icons on X11: the window manager's _NET_WM_ICON and drawing an icon
// group's 32-pixel image into a window.
#pragma once

#include "platform/x11/connection/x11_atoms.h"
#include "res/icon_images.h"

#include <X11/Xlib.h>

#include <span>

namespace kestrove::x11 {

// _NET_WM_ICON with every image of the group; none for an empty group.
void SetWindowIcon(Display* display, const Atoms& atoms, Window window,
                   std::span<const res::IconImage> group);

// Draws the group's image at `size` pixels with (x, y) as its top-left
// corner, blended over what is there; nothing when the group has none.
void DrawIcon(Display* display, int screen, Drawable drawable, int x, int y, int size,
              std::span<const res::IconImage> group);

} // namespace kestrove::x11
