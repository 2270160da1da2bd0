// Renders the icon described in res/icon/ at one size.
#pragma once

#include <cstdint>
#include <vector>

namespace kestrove::icon {

// size * size pixels, rows top to bottom, 0xAARRGGBB with straight alpha.
std::vector<std::uint32_t> RenderIcon(int size);

} // namespace kestrove::icon
