#include "platform/compositor/portal/pixel_layout.h"

#include <spa/param/video/raw.h>

#include <gtest/gtest.h>

#include <array>

namespace kestrove::compositor::portal {
namespace {

// One pixel of red 0x11, green 0x22, blue 0x33 (alpha or padding 0x44) as
// each format stores it, first byte first; every one becomes blue, green,
// red, padding.
struct LayoutCase {
    const char* name;
    std::uint32_t format;
    std::array<std::uint8_t, 4> stored;
};

class PixelLayouts : public testing::TestWithParam<LayoutCase> {};

TEST_P(PixelLayouts, BecomeBlueGreenRedPadding) {
    const LayoutCase& c = GetParam();
    const std::optional<PixelLayout> layout = LayoutOf(c.format);
    ASSERT_TRUE(layout);
    // Two pixels: the second shows that each pixel is read at its own place.
    const std::array<std::uint8_t, 8> source{c.stored[0], c.stored[1], c.stored[2], c.stored[3],
                                             c.stored[0], c.stored[1], c.stored[2], c.stored[3]};
    std::array<std::uint8_t, 8> target{};
    ToNative(source.data(), target.data(), 2, *layout);
    EXPECT_EQ(target[0], 0x33);
    EXPECT_EQ(target[1], 0x22);
    EXPECT_EQ(target[2], 0x11);
    EXPECT_EQ(target[4], 0x33);
    EXPECT_EQ(target[5], 0x22);
    EXPECT_EQ(target[6], 0x11);
    EXPECT_EQ(layout->native(),
              c.format == SPA_VIDEO_FORMAT_BGRx || c.format == SPA_VIDEO_FORMAT_BGRA);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, PixelLayouts,
    testing::Values(LayoutCase{"BGRx", SPA_VIDEO_FORMAT_BGRx, {0x33, 0x22, 0x11, 0x44}},
                    LayoutCase{"BGRA", SPA_VIDEO_FORMAT_BGRA, {0x33, 0x22, 0x11, 0x44}},
                    LayoutCase{"RGBx", SPA_VIDEO_FORMAT_RGBx, {0x11, 0x22, 0x33, 0x44}},
                    LayoutCase{"RGBA", SPA_VIDEO_FORMAT_RGBA, {0x11, 0x22, 0x33, 0x44}},
                    LayoutCase{"xRGB", SPA_VIDEO_FORMAT_xRGB, {0x44, 0x11, 0x22, 0x33}},
                    LayoutCase{"ARGB", SPA_VIDEO_FORMAT_ARGB, {0x44, 0x11, 0x22, 0x33}},
                    LayoutCase{"xBGR", SPA_VIDEO_FORMAT_xBGR, {0x44, 0x33, 0x22, 0x11}},
                    LayoutCase{"ABGR", SPA_VIDEO_FORMAT_ABGR, {0x44, 0x33, 0x22, 0x11}}),
    [](const testing::TestParamInfo<LayoutCase>& info) { return info.param.name; });

TEST(PixelLayouts, EveryAcceptedFormatHasALayoutAndNoOtherDoes) {
    for (const std::uint32_t format : kAcceptedVideoFormats) {
        EXPECT_TRUE(LayoutOf(format)) << format;
    }
    for (const std::uint32_t format : {SPA_VIDEO_FORMAT_RGB, SPA_VIDEO_FORMAT_BGR,
                                       SPA_VIDEO_FORMAT_I420, SPA_VIDEO_FORMAT_UNKNOWN}) {
        EXPECT_FALSE(LayoutOf(format)) << format;
    }
}

} // namespace
} // namespace kestrove::compositor::portal
