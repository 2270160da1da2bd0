// The mirror window as a user sees it: its title, the picture read back from
// the screen, the monitor keys and the fit after a resize.
#include "tests/harness/kestrove_session.h"
#include "tests/harness/wait.h"

#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <algorithm>
#include <string>
#include <vector>

namespace kestrove::e2e {
namespace {

constexpr int kPrimary = 0;  // pattern of TwoMonitors()[0], monitor 1
constexpr int kPortrait = 1; // pattern of TwoMonitors()[1], monitor 2

TEST(Mirror, OpensOnMonitorOneTitledScaledAndFitted) {
    KestroveSession session(TwoMonitors());
    EXPECT_EQ(session.title(), "Kestrove - [1:2] ");
    EXPECT_EQ(session.x().wmName(session.mirror()), session.x().netWmName(session.mirror()));

    const WindowGeometry window = session.geometry();
    EXPECT_EQ(window.height, FittedHeight(session.monitors()[kPrimary], window.width));
    EXPECT_EQ(session.waitForPattern(kPrimary), "");
}

TEST(Mirror, CtrlTwoSwitchesToMonitorTwoAndFitsItsAspect) {
    KestroveSession session(TwoMonitors());
    ASSERT_EQ(session.waitForPattern(kPrimary), "");
    const int width = session.geometry().width;

    session.pressKey(XK_2, {XK_Control_L});
    EXPECT_TRUE(WaitUntil([&] { return session.title() == "Kestrove - [2:2] "; }))
        << session.title();
    const int portraitHeight = FittedHeight(session.monitors()[kPortrait], width);
    EXPECT_TRUE(WaitUntil([&] { return session.sizeIs(width, portraitHeight); }))
        << session.geometry().width << "x" << session.geometry().height << " instead of " << width
        << "x" << portraitHeight;
    EXPECT_EQ(session.waitForPattern(kPortrait), "");
    // The window manager is asked to keep the monitor's shape while the user drags.
    const auto shapeOf = [&](int index) {
        const MonitorGeometry& m = session.monitors()[static_cast<std::size_t>(index)];
        return std::pair(m.width, m.height);
    };
    EXPECT_EQ(session.x().aspectHint(session.mirror()), shapeOf(kPortrait));

    // And back.
    session.pressKey(XK_1, {XK_Control_L});
    EXPECT_TRUE(WaitUntil([&] { return session.title() == "Kestrove - [1:2] "; }));
    EXPECT_EQ(session.waitForPattern(kPrimary), "");
    EXPECT_EQ(session.x().aspectHint(session.mirror()), shapeOf(kPrimary));
}

TEST(Mirror, FollowsWhatTheMonitorShows) {
    KestroveSession session(TwoMonitors());
    ASSERT_EQ(session.waitForPattern(kPrimary), "");
    const MonitorGeometry& monitor = session.monitors()[kPrimary];
    const Rgb cover{200, 30, 90};
    const auto showsOnly = [&](Rgb colour) {
        const auto image = session.x().grab(session.mirror());
        return image && std::all_of(image->pixels.begin(), image->pixels.end(),
                                    [&](Rgb pixel) { return pixel == colour; });
    };

    const Window window =
        session.x().showColour({monitor.x, monitor.y, monitor.width, monitor.height}, cover);
    EXPECT_TRUE(WaitUntil([&] { return showsOnly(cover); }))
        << "the mirror does not follow a new window on the monitor";
    session.x().destroyWindow(window);
    EXPECT_EQ(session.waitForPattern(kPrimary), "");
}

TEST(Mirror, KeysThatChooseNothingChangeNothingAndCloseNothing) {
    KestroveSession session(TwoMonitors());
    ASSERT_EQ(session.waitForPattern(kPrimary), "");
    const std::string title = session.title();
    const WindowGeometry geometry = session.geometry();
    const auto unchanged = [&] {
        return session.kestrove().running() && session.x().viewable(session.mirror()) &&
               session.title() == title && session.geometry() == geometry &&
               session.patternMismatch(kPrimary).empty();
    };
    const auto state = [&] {
        const WindowGeometry now = session.geometry();
        return std::string("'").append(session.title()).append("' ") + std::to_string(now.width) +
               "x" + std::to_string(now.height) + (session.kestrove().running() ? "" : ", ended") +
               " " + session.patternMismatch(kPrimary);
    };

    struct Press {
        const char* what;
        KeySym key;
        std::vector<KeySym> modifiers;
    };
    const std::vector<Press> presses{
        {"Ctrl+3 (above the count)", XK_3, {XK_Control_L}},
        {"Ctrl+4", XK_4, {XK_Control_L}},
        {"Ctrl+5", XK_5, {XK_Control_L}},
        {"Ctrl+1 (the monitor shown)", XK_1, {XK_Control_L}},
        {"Ctrl+keypad 2", XK_KP_2, {XK_Control_L}},
        {"2 without Ctrl", XK_2, {}},
        {"Return", XK_Return, {}},
        {"Escape", XK_Escape, {}},
        {"Tab (no tab stops)", XK_Tab, {}},
        {"Space (no button)", XK_space, {}},
    };
    for (const Press& press : presses) {
        session.pressKey(press.key, press.modifiers);
        ASSERT_TRUE(StaysTrue(unchanged)) << "after " << press.what << ": " << state();
    }

    // The keypad's digits with Num Lock on are still no shortcut.
    session.pressKey(XK_Num_Lock);
    ASSERT_TRUE(WaitUntil([&] { return (session.x().modifierState() & kNumLockMask) != 0; }));
    session.pressKey(XK_KP_2, {XK_Control_L});
    ASSERT_TRUE(StaysTrue(unchanged)) << "after Ctrl+keypad 2 with Num Lock: " << state();
    session.pressKey(XK_Num_Lock);

    // The keys reached the window: a shortcut pressed the same way works.
    session.pressKey(XK_2, {XK_Control_L});
    EXPECT_TRUE(WaitUntil([&] { return session.title() == "Kestrove - [2:2] "; }))
        << session.title();
}

struct ResizeCase {
    const char* what;
    bool portrait; // switch to monitor 2 first
    int width;
    int height; // as the user leaves it
};

void PrintTo(const ResizeCase& test, std::ostream* out) {
    *out << test.what;
}

class Resize : public testing::TestWithParam<ResizeCase> {};

TEST_P(Resize, EndsWithTheHeightTheFitComputes) {
    const ResizeCase& resize = GetParam();
    KestroveSession session(TwoMonitors());
    const int shown = resize.portrait ? kPortrait : kPrimary;
    if (resize.portrait) {
        session.pressKey(XK_2, {XK_Control_L});
        ASSERT_TRUE(WaitUntil([&] { return session.title() == "Kestrove - [2:2] "; }));
    }
    ASSERT_EQ(session.waitForPattern(shown), "");

    session.x().resize(session.mirror(), resize.width, resize.height);
    const int fitted =
        FittedHeight(session.monitors()[static_cast<std::size_t>(shown)], resize.width);
    const auto fits = [&] { return session.sizeIs(resize.width, fitted); };
    EXPECT_TRUE(WaitUntil(fits)) << session.geometry().width << "x" << session.geometry().height
                                 << " instead of " << resize.width << "x" << fitted;
    EXPECT_TRUE(StaysTrue(fits));
    EXPECT_EQ(session.waitForPattern(shown), "");
}

INSTANTIATE_TEST_SUITE_P(Mirror, Resize,
                         testing::Values(
                             // 720/1280*700 = 393.75: truncated.
                             ResizeCase{"WiderAndFlatter", false, 700, 200},
                             // 720/1280*333 = 187.3125.
                             ResizeCase{"NarrowerAndTaller", false, 333, 500},
                             // 800/600*451 = 601.33...
                             ResizeCase{"PortraitMonitor", true, 451, 300}),
                         [](const auto& info) { return std::string(info.param.what); });

} // namespace
} // namespace kestrove::e2e
