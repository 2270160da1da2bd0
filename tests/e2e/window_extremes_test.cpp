// The mirror window pushed to its limits: sized down to one pixel and back,
// minimised and restored, and a long burst of the window's keys.
#include "tests/harness/kestrove_session.h"
#include "tests/harness/other_client.h"
#include "tests/harness/wait.h"

#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <random>
#include <string>
#include <vector>

namespace kestrove::e2e {
namespace {

TEST(WindowExtremes, FitsAgainAfterOnePixelAndAfterMinimising) {
    KestroveSession session(TwoMonitors());
    ASSERT_EQ(session.waitForPattern(0), "");
    const MonitorGeometry& monitor = session.monitors()[0];

    session.x().resize(session.mirror(), 1, 1);
    // The fit of one pixel's width has no height: the window keeps a pixel.
    EXPECT_TRUE(WaitUntil([&] { return session.geometry().width <= 1; }));
    EXPECT_TRUE(StaysTrue([&] { return session.kestrove().running(); }));

    session.x().resize(session.mirror(), 800, 600);
    const auto fits = [&] { return session.sizeIs(800, FittedHeight(monitor, 800)); };
    EXPECT_TRUE(WaitUntil(fits)) << session.geometry().width << "x" << session.geometry().height;
    EXPECT_EQ(session.waitForPattern(0), "");

    OtherClient windowManager(session.display());
    windowManager.iconify(session.mirror());
    EXPECT_TRUE(WaitUntil([&] { return !session.x().viewable(session.mirror()); }));
    EXPECT_TRUE(StaysTrue([&] { return session.kestrove().running(); }));
    windowManager.restore(session.mirror());
    EXPECT_TRUE(WaitUntil([&] { return session.x().viewable(session.mirror()); }));
    EXPECT_TRUE(fits());
    EXPECT_EQ(session.waitForPattern(0), "");

    EXPECT_EQ(session.kestrove().standardError(), "");
}

TEST(WindowExtremes, KeepsUpWithABurstOfKeysAndEndsOnTheLastMonitorPicked) {
    KestroveSession session({MonitorGeometry{1280, 720, 1280, 0, true},
                             MonitorGeometry{600, 800, 1280, 720, false},
                             MonitorGeometry{600, 600, 1900, 800, false}});
    ASSERT_EQ(session.waitForPattern(0), "");

    struct Key {
        KeySym symbol;
        std::vector<KeySym> modifiers;
    };
    const std::vector<Key> keys{{XK_1, {XK_Control_L}}, {XK_2, {XK_Control_L}},
                                {XK_3, {XK_Control_L}}, {XK_4, {XK_Control_L}},
                                {XK_5, {XK_Control_L}}, {XK_Return, {}},
                                {XK_Escape, {}}};
    std::mt19937 random(11); // the same burst on every run
    std::uniform_int_distribution<std::size_t> pick(0, keys.size() - 1);
    int lastMonitor = 0;
    for (int press = 0; press < 4000; ++press) {
        const Key& key = keys[pick(random)];
        session.pressKey(key.symbol, key.modifiers);
        if (key.symbol >= XK_1 && key.symbol <= XK_3) {
            lastMonitor = static_cast<int>(key.symbol - XK_1);
        }
    }
    // Ctrl+4 and Ctrl+5 name no monitor here; Return and Escape change nothing.
    const std::string title = "Kestrove - [" + std::to_string(lastMonitor + 1) + ":3] ";
    EXPECT_TRUE(WaitUntil([&] { return session.title() == title; })) << session.title();
    EXPECT_EQ(session.waitForPattern(lastMonitor), "");
    const MonitorGeometry& shown = session.monitors()[static_cast<std::size_t>(lastMonitor)];
    EXPECT_TRUE(WaitUntil([&] {
        const int width = session.geometry().width;
        return session.sizeIs(width, FittedHeight(shown, width));
    })) << session.geometry().width
        << "x" << session.geometry().height;
    EXPECT_TRUE(session.kestrove().running());
    EXPECT_EQ(session.kestrove().standardError(), "");
}

} // namespace
} // namespace kestrove::e2e
