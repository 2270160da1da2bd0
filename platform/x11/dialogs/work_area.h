// The window manager's work area for the current desktop, from the two root
// window properties that publish it (_NET_CURRENT_DESKTOP, _NET_WORKAREA).
#pragma once

#include "platform/types.h"
#include "platform/x11/connection/window_property.h"

#include <optional>

namespace kestrove::x11 {

// Read no more desktops' work areas than this: more is not a real desktop.
inline constexpr std::size_t kMaxDesktops = 1024;

// The current desktop's work area: `areas` holds x, y, width, height per
// desktop and `currentDesktop` one index (desktop 0 when it is missing or
// not one index).
// nullopt when the window manager publishes none or what it publishes does
// not add up: a list that is not whole quadruples, an index outside the list,
// or a rectangle that leaves the coordinate range.
std::optional<Rect> SelectWorkArea(const std::optional<Cardinals>& currentDesktop,
                                   const std::optional<Cardinals>& areas);

// Reads both properties from `root` and selects as above.
std::optional<Rect> ReadWorkArea(Display* display, Window root);

} // namespace kestrove::x11
