// Monitors plugged, unplugged, moved and resized while Kestrove shows one.
// Kestrove reads the list once: it goes on showing the rectangles it took,
// and nothing the server answers about the changed monitors ends it.
#include "tests/harness/kestrove_session.h"
#include "tests/harness/other_client.h"
#include "tests/harness/wait.h"

#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <functional>
#include <string>

namespace kestrove::e2e {
namespace {

struct ChangeCase {
    const char* what;
    std::function<void(OtherClient&)> change;
};

void PrintTo(const ChangeCase& test, std::ostream* out) {
    *out << test.what;
}

class MonitorChange : public testing::TestWithParam<ChangeCase> {};

TEST_P(MonitorChange, KeepsShowingTheRectanglesItTook) {
    KestroveSession session(TwoMonitors());
    ASSERT_EQ(session.waitForPattern(0), "");
    OtherClient other(session.display());

    // The monitor shown now is the one that changes.
    GetParam().change(other);
    EXPECT_TRUE(StaysTrue([&] { return session.patternMismatch(0).empty(); }))
        << session.patternMismatch(0);

    // The keys still pick from the list as it was read. (The new picture
    // may reach the server before the new title: the title is waited for,
    // as everywhere else.)
    session.pressKey(XK_2, {XK_Control_L});
    EXPECT_EQ(session.waitForPattern(1), "");
    EXPECT_TRUE(WaitUntil([&] { return session.title() == "Kestrove - [2:2] "; }))
        << session.title();
    session.pressKey(XK_1, {XK_Control_L});
    EXPECT_EQ(session.waitForPattern(0), "");
    EXPECT_TRUE(WaitUntil([&] { return session.title() == "Kestrove - [1:2] "; }))
        << session.title();

    EXPECT_TRUE(session.kestrove().running());
    EXPECT_EQ(session.kestrove().standardError(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Faults, MonitorChange,
    testing::Values(ChangeCase{"Removed", [](OtherClient& x) { x.deleteMonitor("DP-1"); }},
                    ChangeCase{"Moved",
                               [](OtherClient& x) {
                                   x.setMonitor("DP-1", {1280, 720, 0, 0, true});
                               }},
                    ChangeCase{"Resized",
                               [](OtherClient& x) {
                                   x.setMonitor("DP-1", {640, 480, 1280, 0, true});
                               }},
                    ChangeCase{"AnotherAdded",
                               [](OtherClient& x) {
                                   x.setMonitor("DP-9", {800, 600, 0, 800, false});
                               }},
                    ChangeCase{"AllRemoved",
                               [](OtherClient& x) {
                                   x.deleteMonitor("DP-1");
                                   x.deleteMonitor("DP-2");
                               }}),
    [](const auto& info) { return std::string(info.param.what); });

} // namespace
} // namespace kestrove::e2e
