// Whether the desktop has an accessibility bus to join. Without one the
// program runs exactly as it would without assistive technologies: no bus
// is started for it and nothing is said about it.
#pragma once

#include <X11/Xlib.h>

namespace kestrove::x11::a11y {

// True when AT_SPI_BUS_ADDRESS names a bus, the X root window carries the
// AT_SPI_BUS property, or the session bus has (or can start) the
// accessibility bus launcher org.a11y.Bus. False with NO_AT_BRIDGE=1, and
// when there is no session bus to ask.
bool AccessibilityBusAvailable(Display* display);

} // namespace kestrove::x11::a11y
