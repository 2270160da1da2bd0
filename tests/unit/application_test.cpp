#include "program/app/kestrove_app.h"
#include "program/framework/dialog.h"
#include "program/monitors/multi_display.h"
#include "res/resource_ids.h"
#include "tests/fake/recording_platform.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

namespace kestrove::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;

class ApplicationTest : public ::testing::Test {
protected:
    ApplicationTest() {
        platform.monitors = {{{0, 0, 1920, 1080}, {0, 0, 1920, 1080}, 1, u"DP-1"}};
        platform.modulePath = u"/usr/local/bin/Kestrove";
    }

    // The monitor lines are kept off the test's output; the user's actions
    // run with the output restored, so failures show.
    int Run(std::function<void(DialogEvents&)> act) {
        bool capturing = true;
        platform.duringModal = [&](DialogEvents& events) {
            ::testing::internal::GetCapturedStdout();
            capturing = false;
            if (act) {
                act(events);
            }
        };
        ::testing::internal::CaptureStdout();
        const int status = app.Run();
        if (capturing) {
            ::testing::internal::GetCapturedStdout();
        }
        return status;
    }

    RecordingPlatform platform;
    CKestroveApp app;
};

TEST_F(ApplicationTest, RunsTheMirrorWindowModallyAndEnds) {
    EXPECT_EQ(Run([](DialogEvents& events) { events.deliverCommand(win::IDCANCEL); }), 0);
    EXPECT_EQ(app.appName(), u"Kestrove");
    EXPECT_EQ(app.m_pMainWnd, nullptr);
    EXPECT_EQ(g_pMultiDisplay, nullptr);
    EXPECT_TRUE(platform.restartSupported);
    EXPECT_THAT(platform.calls, Contains("createDialog(102)"));
    EXPECT_TRUE(platform.openDialogs.empty()) << "the mirror window is gone";
    EXPECT_FALSE(platform.timerRunning);
}

TEST_F(ApplicationTest, MissingTemplateEndsAtOnceWithoutAMessage) {
    platform.dialogCreated = false;
    EXPECT_EQ(Run(nullptr), 0);
    EXPECT_TRUE(platform.messageBoxes.empty());
    EXPECT_EQ(app.m_pMainWnd, nullptr);
}

// What the platform tells the user of its own (no screen capture) comes up
// through the dialog and is shown in the framework's box, captioned with the
// application's name; the window stays.
TEST_F(ApplicationTest, APlatformNoticeIsShownUnderTheApplicationsName) {
    Run([](DialogEvents& events) {
        events.deliverNotice(u"画面を取り込めません");
        events.deliverCommand(win::IDCANCEL);
    });
    EXPECT_THAT(platform.messageBoxes, ElementsAre(u"画面を取り込めません"));
    EXPECT_THAT(platform.calls, Contains("messageBox(Kestrove,48)")); // OK, exclamation
    EXPECT_THAT(platform.calls, Contains("endDialog"));
}

TEST_F(ApplicationTest, HelpWithoutAHelpEngineShowsTheMessageAndStays) {
    Run([&](DialogEvents& events) {
        events.deliverHelp();
        EXPECT_THAT(platform.calls, Contains("winHelp(/usr/local/bin/Kestrove.HLP,1,0x20066)"));
        EXPECT_THAT(platform.messageBoxes, ElementsAre(u"ヘルプの起動に失敗しました。"));
        EXPECT_THAT(platform.calls, Contains("messageBox(Kestrove,48)"));
        EXPECT_THAT(platform.calls, ::testing::Not(Contains("endDialog")));
        events.deliverCommand(win::IDCANCEL);
    });
}

// A dialog whose handlers fail, to show what the user is told.
class FailingDialog : public Dialog {
public:
    FailingDialog() : Dialog(IDD_ABOUT) {}
    std::function<void()> deliverTimer = [] {};
    bool initFails = false;

protected:
    bool OnInitDialog() override {
        if (initFails) {
            throw std::runtime_error("no window for you");
        }
        return Dialog::OnInitDialog();
    }
    void OnTimer(TimerId) override { deliverTimer(); }
    bool OnCommand(std::uint32_t id) override {
        if (id == 4242) {
            throw std::runtime_error("command failed");
        }
        return Dialog::OnCommand(id);
    }
};

TEST_F(ApplicationTest, ExceptionsInHandlersAreReportedAndTheRunGoesOn) {
    FailingDialog failing;
    bool userException = false;
    failing.deliverTimer = [&] {
        if (userException) {
            throw UserException();
        }
        throw std::bad_alloc();
    };
    platform.duringModal = [&](DialogEvents& events) {
        events.deliverTimer(1);
        events.deliverCommand(4242);
        userException = true;
        events.deliverTimer(1);
        events.deliverCommand(win::IDCANCEL);
    };
    EXPECT_EQ(failing.DoModal(), win::IDCANCEL);
    EXPECT_THAT(platform.messageBoxes,
                ElementsAre(u"メモリが不足しています。", u"コマンドの実行に失敗しました。"));
    EXPECT_THAT(platform.calls, Contains("messageBox(,4144)")); // exclamation, system modal
    EXPECT_THAT(platform.calls, Contains("messageBox(,16)"));   // stop
}

TEST_F(ApplicationTest, ExceptionDuringCreationFailsTheDialogSilently) {
    FailingDialog failing;
    failing.initFails = true;
    EXPECT_EQ(failing.DoModal(), -1);
    EXPECT_TRUE(platform.messageBoxes.empty());
    EXPECT_THAT(platform.calls, ::testing::Not(Contains("runModalLoop")));
}

} // namespace
} // namespace kestrove::testing
