#include "platform/x11/magnifier/self_echo.h"

#include <gtest/gtest.h>

namespace kestrove::x11 {
namespace {

// A 1280x720 monitor at the origin, shown at half size by a mirror at
// (100, 50) on it: its copies of itself nest towards (200, 100).
constexpr MirrorPlacement kHalf{{0, 0, 1280, 720}, {100, 50, 740, 410}, 0.5};

TEST(SelfEcho, AChangeFromWhereTheLastPaintDrewIsItsEchoOneRoundOn) {
    using namespace std::chrono_literals;
    const SelfEcho::Clock::time_point began{}, now = began + 100ms;
    SelfEcho echo;
    const Rect change{300, 200, 340, 240};
    EXPECT_EQ(echo.roundOf(change, now).round, 0) << "nothing drawn: another's change";
    EXPECT_EQ(echo.roundOf(change, now).since, now);
    echo.painted({{ShownAt(Rect{0, 0, 1280, 720}, kHalf), {0, began}}});
    EXPECT_EQ(echo.roundOf(change, now).round, 1);
    EXPECT_EQ(echo.roundOf(change, now).since, began);
    echo.painted({{Rect{290, 190, 350, 250}, {3, began}}, {Rect{100, 50, 740, 410}, {7, began}}});
    EXPECT_EQ(echo.roundOf(change, now).round, 4) << "the earliest round of the areas over it";
    EXPECT_EQ(echo.roundOf(Rect{90, 40, 120, 70}, now).round, 0) << "reaches out of the mirror";
    echo.forget();
    EXPECT_EQ(echo.roundOf(change, now).round, 0) << "no paint before the frame";

    // Spent past the last round, or too long after the change that began it.
    EXPECT_FALSE(SelfEcho::Spent({3, began}, 3, now));
    EXPECT_TRUE(SelfEcho::Spent({4, began}, 3, now));
    EXPECT_TRUE(SelfEcho::Spent({1, began}, 3, began + kLongestEcho + 1ms));
    EXPECT_FALSE(SelfEcho::Spent({0, began}, 3, began + 1h)) << "another's change is drawn";
}

TEST(SelfEcho, EchoesEndOnceTheCopiesAreUnderAPixelOrAfterTheMostRounds) {
    // 640 pixels halved each round: under a pixel after ten, so the most.
    EXPECT_EQ(EchoRounds(kHalf), kMostEchoRounds);
    // A small mirror at a quarter: 64 pixels, under one after three rounds.
    EXPECT_EQ(EchoRounds({{0, 0, 256, 144}, {0, 0, 64, 36}, 0.25}), 3);
    // A maximised mirror at 0.94 hardly shrinks its copies: the most rounds.
    EXPECT_EQ(EchoRounds({{0, 0, 1280, 720}, {0, 0, 1200, 675}, 0.94}), kMostEchoRounds);
    EXPECT_EQ(EchoRounds({{0, 0, 1280, 720}, {0, 0, 1280, 720}, 1.0}), kMostEchoRounds);
}

TEST(SelfEcho, TheMirrorDrawsAChangeWhereItsWindowShowsIt) {
    EXPECT_EQ(ShownAt(Rect{200, 100, 220, 120}, kHalf), (Rect{196, 96, 214, 114}));
    // Clipped to the window.
    EXPECT_EQ(ShownAt(Rect{0, 0, 1280, 720}, kHalf), kHalf.window);
}

} // namespace
} // namespace kestrove::x11
