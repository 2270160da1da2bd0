#include "platform/x11/magnifier/magnifier_state.h"

#include <gtest/gtest.h>

namespace kestrove::x11 {
namespace {

using Window = MagnifierState::Window;
using Picture = MagnifierState::Picture;

TEST(MagnifierState, ItDrawsOnlyWhileSeenAndWholeAfterAChangeOrOnceSeenAgain) {
    MagnifierState state;
    EXPECT_TRUE(state.seen());
    EXPECT_EQ(state.picture(), Picture::Stale) << "a new window draws its whole picture";
    state.painted(true);
    EXPECT_EQ(state.picture(), Picture::OffScreen);
    state.painted(false);
    EXPECT_EQ(state.picture(), Picture::Direct);

    // Minimised, then covered all over: seen again only once both are undone,
    // and then whole.
    state.parentMapped(false);
    state.coveredAll(true);
    EXPECT_EQ(state.window(), Window::HiddenAndCovered);
    state.parentMapped(true);
    EXPECT_EQ(state.window(), Window::Covered);
    state.painted(false);
    state.coveredAll(false);
    EXPECT_TRUE(state.seen());
    EXPECT_EQ(state.picture(), Picture::Stale);

    state.painted(false);
    state.changed();
    EXPECT_TRUE(state.stale()) << "size, source, transform or an exposure";

    // Gone for good, whatever comes after.
    state.windowGone();
    state.parentMapped(true);
    state.coveredAll(false);
    EXPECT_TRUE(state.gone());
    EXPECT_FALSE(state.seen());
}

} // namespace
} // namespace kestrove::x11
