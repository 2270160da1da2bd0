// The desktop's accessibility bus, if it has one. Without one the program
// runs exactly as it would without assistive technologies: no bus is started
// for it and nothing is said about it.
#pragma once

#include <X11/Xlib.h>

#include <optional>
#include <string>

namespace kestrove::x11::a11y {

// The accessibility bus's address: AT_SPI_BUS_ADDRESS when set, else the X
// root window's AT_SPI_BUS property, else what the session bus's launcher
// org.a11y.Bus answers (starting it when the session bus can). nullopt with
// NO_AT_BRIDGE=1, without a session bus, or when the launcher does not
// answer within a few seconds.
std::optional<std::string> FindAccessibilityBus(Display* display);

} // namespace kestrove::x11::a11y
