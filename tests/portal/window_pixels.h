// A window's own pixels, read from the window rather than from the screen:
// XWayland keeps each window's contents apart and its root window shows
// none of them.
#pragma once

#include "tests/harness/x_client.h"

#include <optional>
#include <string>

namespace kestrove::e2e {

// nullopt when the window is gone or unreadable.
std::optional<Image> WindowPixels(const std::string& display, Window window);

} // namespace kestrove::e2e
