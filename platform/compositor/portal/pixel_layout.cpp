#include "platform/compositor/portal/pixel_layout.h"

#include <spa/param/video/raw.h>

#include <cstring>

namespace kestrove::compositor::portal {

const std::uint32_t kAcceptedVideoFormats[8] = {
    SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRA, SPA_VIDEO_FORMAT_RGBx, SPA_VIDEO_FORMAT_RGBA,
    SPA_VIDEO_FORMAT_xRGB, SPA_VIDEO_FORMAT_ARGB, SPA_VIDEO_FORMAT_xBGR, SPA_VIDEO_FORMAT_ABGR,
};

// PipeWire names formats by their bytes in memory, first byte first.
std::optional<PixelLayout> LayoutOf(std::uint32_t videoFormat) {
    switch (videoFormat) {
    case SPA_VIDEO_FORMAT_BGRx:
    case SPA_VIDEO_FORMAT_BGRA:
        return PixelLayout{2, 1, 0};
    case SPA_VIDEO_FORMAT_RGBx:
    case SPA_VIDEO_FORMAT_RGBA:
        return PixelLayout{0, 1, 2};
    case SPA_VIDEO_FORMAT_xRGB:
    case SPA_VIDEO_FORMAT_ARGB:
        return PixelLayout{1, 2, 3};
    case SPA_VIDEO_FORMAT_xBGR:
    case SPA_VIDEO_FORMAT_ABGR:
        return PixelLayout{3, 2, 1};
    default:
        return std::nullopt;
    }
}

void ToNative(const std::uint8_t* source, std::uint8_t* target, std::size_t pixels,
              PixelLayout from) {
    if (from.native()) {
        std::memcpy(target, source, pixels * 4);
        return;
    }
    for (std::size_t i = 0; i < pixels; ++i, source += 4, target += 4) {
        target[0] = source[from.blue];
        target[1] = source[from.green];
        target[2] = source[from.red];
        target[3] = 0xFF;
    }
}

} // namespace kestrove::compositor::portal
