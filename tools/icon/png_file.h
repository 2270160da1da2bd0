// PNG files of 32-bit images, for the icon theme of Linux desktops.
#pragma once

#include "tools/icon/ico_file.h"

#include <cstdint>
#include <vector>

namespace kestrove::icon {

// An RGBA PNG. The image data goes into stored (uncompressed) deflate
// blocks: valid for every reader, and no compression library is needed.
std::vector<std::uint8_t> EncodePng(const SquareImage& image);

} // namespace kestrove::icon
