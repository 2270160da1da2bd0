#include "program/mirror/mirror_math.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace kestrove {
namespace {

TEST(MirrorMathTest, SelectionGuard) {
    struct Case {
        std::int32_t count, number, current;
        bool applies;
    };
    const Case cases[] = {
        {2, 2, 0, true},  {2, 3, 0, false}, {2, 5, 0, false}, {2, 1, 0, false},
        {2, 2, 1, false}, {5, 5, 0, true},  {0, 1, 0, false}, {1, 1, 0, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MonitorCommandApplies(c.count, c.number, c.current), c.applies)
            << c.count << " monitors, Ctrl+" << c.number << " while showing " << c.current + 1;
    }
}

TEST(MirrorMathTest, FitAndZoom) {
    struct Case {
        Rect source;
        std::int32_t width;
        std::int32_t height;
        float zoom;
    };
    const Case cases[] = {
        {{0, 0, 1920, 1080}, 640, 360, 0.33333334f},
        {{0, 0, 1920, 1200}, 333, 208, 0.1734375f},
        // Negative coordinates: only the differences count.
        {{-1920, -1200, 0, 0}, 333, 208, 0.1734375f},
        {{0, 0, 1080, 1920}, 300, 533, 0.2777778f},
    };
    for (const Case& c : cases) {
        const Rect client{0, 0, c.width, 999};
        EXPECT_EQ(FittedClientBottom(c.source, client), c.height);
        EXPECT_FLOAT_EQ(ZoomForWidth(c.source, c.width), c.zoom);
    }
    EXPECT_EQ(ZoomForWidth({0, 0, 1920, 1080}, 640), 0.33333334f); // rounded to the nearest float
}

TEST(MirrorMathTest, SourceWithoutWidthLeavesTheWindowAsItIs) {
    const Rect client{0, 0, 640, 480};
    EXPECT_EQ(FittedClientBottom(Rect{}, client), 480);
    EXPECT_EQ(ZoomForWidth(Rect{}, 640), 1.0f);
    // A height that would leave the integer range is held at its edge.
    EXPECT_EQ(FittedClientBottom({0, 0, 1, 2'000'000'000}, client), 2147483647);
}

TEST(MirrorMathTest, ZoomTransformScalesBothAxes) {
    const MagTransform t = ZoomTransform(0.5f);
    const float expected[3][3] = {{0.5f, 0, 0}, {0, 0.5f, 0}, {0, 0, 1.0f}};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(t.v[r][c], expected[r][c]);
        }
    }
}

DisplayDevice Device(std::u16string_view name, std::u16string_view description) {
    DisplayDevice device{};
    std::copy(name.begin(), name.end(), device.DeviceName);
    std::copy(description.begin(), description.end(), device.DeviceString);
    return device;
}

TEST(MirrorMathTest, AdapterSearch) {
    const std::vector<DisplayDevice> devices = {Device(u"A", u"first"), Device(u"B", u"second"),
                                                Device(u"B", u"later"), Device(u"C", u"third")};
    std::vector<std::uint32_t> queried;
    auto query = [&](std::uint32_t index, DisplayDevice& device) {
        queried.push_back(index);
        if (index >= devices.size()) {
            return false;
        }
        device = devices[index];
        return true;
    };
    // The last match below the count wins.
    EXPECT_EQ(FindAdapterDescription(4, u"B", query), u"later");
    EXPECT_EQ(queried, (std::vector<std::uint32_t>{0, 1, 2, 3}));
    // Only indices below the monitor count are examined.
    queried.clear();
    EXPECT_EQ(FindAdapterDescription(3, u"C", query), u"");
    EXPECT_EQ(queried, (std::vector<std::uint32_t>{0, 1, 2}));
    // The search ends at the first failing query.
    queried.clear();
    EXPECT_EQ(FindAdapterDescription(9, u"Z", query), u"");
    EXPECT_EQ(queried.back(), 4u);
    EXPECT_EQ(FindAdapterDescription(0, u"A", query), u"");
}

TEST(MirrorMathTest, AdapterNamesWithoutTerminatorAreReadWithinTheirArrays) {
    DisplayDevice full{};
    std::fill(std::begin(full.DeviceName), std::end(full.DeviceName), u'N');
    std::fill(std::begin(full.DeviceString), std::end(full.DeviceString), u'S');
    auto query = [&](std::uint32_t, DisplayDevice& device) {
        device = full;
        return true;
    };
    EXPECT_EQ(FindAdapterDescription(1, std::u16string(32, u'N'), query),
              std::u16string(128, u'S'));
}

TEST(MirrorMathTest, Title) {
    EXPECT_EQ(FormatTitle(1, 2, u"Wine Adapter"), u"Kestrove - [1:2] Wine Adapter");
    EXPECT_EQ(FormatTitle(2, 2, u""), u"Kestrove - [2:2] ");
    EXPECT_EQ(FormatTitle(1, 0, u""), u"Kestrove - [1:0] ");
}

TEST(MirrorMathTest, IconOriginTruncatesTowardZero) {
    EXPECT_EQ(IconOrigin({0, 0, 0, 0}, 32, 32), (Point{-15, -15}));
    EXPECT_EQ(IconOrigin({0, 0, 160, 100}, 32, 32), (Point{64, 34}));
    EXPECT_EQ(IconOrigin({0, 0, 33, 33}, 32, 32), (Point{1, 1}));
}

} // namespace
} // namespace kestrove
