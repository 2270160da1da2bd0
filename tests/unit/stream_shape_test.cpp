// What a stream shows: KWin's node names, and where the monitor lies in a
// stream of another shape than the monitor's.
#include "platform/compositor/output_matching.h"
#include "platform/compositor/stream_area.h"
#include "platform/compositor/stream_name.h"

#include <gtest/gtest.h>

namespace kestrove::compositor {
namespace {

Rect at(int x, int y, int width, int height) {
    return Rect{x, y, x + width, y + height};
}

struct NameCase {
    const char* mediaName;
    Output expected;
};

TEST(StreamName, KwinsNamesGiveTheOutputOrTheRegion) {
    const Output sized{.name = {}, .rect = at(0, 0, 1280, 720), .placed = false};
    const NameCase cases[] = {
        {"kwin-screencast-Virtual-0", {"Virtual-0", at(0, 0, 1280, 720), false}},
        {"kwin-screencast-HDMI-A-1", {"HDMI-A-1", at(0, 0, 1280, 720), false}},
        {"kwin-screencast-0,0 2560x720", {"", at(0, 0, 2560, 720), true}},
        {"kwin-screencast--1280,-10 1280x730", {"", at(-1280, -10, 1280, 730), true}},
        // Anything else says nothing.
        {"kwin-screencast-", sized},
        {"kwin-screencast-0,0 2560x", sized},
        {"kwin-screencast-0,0 -2560x720", sized},
        {"kwin-screencast-0,0 2560x720 more", sized},
        {"kwin-screencast-99999999999,0 1x1", sized},
        {"meta-screen-cast-src", sized},
        {"", sized},
    };
    for (const NameCase& c : cases) {
        Output stream = sized;
        DescribeByNodeName(c.mediaName, stream);
        EXPECT_EQ(stream, c.expected) << c.mediaName;
        // A region's damage is not believed; an output's is.
        EXPECT_EQ(IsKwinRegion(c.mediaName), c.expected.placed) << c.mediaName;
    }
}

TEST(StreamArea, WholeCroppedOrFitted) {
    const Rect left = at(0, 0, 1280, 720), right = at(1280, 0, 1280, 720);
    const Rect desktop = DesktopOf({left, right});
    // The monitor's own stream, at any scale.
    EXPECT_EQ(StreamArea(2560, 1440, left, desktop), at(0, 0, 2560, 1440));
    // XWayland's rounded width at a fractional scale is still the monitor.
    EXPECT_EQ(StreamArea(853, 480, at(0, 0, 848, 480), at(0, 0, 848, 480)), at(0, 0, 853, 480));
    // The workspace: the monitor's part, at the stream's scale.
    EXPECT_EQ(StreamArea(2560, 720, right, desktop), at(1280, 0, 1280, 720));
    EXPECT_EQ(StreamArea(2048, 576, right, desktop), at(1024, 0, 1024, 576));
    // Another shape: shown whole, centred, never stretched.
    EXPECT_EQ(StreamArea(1000, 1000, left, at(0, 0, 1280, 720)), at(-389, 0, 1778, 1000));
    EXPECT_EQ(StreamArea(1280, 360, left, at(0, 0, 1280, 720)), at(0, -180, 1280, 720));
}

TEST(StreamArea, AWorkspaceStreamServesEachMonitorLeft) {
    const std::vector<Output> monitors{{"Virtual-0", at(0, 0, 1280, 720)},
                                       {"Virtual-1", at(1280, 0, 1280, 720)}};
    using Matches = std::vector<std::optional<std::size_t>>;
    // By its name's region, or by its size alone (up to a scale).
    const Output named{.name = {}, .rect = at(0, 0, 2560, 720), .placed = true};
    const Output sizedOnly{.name = {}, .rect = at(0, 0, 2048, 576), .placed = false};
    EXPECT_EQ(MatchOutputs(monitors, {named}), (Matches{0, 0}));
    EXPECT_EQ(MatchOutputs(monitors, {sizedOnly}), (Matches{0, 0}));
    // A monitor's own stream first; the workspace for the other.
    const Output own{.name = "Virtual-1", .rect = at(0, 0, 1280, 720), .placed = false};
    EXPECT_EQ(MatchOutputs(monitors, {sizedOnly, own}), (Matches{0, 1}));
    // One monitor: a stream of its size is its own.
    EXPECT_FALSE(IsWorkspaceStream(named, {at(0, 0, 2560, 720)}));
    // Monitors stacked: the desktop's shape is the workspace's, not a side-by-side one.
    EXPECT_FALSE(IsWorkspaceStream(named, {at(0, 0, 1280, 720), at(0, 720, 1280, 720)}));
}

} // namespace
} // namespace kestrove::compositor
