// Starting Kestrove where it cannot work, and ending it as a user does.
#include "tests/harness/kestrove_session.h"
#include "tests/harness/wait.h"

#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <chrono>
#include <optional>
#include <string>

namespace kestrove::e2e {
namespace {

using std::chrono::seconds;

struct NoDisplayCase {
    const char* what;
    std::optional<std::string> display;
};

void PrintTo(const NoDisplayCase& test, std::ostream* out) {
    *out << test.what;
}

class NoDisplay : public testing::TestWithParam<NoDisplayCase> {};

TEST_P(NoDisplay, OneClearLineOnStandardErrorAndFailureStatus) {
    ChildProcess kestrove({KestrovePath()}, {{"DISPLAY", GetParam().display}});
    const auto status = kestrove.waitExit(seconds(10));
    ASSERT_TRUE(status) << "still running without a display";
    EXPECT_TRUE(status->exited) << status->describe();
    EXPECT_NE(status->code, 0);

    const std::string error = kestrove.standardError();
    ASSERT_FALSE(error.empty());
    EXPECT_EQ(error.find('\n'), error.size() - 1) << "not one line: " << error;
    EXPECT_NE(error.find("display"), std::string::npos) << error;
    EXPECT_EQ(kestrove.readRest(seconds(5)), "");
}

INSTANTIATE_TEST_SUITE_P(Startup, NoDisplay,
                         testing::Values(NoDisplayCase{"Unset", std::nullopt},
                                         NoDisplayCase{"Unreachable", ":32767"}),
                         [](const auto& info) { return std::string(info.param.what); });

TEST(Startup, ClosingTheWindowEndsTheProcessWithStatusZero) {
    KestroveSession session(TwoMonitors());
    session.x().sendDeleteWindow(session.mirror());
    const auto status = session.kestrove().waitExit(seconds(10));
    ASSERT_TRUE(status) << "still running after WM_DELETE_WINDOW";
    EXPECT_TRUE(status->exited) << status->describe();
    EXPECT_EQ(status->code, 0);
    EXPECT_EQ(session.kestrove().standardError(), "");
}

TEST(Startup, HelpKeyShowsTheFailureMessageAndTheMirrorStaysOpen) {
    const std::string message = "ヘルプの起動に失敗しました。";
    KestroveSession session(TwoMonitors());
    session.pressKey(XK_F1);

    std::optional<Window> text;
    ASSERT_TRUE(WaitUntil([&] {
        text = session.x().findWindow([&](Window window) {
            return session.x().viewable(window) && session.x().name(window) == message;
        });
        return text.has_value();
    })) << "no window named "
        << message;
    const Window box = session.x().topLevel(*text);
    EXPECT_NE(box, session.mirror());
    EXPECT_EQ(session.x().name(box), "Kestrove") << "the box's caption is the application name";
    EXPECT_TRUE(session.kestrove().running());
    EXPECT_TRUE(session.x().viewable(session.mirror()));

    // Confirmed with Return, the box goes and the mirror takes keys again.
    session.x().pressKey(box, XK_Return);
    EXPECT_TRUE(WaitUntil([&] { return !session.x().viewable(box); }));
    session.pressKey(XK_2, {XK_Control_L});
    EXPECT_TRUE(WaitUntil([&] { return session.title() == "Kestrove - [2:2] "; }))
        << session.title();
}

} // namespace
} // namespace kestrove::e2e
