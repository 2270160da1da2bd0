// Where message boxes and owned dialogs go: the owner's monitor and its
// work area, and a box moved wholly inside it.
#include "platform/x11/dialogs/box_placement.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace kestrove::x11 {
namespace {

MonitorInfoEx Monitor(Rect monitor, Rect work, bool primary = false) {
    MonitorInfoEx info{};
    info.rcMonitor = monitor;
    info.rcWork = work;
    info.dwFlags = primary ? kMonitorInfoPrimary : 0;
    return info;
}

// A primary to the right, listed first, and a smaller monitor with a panel.
const std::vector<MonitorInfoEx> kMonitors{
    Monitor({1280, 0, 3200, 1080}, {1280, 0, 3200, 1040}, true),
    Monitor({0, 0, 1280, 720}, {0, 40, 1280, 720}),
};
const Rect kScreen{0, 0, 3200, 1080};

struct OwnerCase {
    const char* what;
    std::optional<Rect> owner;
    Rect work;
};

void PrintTo(const OwnerCase& test, std::ostream* out) {
    *out << test.what;
}

class OwnersMonitor : public testing::TestWithParam<OwnerCase> {};

TEST_P(OwnersMonitor, GivesTheWorkAreaOfTheMonitorHoldingMostOfTheOwner) {
    EXPECT_EQ(OwnersWorkArea(kMonitors, GetParam().owner, kScreen), GetParam().work);
}

INSTANTIATE_TEST_SUITE_P(
    Owners, OwnersMonitor,
    testing::Values(
        OwnerCase{"Inside", Rect{100, 100, 600, 400}, {0, 40, 1280, 720}},
        OwnerCase{"MostlyOnThePrimary", Rect{1000, 0, 2000, 500}, {1280, 0, 3200, 1040}},
        OwnerCase{"OffEveryMonitorNearest", Rect{100, 800, 300, 900}, {0, 40, 1280, 720}},
        OwnerCase{"NoOwnerThePrimary", std::nullopt, {1280, 0, 3200, 1040}}),
    [](const auto& info) { return std::string(info.param.what); });

TEST(OwnersMonitor, IsTheScreenWithoutMonitors) {
    EXPECT_EQ(OwnersWorkArea({}, Rect{0, 0, 10, 10}, kScreen), kScreen);
}

TEST(KeptInside, MovesABoxInsideAndKeepsTheTopLeftOfOneTooLarge) {
    const Rect area{0, 40, 1280, 720};
    EXPECT_EQ(KeptInside({-443, 99, 1004, 216}, area), (Rect{0, 99, 1447, 216}));
    EXPECT_EQ(KeptInside({1000, 650, 1300, 750}, area), (Rect{980, 620, 1280, 720}));
    EXPECT_EQ(KeptInside({100, 10, 2000, 900}, area), (Rect{0, 40, 1900, 930}));
    EXPECT_EQ(CentredIn(956, 135, area), (Rect{162, 312, 1118, 447}));
}

} // namespace
} // namespace kestrove::x11

namespace kestrove::x11 {
namespace {

// A context menu as Windows places one: beside the point, flipped where it
// would leave the monitor under the pointer, never onto the next monitor.
TEST(PopupMenuPlacement, StaysOnTheMonitorUnderThePointer) {
    const Rect left{0, 0, 1280, 800};
    struct Case {
        const char* what;
        int x;
        int y;
        Rect expected;
    } const cases[] = {
        {"room to the right and below", 100, 100, {100, 100, 300, 160}},
        {"at the right edge, next to another monitor", 1275, 100, {1075, 100, 1275, 160}},
        {"near the bottom", 100, 790, {100, 730, 300, 790}},
        {"in the bottom-right corner", 1278, 798, {1078, 738, 1278, 798}},
        {"flipped past the left edge, kept inside", 150, 100, {0, 100, 200, 160}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Rect placed =
            PopupMenuRect(c.x, c.y, 200, 60, c.what[0] == 'f' ? Rect{0, 0, 300, 800} : left);
        EXPECT_EQ(placed, c.expected);
    }
}

TEST(PopupMenuPlacement, TheMonitorUnderThePointOrTheNearestOrTheScreen) {
    EXPECT_EQ(MonitorAt(kMonitors, 2000, 500, kScreen), (Rect{1280, 0, 3200, 1080}));
    EXPECT_EQ(MonitorAt(kMonitors, 10, 10, kScreen), (Rect{0, 0, 1280, 720}));
    EXPECT_EQ(MonitorAt(kMonitors, 10, 900, kScreen), (Rect{0, 0, 1280, 720})) << "nearest";
    EXPECT_EQ(MonitorAt({}, 10, 900, kScreen), kScreen);
}

} // namespace
} // namespace kestrove::x11
