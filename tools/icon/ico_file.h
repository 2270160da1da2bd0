// The Windows icon file format (.ico) with 32-bit images.
#pragma once

#include <cstdint>
#include <vector>

namespace kestrove::icon {

struct SquareImage {
    int size;                        // 1 .. 256
    std::vector<std::uint32_t> argb; // rows top to bottom, straight alpha
};

// One directory entry per image, each a 32 bpp DIB with its AND mask.
std::vector<std::uint8_t> EncodeIco(const std::vector<SquareImage>& images);

} // namespace kestrove::icon
