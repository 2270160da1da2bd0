#include "platform/compositor/output_matching.h"

#include <gtest/gtest.h>

namespace kestrove::compositor {
namespace {

using Matches = std::vector<std::optional<std::size_t>>;

TEST(OutputMatching, NamesDecideEvenWhenPlacesDisagree) {
    // XWayland may lay its monitors out otherwise (another scale); the names hold.
    const std::vector<Output> monitors{{"DP-2", {0, 0, 1920, 1080}},
                                       {"DP-1", {1920, 0, 3200, 1024}}};
    const std::vector<Output> outputs{{"DP-1", {0, 0, 1280, 1024}}, {"DP-2", {1280, 0, 2240, 540}}};
    EXPECT_EQ(MatchOutputs(monitors, outputs), (Matches{1, 0}));
}

TEST(OutputMatching, WithoutAMatchingNamePlaceAndSizeDecide) {
    const std::vector<Output> monitors{{"XWAYLAND0", {0, 0, 1280, 720}},
                                       {"", {1280, 0, 2080, 600}},
                                       {"XWAYLAND2", {0, 720, 800, 1320}}};
    const std::vector<Output> outputs{{"", {1280, 0, 2080, 600}},
                                      {"HEADLESS-1", {0, 0, 1280, 720}},
                                      {"HEADLESS-3", {0, 720, 800, 1321}}}; // a pixel off
    EXPECT_EQ(MatchOutputs(monitors, outputs), (Matches{1, 0, std::nullopt}));
}

TEST(OutputMatching, AFractionallyScaledOutputMatchesTheWidthXWaylandRoundedDown) {
    // 1280x720 at scale 1.5 is 853x480 in the layout; XWayland's mode is 848 wide.
    const std::vector<Output> monitors{{"XWAYLAND0", {0, 0, 848, 480}},
                                       {"XWAYLAND1", {2000, 0, 2792, 600}},
                                       {"XWAYLAND2", {0, 480, 848, 960}}};
    const std::vector<Output> outputs{{"HEADLESS-1", {0, 0, 853, 480}},
                                      {"HEADLESS-2", {2000, 0, 2800, 600}},
                                      {"HEADLESS-3", {0, 480, 853, 961}}};
    // Eight pixels narrower, or another height, is another monitor.
    EXPECT_EQ(MatchOutputs(monitors, outputs), (Matches{0, std::nullopt, std::nullopt}));
}

TEST(OutputMatching, AnOutputClaimedByNameIsNotGivenAgainByPlace) {
    // Two monitors at the same place (a clone): one output each at most.
    const std::vector<Output> monitors{{"A", {0, 0, 100, 100}}, {"B", {0, 0, 100, 100}}};
    const std::vector<Output> outputs{{"B", {0, 0, 100, 100}}};
    EXPECT_EQ(MatchOutputs(monitors, outputs), (Matches{std::nullopt, 0}));
}

TEST(OutputMatching, EmptyNamesNeverMatchEachOther) {
    const std::vector<Output> monitors{{"", {0, 0, 10, 10}}};
    const std::vector<Output> outputs{{"", {10, 0, 20, 10}}};
    EXPECT_EQ(MatchOutputs(monitors, outputs), (Matches{std::nullopt}));
    EXPECT_EQ(MatchOutputs({}, outputs), Matches{});
    EXPECT_EQ(MatchOutputs(monitors, {}), (Matches{std::nullopt}));
}

} // namespace
} // namespace kestrove::compositor
