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
    echo.frameTaken();
    echo.frameTaken();
    echo.painted({{Rect{290, 190, 350, 250}, {3, began}}, {Rect{100, 50, 740, 410}, {7, began}}});
    EXPECT_EQ(echo.roundOf(change, now).round, 4) << "the earliest round of the areas over it";
    EXPECT_EQ(echo.roundOf(Rect{90, 40, 120, 70}, now).round, 0) << "reaches out of the mirror";
    echo.frameTaken();
    EXPECT_EQ(echo.roundOf(change, now).round, 4) << "the rest of its echo may come next";
    echo.frameTaken();
    EXPECT_EQ(echo.roundOf(change, now).round, 0) << "two frames with no paint between";

    // Spent past the last round, or too long after the change that began it.
    EXPECT_FALSE(SelfEcho::Spent({3, began}, 3, now));
    EXPECT_TRUE(SelfEcho::Spent({4, began}, 3, now));
    EXPECT_TRUE(SelfEcho::Spent({1, began}, 3, began + kLongestEcho + 1ms));
    EXPECT_FALSE(SelfEcho::Spent({0, began}, 3, began + 1h)) << "another's change is drawn";
}

TEST(SelfEcho, AnEchoCutAndJoinedAnewIsStillAnEcho) {
    using namespace std::chrono_literals;
    const SelfEcho::Clock::time_point began{}, later = began + 50ms, now = began + 100ms;
    SelfEcho echo;
    // Two areas drawn side by side come back as the server's bands of their
    // union, or as the one box a compositor reports around a frame's damage.
    echo.painted({{Rect{0, 0, 25, 16}, {2, began}}, {Rect{22, 7, 50, 28}, {0, later}}});
    for (const Rect& back : {Rect{0, 0, 48, 26}, Rect{0, 7, 50, 16}, Rect{20, 10, 30, 20}}) {
        EXPECT_EQ(echo.roundOf(back, now).round, 1) << "the earliest round of those it meets";
        EXPECT_EQ(echo.roundOf(back, now).since, later);
    }
    EXPECT_EQ(echo.roundOf(Rect{0, 0, 20, 6}, now).round, 3) << "meets one alone";
    EXPECT_EQ(echo.roundOf(Rect{40, 0, 60, 10}, now).round, 0) << "reaches past what was drawn";
    EXPECT_EQ(echo.roundOf(Rect{30, 0, 45, 5}, now).round, 0) << "meets nothing drawn";

    // What the paint a frame earlier drew may come back once more; what
    // the last paint drew counts first.
    echo.frameTaken();
    echo.painted({{Rect{200, 100, 240, 130}, {5, later}}, {Rect{0, 0, 10, 5}, {6, later}}});
    EXPECT_EQ(echo.roundOf(Rect{0, 0, 20, 6}, now).round, 3);
    EXPECT_EQ(echo.roundOf(Rect{0, 0, 10, 5}, now).round, 7);
    EXPECT_EQ(echo.roundOf(Rect{210, 110, 220, 120}, now).round, 6);
    echo.frameTaken();
    echo.frameTaken();
    EXPECT_EQ(echo.roundOf(Rect{210, 110, 220, 120}, now).round, 0);
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
    // Clipped to where the compositor may show the window.
    EXPECT_EQ(ShownAt(Rect{0, 0, 1280, 720}, kHalf), AsDrawn(kHalf.window));
    EXPECT_EQ(AsDrawn(kHalf.window), (Rect{98, 48, 742, 412}));
}

TEST(SelfEcho, AWindowShownAPixelFromWhereXHasItStillEchoes) {
    // sway 1.10 shows a floating window a pixel lower than XWayland places
    // it: the whole window drawn comes back from there.
    const SelfEcho::Clock::time_point now{};
    SelfEcho echo;
    echo.painted({{ShownAt(Rect{0, 0, 1280, 720}, kHalf), {0, now}}});
    EXPECT_EQ(echo.roundOf(Rect{100, 51, 740, 411}, now).round, 1);
    echo.painted({{ShownAt(Rect{200, 100, 1280, 720}, kHalf), {2, now}}});
    EXPECT_EQ(echo.roundOf(Rect{196, 97, 740, 411}, now).round, 3) << "a part at its edge";
}

} // namespace
} // namespace kestrove::x11
