#include "platform/x11/magnifier/self_echo.h"

#include <gtest/gtest.h>

namespace kestrove::x11 {
namespace {

// A 1280x720 monitor at the origin, shown at half size by a mirror at
// (100, 50) on it: its copies of itself nest towards (200, 100).
constexpr MirrorPlacement kHalf{{0, 0, 1280, 720}, {100, 50, 740, 410}, 0.5};

TEST(SelfEcho, OnlyTheMirrorsOwnLastPixelsWhereItsCopiesEndAreLeftOut) {
    struct Case {
        const char* what;
        Rect change;
        MirrorPlacement placement;
        std::vector<Rect> lastDrawn;
        bool settled;
    };
    const std::vector<Rect> drewThere{{190, 90, 210, 110}};
    const Case cases[] = {
        {"a few pixels where the copies end, just drawn",
         {196, 96, 204, 104},
         kHalf,
         drewThere,
         true},
        {"the same, but nothing drawn for the frame before", {196, 96, 204, 104}, kHalf, {}, false},
        {"the same, but drawn elsewhere",
         {196, 96, 204, 104},
         kHalf,
         {{600, 300, 700, 400}},
         false},
        {"just drawn, but away from where the copies end",
         {300, 200, 308, 208},
         kHalf,
         {{290, 190, 320, 220}},
         false},
        {"where the copies end, but larger than their last pixels",
         {150, 60, 250, 140},
         kHalf,
         {{100, 50, 740, 410}},
         false},
        {"outside the mirror's window", {96, 46, 104, 54}, kHalf, {{90, 40, 110, 60}}, false},
        {"a mirror at full size: its copies never shrink",
         {196, 96, 204, 104},
         {{0, 0, 1280, 720}, {0, 0, 1280, 720}, 1.0},
         {{0, 0, 1280, 720}},
         false},
        {"nothing changed", {200, 100, 200, 100}, kHalf, drewThere, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(IsSettledSelfEcho(c.change, c.placement, c.lastDrawn), c.settled);
    }
}

} // namespace
} // namespace kestrove::x11
