#include "mirror/kestrove_dlg.h"
#include "monitors/multi_display.h"
#include "res/resource_ids.h"
#include "tests/fake/recording_platform.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kestrove::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// Runs the mirror window modally on the fake; `act` plays the user's part.
class MirrorWindowTest : public ::testing::Test {
protected:
    MirrorWindowTest() {
        platform.monitors = {
            {{0, 0, 1920, 1080}, {0, 0, 1920, 1040}, 1, u"DP-1"},
            {{1920, 0, 3840, 1200}, {1920, 0, 3840, 1200}, 0, u"HDMI-1"},
        };
        platform.devices = {Device(u"DP-1", u"Card A"), Device(u"HDMI-1", u"Card B")};
        platform.client = {0, 0, 640, 400};
    }

    static DisplayDevice Device(std::u16string_view name, std::u16string_view description) {
        DisplayDevice device{};
        std::copy(name.begin(), name.end(), device.DeviceName);
        std::copy(description.begin(), description.end(), device.DeviceString);
        return device;
    }

    // The monitor lines are kept off the test's output; the user's actions
    // run with the output restored, so failures show.
    std::intptr_t Run(std::function<void(DialogEvents&)> act) {
        platform.duringModal = [act = std::move(act)](DialogEvents& events) {
            ::testing::internal::GetCapturedStdout();
            act(events);
        };
        ::testing::internal::CaptureStdout();
        CKestroveDlg dlg;
        return dlg.DoModal();
    }

    static Message Key(std::uintptr_t virtualKey, bool control) {
        return Message{RecordingPlatform::kDialog, win::WM_KEYDOWN, virtualKey, control ? 1 : 0};
    }

    RecordingPlatform platform;
};

TEST_F(MirrorWindowTest, OpensTitledFittedAndMirroringMonitorOne) {
    Run([&](DialogEvents&) {
        EXPECT_EQ(platform.title, u"Kestrove - [1:2] Card A");
        EXPECT_EQ(platform.client, (Rect{0, 0, 640, 360}));
        EXPECT_TRUE(platform.timerRunning);
    });
    const std::vector<std::string> calls = platform.takeCalls();
    const std::vector<std::string> expected = {
        "createDialog(102)",
        "appendMenu(2048,0)",
        "appendMenu(0,16)",
        "setIcon(big)",
        "setIcon(small)",
        "magInitialize",
        "enumDisplayMonitors",
        "createMagnifierWindow(0,0,640,400)",
        "magSetWindowSource(0,0,1920,1080)",
        "invalidateRect",
        "isWindow",
        "setWindowSize(640,361)",
        "setWindowSize(640,360)",
        "magSetWindowTransform(0.333333343)",
        "magSetWindowSource(0,0,1920,1080)",
        "moveWindow(0,0,640,360)",
        "invalidateRect",
        "enumDisplayDevices(0)",
        "enumDisplayDevices(1)",
        "setWindowText(Kestrove - [1:2] Card A)",
        "setTimer(2000,50)",
        "runModalLoop",
    };
    EXPECT_TRUE(
        std::equal(expected.begin(), expected.end(), calls.begin(),
                   [](const std::string& want, const std::string& got) { return want == got; }))
        << ::testing::PrintToString(calls);
}

TEST_F(MirrorWindowTest, CtrlTwoSelectsTheSecondMonitorInOrder) {
    Run([&](DialogEvents& events) {
        platform.takeCalls();
        Message key = Key('2', true);
        EXPECT_TRUE(events.deliverPreTranslateMessage(key));
        EXPECT_THAT(platform.takeCalls(),
                    ElementsAre("magSetWindowSource(1920,0,3840,1200)", "invalidateRect",
                                "isWindow", "setWindowSize(640,401)", "setWindowSize(640,400)",
                                "magSetWindowTransform(0.333333343)",
                                "magSetWindowSource(1920,0,3840,1200)", "moveWindow(0,0,640,400)",
                                "invalidateRect", "enumDisplayDevices(0)", "enumDisplayDevices(1)",
                                "setWindowText(Kestrove - [2:2] Card B)"));
    });
}

TEST_F(MirrorWindowTest, KeysThatChangeNothing) {
    Run([&](DialogEvents& events) {
        platform.takeCalls();
        for (Message key :
             {Key('1', true), Key('3', true), Key('5', true), Key(0x0D, false), Key(0x1B, false)}) {
            // Consumed by the accelerator table, but nothing follows.
            EXPECT_TRUE(events.deliverPreTranslateMessage(key)) << key.wParam;
        }
        Message keypadTwo = Key(0x62, true); // VK_NUMPAD2
        EXPECT_FALSE(events.deliverPreTranslateMessage(keypadTwo));
        EXPECT_THAT(platform.takeCalls(), ElementsAre());
        EXPECT_EQ(platform.title, u"Kestrove - [1:2] Card A");
    });
}

TEST_F(MirrorWindowTest, SameMonitorAgainKeepsASizeChangedMeanwhile) {
    Run([&](DialogEvents& events) {
        Message key = Key('2', true);
        events.deliverPreTranslateMessage(key);
        platform.client = {0, 0, 500, 100}; // resized by other means
        platform.takeCalls();
        events.deliverPreTranslateMessage(key);
        EXPECT_THAT(platform.takeCalls(), ElementsAre());
        EXPECT_EQ(platform.client, (Rect{0, 0, 500, 100}));
    });
}

TEST_F(MirrorWindowTest, EndOfSizingRefitsAfterTheDefaultProcessing) {
    Run([&](DialogEvents& events) {
        platform.client = {0, 0, 333, 500};
        platform.monitors[0].rect = {0, 0, 1920, 1200}; // the list keeps what it took
        platform.takeCalls();
        events.deliverSysCommand(win::SC_SIZE | 0x0008, 0);
        EXPECT_THAT(platform.takeCalls(),
                    ElementsAre("defaultProcessing", "isWindow", "setWindowSize(333,188)",
                                "setWindowSize(333,187)", "magSetWindowTransform(0.173437506)",
                                "magSetWindowSource(0,0,1920,1080)", "moveWindow(0,0,333,187)",
                                "invalidateRect"));
        events.deliverSysCommand(win::SC_CLOSE, 0);
        EXPECT_THAT(platform.takeCalls(), ElementsAre("defaultProcessing"));
    });
}

TEST_F(MirrorWindowTest, FitUsesTheSizeTheSystemAllowed) {
    platform.frameWidth = 4;
    platform.maxClientHeight = 300;
    Run([&](DialogEvents&) {
        EXPECT_EQ(platform.client, (Rect{0, 0, 640, 300}));
        EXPECT_THAT(platform.calls, ::testing::Contains("setWindowSize(648,368)"));
        EXPECT_THAT(platform.calls, ::testing::Contains("moveWindow(0,0,640,300)"));
    });
}

TEST_F(MirrorWindowTest, TimerRefreshesOnlyForItsOwnId) {
    Run([&](DialogEvents& events) {
        platform.takeCalls();
        events.deliverTimer(IDT_REFRESH);
        events.deliverTimer(77);
        EXPECT_THAT(platform.takeCalls(),
                    ElementsAre("invalidateRect", "defaultProcessing", "defaultProcessing"));
    });
}

TEST_F(MirrorWindowTest, ClosingStopsTheTimerAndReleasesTheList) {
    const std::intptr_t result =
        Run([&](DialogEvents& events) { events.deliverCommand(win::IDCANCEL); });
    EXPECT_EQ(result, win::IDCANCEL);
    EXPECT_FALSE(platform.timerRunning);
    EXPECT_EQ(g_pMultiDisplay, nullptr);
    EXPECT_THAT(platform.calls, ::testing::IsSupersetOf({"killTimer(2000)", "destroyWindow"}));
}

TEST_F(MirrorWindowTest, MinimisedWindowDrawsTheIconCentred) {
    platform.iconic = true;
    Run([&](DialogEvents& events) {
        platform.client = {0, 0, 0, 0};
        platform.takeCalls();
        events.deliverPaint();
        EXPECT_THAT(platform.takeCalls(), ElementsAre("beginPaint", "iconEraseBackground",
                                                      "drawIcon(-15,-15)", "endPaint"));
        EXPECT_EQ(events.deliverQueryDragIcon(), static_cast<IconHandle>(IDR_MAIN_ICON));
    });
}

TEST_F(MirrorWindowTest, NoMonitorShowsAnEmptySourceWithoutFault) {
    platform.monitors.clear();
    Run([&](DialogEvents& events) {
        EXPECT_EQ(platform.title, u"Kestrove - [1:0] ");
        EXPECT_EQ(platform.client, (Rect{0, 0, 640, 400})); // height left as it was
        EXPECT_THAT(platform.calls, ::testing::Contains("magSetWindowSource(0,0,0,0)"));
        EXPECT_THAT(platform.calls, ::testing::Contains("magSetWindowTransform(1)"));
        Message key = Key('1', true);
        events.deliverPreTranslateMessage(key); // nothing to choose
        events.deliverSysCommand(win::SC_SIZE, 0);
    });
}

TEST_F(MirrorWindowTest, WithoutAMagnifierNothingIsConfigured) {
    platform.magnifierCreated = false;
    Run([&](DialogEvents& events) {
        events.deliverTimer(IDT_REFRESH);
        EXPECT_THAT(platform.calls, ::testing::Not(::testing::Contains(HasSubstr("magSet"))));
        EXPECT_THAT(platform.calls, ::testing::Not(::testing::Contains("invalidateRect")));
        EXPECT_EQ(platform.title, u"Kestrove - [1:2] Card A");
    });
}

} // namespace
} // namespace kestrove::testing
