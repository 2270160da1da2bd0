#include "platform/compositor/frame_transform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrove::compositor {
namespace {

// The upright picture, three pixels wide and two high, one letter a pixel.
const std::vector<std::string> kUpright{"abc", "def"};

struct Case {
    FrameTransform transform;
    std::vector<std::string> stored; // as the compositor stores the picture above
};

// Quarter turns counter-clockwise; flipped ones mirrored around the vertical
// axis first.
const Case kCases[] = {
    {FrameTransform::Normal, {"abc", "def"}},     {FrameTransform::Turned90, {"cf", "be", "ad"}},
    {FrameTransform::Turned180, {"fed", "cba"}},  {FrameTransform::Turned270, {"da", "eb", "fc"}},
    {FrameTransform::Flipped, {"cba", "fed"}},    {FrameTransform::Flipped90, {"ad", "be", "cf"}},
    {FrameTransform::Flipped180, {"def", "abc"}}, {FrameTransform::Flipped270, {"fc", "eb", "da"}},
};

int Width(const std::vector<std::string>& picture) {
    return static_cast<int>(picture.front().size());
}
int Height(const std::vector<std::string>& picture) {
    return static_cast<int>(picture.size());
}

// What the picture is upright, read through the map from its stored form.
std::vector<std::string> Upright(FrameTransform transform, const std::vector<std::string>& stored) {
    const UprightToStored m = MapUprightToStored(transform, Width(stored), Height(stored));
    const int width = SwapsAxes(transform) ? Height(stored) : Width(stored);
    const int height = SwapsAxes(transform) ? Width(stored) : Height(stored);
    std::vector<std::string> upright(static_cast<std::size_t>(height),
                                     std::string(static_cast<std::size_t>(width), '?'));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            // Pixel centres in doubled coordinates stay whole numbers.
            const int sx = (m.xx * (2 * x + 1) + m.xy * (2 * y + 1) + 2 * m.dx - 1) / 2;
            const int sy = (m.yx * (2 * x + 1) + m.yy * (2 * y + 1) + 2 * m.dy - 1) / 2;
            if (sx >= 0 && sx < Width(stored) && sy >= 0 && sy < Height(stored)) {
                upright[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] =
                    stored[static_cast<std::size_t>(sy)][static_cast<std::size_t>(sx)];
            }
        }
    }
    return upright;
}

TEST(FrameTransform, EachStoredFrameReadsBackUpright) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(static_cast<int>(c.transform));
        EXPECT_EQ(Upright(c.transform, c.stored), kUpright);
    }
}

TEST(FrameTransform, RowsStoredBottomFirstComposeIntoAnotherTransform) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(static_cast<int>(c.transform));
        const std::vector<std::string> inverted(c.stored.rbegin(), c.stored.rend());
        EXPECT_EQ(Upright(WithRowsInverted(c.transform), inverted), kUpright);
    }
}

TEST(FrameTransform, ChangedPixelsOfTheStoredFrameLandWhereTheyShowUpright) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(static_cast<int>(c.transform));
        for (int y = 0; y < Height(c.stored); ++y) {
            for (int x = 0; x < Width(c.stored); ++x) {
                const Rect r = StoredToUpright(c.transform, Rect{x, y, x + 1, y + 1},
                                               Width(c.stored), Height(c.stored));
                ASSERT_EQ(r.right - r.left, 1);
                ASSERT_EQ(r.bottom - r.top, 1);
                EXPECT_EQ(
                    kUpright[static_cast<std::size_t>(r.top)][static_cast<std::size_t>(r.left)],
                    c.stored[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)]);
            }
        }
        // The whole frame is the whole upright picture.
        EXPECT_EQ(StoredToUpright(c.transform, Rect{0, 0, Width(c.stored), Height(c.stored)},
                                  Width(c.stored), Height(c.stored)),
                  (Rect{0, 0, 3, 2}));
    }
}

TEST(FrameTransform, OnlyTheEightProtocolValuesAreTransforms) {
    EXPECT_EQ(TransformFromProtocol(0), FrameTransform::Normal);
    EXPECT_EQ(TransformFromProtocol(7), FrameTransform::Flipped270);
    EXPECT_EQ(TransformFromProtocol(8), std::nullopt);
    EXPECT_EQ(TransformFromProtocol(0xFFFFFFFFu), std::nullopt);
}

} // namespace
} // namespace kestrove::compositor
