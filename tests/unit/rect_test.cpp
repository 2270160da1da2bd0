#include "platform/types.h"

#include <gtest/gtest.h>

namespace kestrove {
namespace {

TEST(Rect, HelpersOnOverlappingTouchingAndDegenerateRectangles) {
    const struct {
        const char* what;
        Rect a, b;
        Rect intersection, bounds;
        bool aContainsB;
    } cases[] = {
        {"overlapping",
         {0, 0, 100, 50},
         {50, 25, 150, 75},
         {50, 25, 100, 50},
         {0, 0, 150, 75},
         false},
        {"one inside the other",
         {-10, -10, 10, 10},
         {-5, 0, 5, 10},
         {-5, 0, 5, 10},
         {-10, -10, 10, 10},
         true},
        {"the same", {3, 4, 5, 6}, {3, 4, 5, 6}, {3, 4, 5, 6}, {3, 4, 5, 6}, true},
        {"side by side: they share no pixel",
         {0, 0, 10, 10},
         {10, 0, 20, 10},
         {10, 0, 10, 10},
         {0, 0, 20, 10},
         false},
        {"far apart",
         {0, 0, 10, 10},
         {100, 100, 110, 110},
         {100, 100, 10, 10},
         {0, 0, 110, 110},
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Intersection(c.a, c.b), c.intersection);
        EXPECT_EQ(Intersection(c.b, c.a), c.intersection);
        EXPECT_EQ(Union(c.a, c.b), c.bounds);
        EXPECT_EQ(Contains(c.a, c.b), c.aContainsB);
        EXPECT_EQ(IsEmpty(c.intersection), Area(c.intersection) == 0);
    }
}

TEST(Rect, AreaIsZeroWhenEmptyAndExactBeyondThirtyTwoBits) {
    const struct {
        Rect r;
        bool empty;
        long long area;
    } cases[] = {
        {{0, 0, 1920, 1080}, false, 1920LL * 1080},
        {{-1280, -720, 0, 0}, false, 1280LL * 720},
        {{5, 5, 5, 50}, true, 0},
        {{5, 5, 50, 5}, true, 0},
        {{50, 50, 5, 5}, true, 0},
        // Sides wider than a 32-bit difference holds.
        {{-1'500'000'000, 0, 1'500'000'000, 2}, false, 6'000'000'000LL},
        {{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MIN + 1}, false, 0xFFFF'FFFFLL},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsEmpty(c.r), c.empty) << c.r.left << "," << c.r.top;
        EXPECT_EQ(Area(c.r), c.area) << c.r.left << "," << c.r.top;
    }
}

} // namespace
} // namespace kestrove
