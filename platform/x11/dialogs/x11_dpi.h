// The desktop's resolution: dialogs, their fonts and their icons grow with
// it, as they do with the system DPI on Windows for a DPI-aware program.
#pragma once

#include <X11/Xlib.h>

namespace kestrove::x11 {

// From the Xft.dpi resource, which desktop settings and xrdb set on HiDPI
// screens; 96 when it is unset or unusable.
int DesktopDotsPerInch(Display* display);

// The size of an icon (SM_CXICON, SM_CYICON): 32 pixels at 96 DPI.
int IconSize(Display* display);

// MulDiv: a * b / c rounded half away from zero.
int MulDiv(int a, int b, int c);

} // namespace kestrove::x11
