// The monitor diagnostic lines, read from Kestrove's standard output through
// a pipe while it runs.
#include "tests/harness/kestrove_session.h"
#include "tests/harness/wait.h"

#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <chrono>
#include <string>
#include <vector>

namespace kestrove::e2e {
namespace {

using std::chrono::seconds;

TEST(Diagnostics, FourLinesPerMonitorInReportingOrderWhileRunning) {
    // The primary is not the first monitor defined, and the third lies left
    // of the screen's origin, so its left edge is negative.
    KestroveSession session({MonitorGeometry{600, 800, 1280, 720, false},
                             MonitorGeometry{1280, 720, 1280, 0, true},
                             MonitorGeometry{1000, 600, -1000, 0, false}});

    // The server reports the primary first, then the others as defined.
    const auto reported = session.x().monitors();
    ASSERT_EQ(reported.size(), 3u);
    EXPECT_EQ(reported[0].name, "DP-2");
    EXPECT_EQ(reported[1].name, "DP-1");
    EXPECT_EQ(reported[2].name, "DP-3");

    const std::vector<std::string> expected{
        "rcMonitor top=0, left=1280, bottom=720, right=2560",
        "rcWork top=0, left=1280, bottom=720, right=2560",
        "Flag = 1",
        "rcMonitor top=0, left=1280, bottom=720, right=2560",
        "rcMonitor top=720, left=1280, bottom=1520, right=1880",
        "rcWork top=720, left=1280, bottom=1520, right=1880",
        "Flag = 0",
        "rcMonitor top=720, left=1280, bottom=1520, right=1880",
        "rcMonitor top=0, left=-1000, bottom=600, right=0",
        "rcWork top=0, left=-1000, bottom=600, right=0",
        "Flag = 0",
        "rcMonitor top=0, left=-1000, bottom=600, right=0",
    };
    std::vector<std::string> lines;
    while (lines.size() < expected.size()) {
        const auto line = session.kestrove().readLine(seconds(10));
        if (!line) {
            break;
        }
        lines.push_back(*line);
    }
    EXPECT_EQ(lines, expected);
    // Seen while the program still runs, not only when it ends.
    EXPECT_TRUE(session.kestrove().running());
    EXPECT_EQ(session.title(), "Kestrove - [1:3] ");
    // Number 1 is the primary, though it was defined second; number 2 the next reported.
    EXPECT_EQ(session.waitForPattern(1), "");
    session.pressKey(XK_2, {XK_Control_L});
    EXPECT_TRUE(WaitUntil([&] { return session.title() == "Kestrove - [2:3] "; }));
    EXPECT_EQ(session.waitForPattern(0), "");

    // Nothing more is written, not even at the end.
    session.x().sendDeleteWindow(session.mirror());
    ASSERT_TRUE(session.kestrove().waitExit(seconds(10)));
    EXPECT_EQ(session.kestrove().readRest(seconds(5)), "");
}

} // namespace
} // namespace kestrove::e2e
