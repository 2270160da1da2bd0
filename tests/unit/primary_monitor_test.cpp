#include "platform/x11/monitors/primary_monitor.h"

#include <gtest/gtest.h>

namespace kestrove::x11 {
namespace {

struct PrimaryCase {
    const char* what;
    std::vector<MonitorPlacement> monitors; // in the server's order
    std::size_t primary;
};

TEST(PrimaryMonitor, TheNamedOneElseTheOneAtTheOriginElseTheFirst) {
    const Rect origin{0, 0, 1920, 1080};
    const Rect right{1920, 0, 3200, 1024};
    const Rect left{-1280, 0, 0, 1024};
    const std::vector<PrimaryCase> cases{
        {"named primary, though another is at the origin", {{origin, false}, {right, true}}, 1},
        {"none named, one at the origin", {{right, false}, {left, false}, {origin, false}}, 2},
        {"none named, none at the origin", {{right, false}, {left, false}}, 0},
        {"none named, several at the origin",
         {{right, false}, {origin, false}, {{0, 0, 800, 600}, false}},
         1},
        {"only the position counts, not the size", {{right, false}, {{0, 0, 1, 1}, false}}, 1},
        {"a single monitor", {{right, false}}, 0},
        {"no monitors", {}, 0},
    };
    for (const PrimaryCase& c : cases) {
        EXPECT_EQ(PrimaryMonitorIndex(c.monitors), c.primary) << c.what;
    }
}

} // namespace
} // namespace kestrove::x11
