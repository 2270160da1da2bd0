#include "program/mirror/kestrove_dlg.h"
#include "program/monitors/multi_display.h"
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
        EXPECT_EQ(platform.sourceMonitor, 1u);
        EXPECT_EQ(platform.source, (Rect{0, 0, 1920, 1080}));
        EXPECT_FLOAT_EQ(platform.zoom, 640.0f / 1920.0f);
        EXPECT_EQ(platform.magnifierArea, (Rect{0, 0, 640, 360}));
        EXPECT_GT(platform.magnifierRepaints, 0);
        EXPECT_EQ(platform.bigIcon, static_cast<IconHandle>(IDR_MAIN_ICON));
        EXPECT_EQ(platform.smallIcon, static_cast<IconHandle>(IDR_MAIN_ICON));
        EXPECT_THAT(platform.menuEntries,
                    ElementsAre(MenuEntry{win::MF_SEPARATOR, 0, u""},
                                MenuEntry{win::MF_STRING, IDM_ABOUT, u"Kestroveについて(&A)..."}));
    });
}

TEST_F(MirrorWindowTest, CtrlTwoSelectsTheSecondMonitor) {
    Run([&](DialogEvents& events) {
        Message key = Key('2', true);
        EXPECT_TRUE(events.deliverPreTranslateMessage(key));
        EXPECT_EQ(platform.title, u"Kestrove - [2:2] Card B");
        EXPECT_EQ(platform.sourceMonitor, 2u);
        EXPECT_EQ(platform.source, (Rect{1920, 0, 3840, 1200}));
        EXPECT_EQ(platform.client, (Rect{0, 0, 640, 400}));
        EXPECT_EQ(platform.magnifierArea, (Rect{0, 0, 640, 400}));
        EXPECT_FLOAT_EQ(platform.zoom, 640.0f / 1920.0f);
    });
}

// The order is the behaviour here: the control is given its source and shown
// anew before the window is fitted, the window is asked for one pixel more
// first (so it sees a size change even when the fit is the size it has), and
// the transform comes before the source it scales.
TEST_F(MirrorWindowTest, AChangeOfMonitorConfiguresTheControlInWindowsOrder) {
    Run([&](DialogEvents& events) {
        platform.takeCalls();
        Message key = Key('2', true);
        events.deliverPreTranslateMessage(key);
        EXPECT_THAT(platform.takeCalls(),
                    ElementsAre("magSetWindowSource(2:1920,0,3840,1200)", "invalidateRect",
                                "isWindow", "setWindowSize(640,401)", "setWindowSize(640,400)",
                                "magSetWindowTransform(0.333333343)",
                                "magSetWindowSource(2:1920,0,3840,1200)", "moveWindow(0,0,640,400)",
                                "invalidateRect", "enumDisplayDevices(0)", "enumDisplayDevices(1)",
                                "setWindowText(Kestrove - [2:2] Card B)"));
    });
}

// Two monitors at one place are still two: each keeps its own handle.
TEST_F(MirrorWindowTest, TwoMonitorsAtOnePlaceAreEachSelected) {
    platform.monitors[1].rect = platform.monitors[0].rect;
    Run([&](DialogEvents& events) {
        EXPECT_EQ(platform.sourceMonitor, 1u);
        Message key = Key('2', true);
        events.deliverPreTranslateMessage(key);
        EXPECT_EQ(platform.sourceMonitor, 2u);
        EXPECT_EQ(platform.source, (Rect{0, 0, 1920, 1080}));
        EXPECT_EQ(platform.title, u"Kestrove - [2:2] Card B");
    });
}

TEST_F(MirrorWindowTest, KeysThatChangeNothing) {
    Run([&](DialogEvents& events) {
        platform.client = {0, 0, 500, 100}; // no refit would leave this
        const int repaints = platform.magnifierRepaints;
        for (Message key :
             {Key('1', true), Key('3', true), Key('5', true), Key(0x0D, false), Key(0x1B, false)}) {
            // Consumed by the accelerator table, but nothing follows.
            EXPECT_TRUE(events.deliverPreTranslateMessage(key)) << key.wParam;
        }
        Message keypadTwo = Key(0x62, true); // VK_NUMPAD2
        EXPECT_FALSE(events.deliverPreTranslateMessage(keypadTwo));
        EXPECT_EQ(platform.title, u"Kestrove - [1:2] Card A");
        EXPECT_EQ(platform.sourceMonitor, 1u);
        EXPECT_EQ(platform.client, (Rect{0, 0, 500, 100}));
        EXPECT_EQ(platform.magnifierRepaints, repaints);
    });
}

TEST_F(MirrorWindowTest, SameMonitorAgainKeepsASizeChangedMeanwhile) {
    Run([&](DialogEvents& events) {
        Message key = Key('2', true);
        events.deliverPreTranslateMessage(key);
        platform.client = {0, 0, 500, 100}; // resized by other means
        const int repaints = platform.magnifierRepaints;
        events.deliverPreTranslateMessage(key);
        EXPECT_EQ(platform.client, (Rect{0, 0, 500, 100}));
        EXPECT_EQ(platform.magnifierArea, (Rect{0, 0, 640, 400}));
        EXPECT_EQ(platform.magnifierRepaints, repaints);
    });
}

TEST_F(MirrorWindowTest, EndOfSizingRefitsTheWindowToTheListedMonitor) {
    Run([&](DialogEvents& events) {
        platform.client = {0, 0, 333, 500};
        platform.monitors[0].rect = {0, 0, 1920, 1200}; // the list keeps what it took
        events.deliverSysCommand(win::SC_SIZE | 0x0008, 0);
        EXPECT_EQ(platform.client, (Rect{0, 0, 333, 187}));
        EXPECT_EQ(platform.magnifierArea, (Rect{0, 0, 333, 187}));
        EXPECT_FLOAT_EQ(platform.zoom, 333.0f / 1920.0f);
        EXPECT_EQ(platform.sourceMonitor, 1u);
        EXPECT_EQ(platform.source, (Rect{0, 0, 1920, 1080}));
        platform.client = {0, 0, 200, 50};
        events.deliverSysCommand(win::SC_CLOSE, 0);
        EXPECT_EQ(platform.client, (Rect{0, 0, 200, 50})) << "only the end of sizing refits";
    });
}

// The order is the behaviour here: the system's own sizing ends before the
// window is fitted to what it left.
TEST_F(MirrorWindowTest, EndOfSizingRefitsAfterTheDefaultProcessing) {
    Run([&](DialogEvents& events) {
        platform.takeCalls();
        events.deliverSysCommand(win::SC_SIZE, 0);
        const std::vector<std::string> calls = platform.takeCalls();
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.front(), "defaultProcessing");
        EXPECT_THAT(calls, ::testing::Contains(HasSubstr("setWindowSize")));
    });
}

TEST_F(MirrorWindowTest, FitUsesTheSizeTheSystemAllowed) {
    platform.frameWidth = 4;
    platform.maxClientHeight = 300;
    Run([&](DialogEvents&) {
        EXPECT_EQ(platform.client, (Rect{0, 0, 640, 300}));
        // The frame is added for the request: the fit asked for 640 x 360 inside it.
        EXPECT_THAT(platform.calls, ::testing::Contains("setWindowSize(648,368)"));
        EXPECT_EQ(platform.magnifierArea, (Rect{0, 0, 640, 300}));
    });
}

TEST_F(MirrorWindowTest, TimerRefreshesOnlyForItsOwnId) {
    Run([&](DialogEvents& events) {
        const int repaints = platform.magnifierRepaints;
        events.deliverTimer(IDT_REFRESH);
        EXPECT_EQ(platform.magnifierRepaints, repaints + 1);
        events.deliverTimer(77);
        EXPECT_EQ(platform.magnifierRepaints, repaints + 1);
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
        // The order is the behaviour: the icon is drawn over its erased
        // background, inside the paint bracket.
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
        EXPECT_EQ(platform.sourceMonitor, 0u);
        EXPECT_EQ(platform.source, (Rect{}));
        EXPECT_FLOAT_EQ(platform.zoom, 1.0f);
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
        EXPECT_EQ(platform.magnifierRepaints, 0);
        EXPECT_EQ(platform.title, u"Kestrove - [1:2] Card A");
    });
}

} // namespace
} // namespace kestrove::testing
