#include "platform/compositor/place_matching.h"

#include <gtest/gtest.h>

namespace kestrove::compositor {
namespace {

Rect at(int x, int y, int width, int height) {
    return Rect{x, y, x + width, y + height};
}

// A stream the portal gave a place, and one with a size only (KDE).
Output placed(int x, int y, int width, int height) {
    return Output{.name = {}, .rect = at(x, y, width, height), .placed = true};
}

Output sized(int width, int height) {
    return Output{.name = {}, .rect = at(0, 0, width, height), .placed = false};
}

struct MatchCase {
    const char* name;
    std::vector<Rect> monitors;
    std::vector<Output> outputs;
    std::vector<std::optional<std::size_t>> expected;
};

class PlaceMatching : public testing::TestWithParam<MatchCase> {};

TEST_P(PlaceMatching, PairsMonitorsWithOutputs) {
    const MatchCase& c = GetParam();
    EXPECT_EQ(MatchByPlace(c.monitors, c.outputs), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, PlaceMatching,
    testing::Values(
        // The portal lists its streams in its own order, not the X server's.
        MatchCase{"ByPositionNotOrder",
                  {at(0, 0, 1280, 720), at(1280, 0, 1024, 768)},
                  {placed(1280, 0, 1024, 768), placed(0, 0, 1280, 720)},
                  {1, 0}},
        // Same size side by side: only the position tells them apart.
        MatchCase{"SameSizeDifferentPlace",
                  {at(1920, 0, 1920, 1080), at(0, 0, 1920, 1080)},
                  {placed(0, 0, 1920, 1080), placed(1920, 0, 1920, 1080)},
                  {1, 0}},
        // A monitor the user did not share, and an output with no monitor.
        MatchCase{"Unshared",
                  {at(0, 0, 1280, 720), at(1280, 0, 1024, 768)},
                  {placed(0, 0, 1280, 720), placed(0, 720, 800, 600)},
                  {0, std::nullopt}},
        // An X server reporting pixels for a desktop scaled by 2 throughout.
        MatchCase{"WholeLayoutScaled",
                  {at(0, 0, 3840, 2160), at(3840, 0, 2560, 1440)},
                  {placed(1920, 0, 1280, 720), placed(0, 0, 1920, 1080)},
                  {1, 0}},
        // 1.25: 2400x1350 logical is 3000x1687.5 pixels, rounded.
        MatchCase{"FractionalScaleRounds", {at(0, 0, 3000, 1688)}, {placed(0, 0, 2400, 1350)}, {0}},
        // A size that fits at another scale but a place that does not.
        MatchCase{"ScaledButElsewhere",
                  {at(100, 0, 2560, 1440)},
                  {placed(0, 0, 1280, 720)},
                  {std::nullopt}},
        // An exact match wins over a scaled one for the same output.
        MatchCase{"ExactFirst",
                  {at(0, 0, 2560, 1440), at(0, 0, 1280, 720)},
                  {placed(0, 0, 1280, 720)},
                  {std::nullopt, 0}},
        // At scale 1 a pixel off is another monitor.
        MatchCase{
            "PixelOffUnscaled", {at(0, 0, 1280, 721)}, {placed(0, 0, 1280, 720)}, {std::nullopt}},
        MatchCase{"EmptyOutput", {at(0, 0, 1280, 720)}, {placed(0, 0, 0, 0)}, {std::nullopt}},
        // Without places (KDE): the size decides where it is unique, whatever
        // the stream order.
        MatchCase{"SizesOnlyDifferentSizes",
                  {at(0, 0, 1280, 720), at(1280, 0, 1024, 768)},
                  {sized(1024, 768), sized(1280, 720)},
                  {1, 0}},
        // Two monitors of one size: the streams in order against the
        // monitors left to right, whatever the X server's order.
        MatchCase{"SizesOnlySameSizeByDesktopOrder",
                  {at(1280, 0, 1280, 720), at(0, 0, 1280, 720)},
                  {sized(1280, 720), sized(1280, 720)},
                  {1, 0}},
        // Then top to bottom for monitors stacked in one column.
        MatchCase{"SizesOnlyStacked",
                  {at(0, 720, 1280, 720), at(0, 0, 1280, 720)},
                  {sized(1280, 720), sized(1280, 720)},
                  {1, 0}},
        // The unique size is taken first; the order pairs the rest.
        MatchCase{"SizesOnlyUniqueSizeFirst",
                  {at(0, 0, 800, 600), at(800, 0, 1280, 720), at(2080, 0, 1280, 720)},
                  {sized(1280, 720), sized(800, 600), sized(1280, 720)},
                  {1, 0, 2}},
        // One stream shared of two monitors of its size: nothing tells which.
        MatchCase{"SizesOnlyFewerStreams",
                  {at(1280, 0, 1280, 720), at(0, 0, 1280, 720)},
                  {sized(1280, 720)},
                  {std::nullopt, std::nullopt}},
        // KDE at 1.25 with X clients scaling themselves: pixel sizes against
        // logical ones. The second monitor's pixels are the first stream's
        // logical size, yet one factor for all pairs both the other way.
        MatchCase{"SizesOnlyOneCommonScale",
                  {at(0, 0, 1600, 900), at(1600, 0, 1280, 720)},
                  {sized(1280, 720), sized(1024, 576)},
                  {0, 1}},
        // Outputs at 1 and 1.25: no common factor; the sizes at 1 pair one,
        // the two left are the last of each.
        MatchCase{"SizesOnlyMixedScales",
                  {at(0, 0, 1600, 900), at(1600, 0, 1920, 1080)},
                  {sized(1920, 1080), sized(1280, 720)},
                  {1, 0}},
        // More monitors than streams left after the sizes: no order guessed.
        MatchCase{"SizesOnlyOrderNeedsEqualCounts",
                  {at(0, 0, 1280, 720), at(1280, 0, 1280, 720), at(2560, 0, 1280, 720)},
                  {sized(1280, 720), sized(1280, 720)},
                  {std::nullopt, std::nullopt, std::nullopt}},
        // Mutter's XWayland with native scaling, monitors at 2 and 1: places
        // scaled by the largest scale, each size its monitor's pixels.
        MatchCase{"NativeScalingPlacesByLargestScale",
                  {at(0, 0, 2560, 1440), at(2560, 0, 1920, 1080)},
                  {placed(1280, 0, 1920, 1080), placed(0, 0, 1280, 720)},
                  {1, 0}},
        MatchCase{"NativeScalingScaledMonitorRight",
                  {at(0, 0, 1920, 1080), at(3840, 0, 2560, 1440)},
                  {placed(1920, 0, 1280, 720), placed(0, 0, 1920, 1080)},
                  {1, 0}},
        // A size larger than the layout's factor gives is another monitor.
        MatchCase{"ScaledSizeBeyondTheFactor",
                  {at(0, 0, 2560, 1440), at(2560, 0, 5760, 3240)},
                  {placed(0, 0, 1280, 720), placed(1280, 0, 1920, 1080)},
                  {0, std::nullopt}},
        // A stream with a place and one without: the place first.
        MatchCase{"PlacedBeforeUnplaced",
                  {at(0, 0, 1280, 720), at(1280, 0, 1280, 720)},
                  {sized(1280, 720), placed(0, 0, 1280, 720)},
                  {1, 0}},
        MatchCase{"Nothing", {}, {}, {}}),
    [](const testing::TestParamInfo<MatchCase>& info) { return info.param.name; });

} // namespace
} // namespace kestrove::compositor
