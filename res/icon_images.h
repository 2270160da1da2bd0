// The images of the program's icon group, generated at build time from
// res/icon/, as the X11 side hands them to the window manager (_NET_WM_ICON).
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace kestrove::res {

// Square sizes in pixels, smallest first.
inline constexpr std::array<int, 8> kIconSizes{16, 24, 32, 48, 64, 96, 128, 256};

struct IconImage {
    int size;                  // width and height
    const std::uint32_t* argb; // size * size pixels, rows top to bottom, alpha not premultiplied
};

extern const std::array<IconImage, kIconSizes.size()> kIconImages;

// The images of icon group `id`; empty when there is no such group.
std::span<const IconImage> FindIconGroup(int id);

} // namespace kestrove::res
