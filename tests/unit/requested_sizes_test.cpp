// The sizes a window asked for come back as reports of the program's own
// resize, in whatever order and as often as the window manager sends them,
// for a short while only.
#include "platform/x11/dialogs/requested_sizes.h"

#include <gtest/gtest.h>

namespace kestrove::x11 {
namespace {

TEST(RequestedSizes, HoldsTheSizesAskedAndGivenForAWhile) {
    RequestedSizes sizes;
    const Clock::time_point start{};
    EXPECT_FALSE(sizes.holds(560, 351, start));
    sizes.note(560, 351, start);
    sizes.note(560, 350, start);
    EXPECT_TRUE(sizes.holds(560, 351, start + std::chrono::milliseconds(300)));
    EXPECT_TRUE(sizes.holds(560, 350, start + std::chrono::milliseconds(300)));
    EXPECT_FALSE(sizes.holds(600, 400, start)) << "a size nobody asked for";
    EXPECT_FALSE(sizes.holds(560, 350, start + RequestedSizes::kAnswerWindow))
        << "a report long after is someone else's";
    // A request after that starts afresh.
    sizes.note(700, 400, start + std::chrono::seconds(5));
    EXPECT_FALSE(sizes.holds(560, 350, start + std::chrono::seconds(5)));
    EXPECT_TRUE(sizes.holds(700, 400, start + std::chrono::seconds(5)));
}

} // namespace
} // namespace kestrove::x11
