// The 32-bit pixel formats the portals' back-ends offer (GNOME, KDE and
// wlroots between them send all eight), and how each becomes the one the X
// server reads as it is: in memory blue, green, red, then padding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace kestrove::compositor::portal {

struct PixelLayout {
    // Byte offsets of the colours within a pixel in memory.
    std::uint8_t red = 2;
    std::uint8_t green = 1;
    std::uint8_t blue = 0;
    // Already blue, green, red, padding: handed on without a copy.
    bool native() const { return red == 2 && green == 1 && blue == 0; }
};

// The layout of a PipeWire video format (SPA_VIDEO_FORMAT_*), nothing for a
// format that is not one of the eight.
std::optional<PixelLayout> LayoutOf(std::uint32_t videoFormat);

// The video formats of LayoutOf, the native one first.
extern const std::uint32_t kAcceptedVideoFormats[8];

// Copies `pixels` pixels of layout `from` into blue, green, red, padding.
void ToNative(const std::uint8_t* source, std::uint8_t* target, std::size_t pixels,
              PixelLayout from);

} // namespace kestrove::compositor::portal
