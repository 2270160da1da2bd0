// GNOME's own consent dialog (xdg-desktop-portal-gnome) on headless
// gnome-shell (gnome_chain.sh), clicked as a user would: gnome-shell runs in
// unsafe mode, so org.gnome.Shell.Eval drives a Clutter virtual pointer. The
// dialog's buttons and rows lie at fixed places in its frame (GNOME 43's
// layout, Adwaita theme).
#include "platform/compositor/portal/portal_frame_capture.h"
#include "tests/portal/mirror_on_desktop.h"
#include "tests/portal/portal_frame_reader.h"

#include <systemd/sd-bus.h>

#include <cstdio>
#include <sstream>
#include <thread>

namespace kestrove::e2e {
namespace {

struct Point {
    int x = 0;
    int y = 0;
};

// Places in the dialog's frame, from its top-left corner; the right-hand
// button from the top-right corner.
constexpr Point kCancel{47, 22};
constexpr int kShareFromRight = 46;
constexpr int kRowY[] = {134, 188}; // the monitors' rows, in the desktop's order

class GnomeDialog : public MirrorOnMutter {
protected:
    void SetUp() override {
        MirrorOnMutter::SetUp();
        if (IsSkipped()) {
            return;
        }
        if (sd_bus_open_user(&m_bus) < 0 || eval("global.session_mode").empty()) {
            GTEST_SKIP() << "needs gnome-shell in unsafe mode (gnome_chain.sh)";
        }
        // The shell starts in its overview, which would take the clicks.
        eval("Main.overview.hide(); "
             "globalThis.kestrovePointer = imports.gi.Clutter.get_default_backend()"
             ".get_default_seat().create_virtual_device("
             "imports.gi.Clutter.InputDeviceType.POINTER_DEVICE); 1");
        ASSERT_TRUE(WaitUntil([&] { return eval("Main.overview.visible") == "false"; }));
    }

    void TearDown() override {
        if (kestrove) {
            kestrove->terminate();
        }
        sd_bus_flush_close_unref(m_bus);
    }

    // What the shell's JavaScript answers, as JSON; empty when it fails.
    std::string eval(const std::string& script) {
        sd_bus_message* reply = nullptr;
        sd_bus_error error = SD_BUS_ERROR_NULL;
        std::string result;
        int success = 0;
        const char* text = nullptr;
        if (sd_bus_call_method(m_bus, "org.gnome.Shell", "/org/gnome/Shell", "org.gnome.Shell",
                               "Eval", &error, &reply, "s", script.c_str()) >= 0 &&
            sd_bus_message_read(reply, "bs", &success, &text) > 0 && success != 0) {
            result = text;
        }
        sd_bus_error_free(&error);
        sd_bus_message_unref(reply);
        return result;
    }

    // The frame of GNOME's screen-share dialog, once one is open.
    std::optional<WindowGeometry> dialog() {
        std::string frame =
            eval("global.get_window_actors().map(a => a.meta_window)"
                 ".filter(w => w.get_wm_class() === 'xdg-desktop-portal-gnome')"
                 ".map(w => { const r = w.get_frame_rect(); return [r.x, r.y, r.width, r.height]"
                 ".join(' '); }).join(' ')");
        if (frame.size() < 2) {
            return std::nullopt;
        }
        std::istringstream numbers(frame.substr(1, frame.size() - 2)); // the JSON string's quotes
        WindowGeometry g;
        if (!(numbers >> g.x >> g.y >> g.width >> g.height)) {
            return std::nullopt;
        }
        return g;
    }

    // The dialog once it has settled: found in the same place twice, its
    // opening animation over (a click during it goes nowhere).
    std::optional<WindowGeometry> waitForDialog() {
        std::optional<WindowGeometry> frame;
        WaitUntil(
            [&] {
                const std::optional<WindowGeometry> before = dialog();
                std::this_thread::sleep_for(500ms);
                frame = dialog();
                return before && frame && *before == *frame;
            },
            20s);
        return frame;
    }

    // Motion, press and release, each a call of its own, as the shell takes
    // each as an event of its own.
    void click(const WindowGeometry& frame, Point at) {
        const std::string now = "imports.gi.GLib.get_monotonic_time()";
        eval("kestrovePointer.notify_absolute_motion(" + now + ", " +
             std::to_string(frame.x + at.x) + ", " + std::to_string(frame.y + at.y) + "); 1");
        for (const char* state : {"PRESSED", "RELEASED"}) {
            eval("kestrovePointer.notify_button(" + now +
                 ", imports.gi.Clutter.BUTTON_PRIMARY, imports.gi.Clutter.ButtonState." + state +
                 "); 1");
        }
    }

    // Clicks a button that closes the dialog until it has closed.
    bool closeWith(const WindowGeometry& frame, Point at) {
        for (int attempt = 0; attempt < 5; ++attempt) {
            click(frame, at);
            if (WaitUntil([&] { return !dialog().has_value(); }, 2s)) {
                return true;
            }
        }
        return false;
    }

    bool share(const WindowGeometry& frame) {
        return closeWith(frame, {frame.width - kShareFromRight, kCancel.y});
    }

    sd_bus* m_bus = nullptr;
};

// Share with the dialog's default selection (one monitor), then Ctrl+2: the
// second monitor is asked for in a second dialog and shown once shared.
TEST_F(GnomeDialog, EveryMonitorIsReachedThroughTheDialog) {
    start();
    const std::optional<WindowGeometry> first = waitForDialog();
    ASSERT_TRUE(first) << "no dialog" << said();
    // The window is there, titled, while the dialog is open.
    EXPECT_TRUE(x->viewable(*mirror));
    EXPECT_EQ(x->name(*mirror).rfind("Kestrove - [1:2]", 0), 0u) << x->name(*mirror);
    EXPECT_EQ(Describe(centre()), Describe(kBlack)) << "blank until the share";

    ASSERT_TRUE(share(*first)) << said();
    const Rgb red{200, 30, 40}, blue{20, 160, 220};
    const Window cover = paint(0, red);
    EXPECT_TRUE(showsCentre(red)) << "the mirror shows " << Describe(centre()) << said();
    // The dialog comes over Kestrove's window, which the cover hides.
    x->destroyWindow(cover);

    ASSERT_TRUE(pressUntil(*mirror, XK_2, {XK_Control_L}, [&] { return dialog().has_value(); }))
        << "no second dialog; title " << x->name(*mirror) << said();
    const std::optional<WindowGeometry> second = waitForDialog();
    ASSERT_TRUE(second);
    click(*second, {second->width / 2, kRowY[1]});
    ASSERT_TRUE(share(*second)) << said();
    paint(1, blue);
    EXPECT_TRUE(showsCentre(blue))
        << "the mirror shows " << Describe(centre()) << "; title " << x->name(*mirror) << said();
    EXPECT_EQ(kestrove->standardError(), "");
}

// The first monitor shared, the second refused in the second dialog: the
// notice for it, a blank mirror, and the first monitor still shown on Ctrl+1
// without being asked for again.
TEST_F(GnomeDialog, ARefusedSecondMonitorLeavesTheFirstShared) {
    start();
    const std::optional<WindowGeometry> first = waitForDialog();
    ASSERT_TRUE(first) << "no dialog" << said();
    ASSERT_TRUE(share(*first)) << said();
    const Rgb red{200, 30, 40};
    const Window cover = paint(0, red);
    ASSERT_TRUE(showsCentre(red)) << "the mirror shows " << Describe(centre()) << said();
    x->destroyWindow(cover); // the dialog comes over Kestrove's window

    ASSERT_TRUE(pressUntil(*mirror, XK_2, {XK_Control_L}, [&] { return dialog().has_value(); }))
        << "no second dialog; title " << x->name(*mirror) << said();
    const std::optional<WindowGeometry> second = waitForDialog();
    ASSERT_TRUE(second);
    ASSERT_TRUE(closeWith(*second, kCancel)) << said();
    const std::optional<Window> box = notice();
    ASSERT_TRUE(box) << "no notice" << said();
    const std::string error = kestrove->standardError();
    EXPECT_EQ(std::count(error.begin(), error.end(), '\n'), 1) << error;
    EXPECT_NE(error.find("refused"), std::string::npos) << error;
    EXPECT_TRUE(pressUntil(*box, XK_Return, {}, [&] { return !x->viewable(*box); }));
    EXPECT_EQ(Describe(centre()), Describe(kBlack));

    paint(0, red);
    ASSERT_TRUE(pressUntil(*mirror, XK_1, {XK_Control_L},
                           [&] { return x->name(*mirror).rfind("Kestrove - [1:2]", 0) == 0; }));
    EXPECT_TRUE(showsCentre(red)) << "the mirror shows " << Describe(centre()) << said();
    EXPECT_FALSE(dialog()) << "asked again for a monitor already shared";
    EXPECT_EQ(kestrove->standardError(), error) << "said more than once";
}

// The user says no: Kestrove says so once, names no missing protocol, the
// mirror stays blank, the window keeps working, and no dialog comes again.
TEST_F(GnomeDialog, CancelGivesTheNoticeAndAWorkingWindow) {
    start();
    const std::optional<WindowGeometry> frame = waitForDialog();
    ASSERT_TRUE(frame) << "no dialog" << said();
    ASSERT_TRUE(closeWith(*frame, kCancel)) << said();
    const std::optional<Window> box = notice();
    ASSERT_TRUE(box) << "no notice" << said();
    EXPECT_TRUE(noticeTextShown(kRefusedNotice));
    const std::string error = kestrove->standardError();
    EXPECT_EQ(std::count(error.begin(), error.end(), '\n'), 1) << error;
    EXPECT_NE(error.find("refused"), std::string::npos) << error;
    EXPECT_EQ(error.find("ext-image-copy-capture"), std::string::npos) << error;
    EXPECT_TRUE(pressUntil(*box, XK_Return, {}, [&] { return !x->viewable(*box); }));
    EXPECT_EQ(Describe(centre()), Describe(kBlack));
    EXPECT_TRUE(windowWorks()) << said();
    EXPECT_FALSE(dialog()) << "asked again after a refusal";
    EXPECT_EQ(kestrove->standardError(), error) << "said more than once";
}

// The same refusal as the capture sees it: no monitors, the reason, and a
// refused first consent is final.
TEST_F(GnomeDialog, CancelRefusesTheCapture) {
    std::string reason;
    const auto capture = compositor::OpenPortalCapture("", reason);
    ASSERT_TRUE(capture) << reason;
    // The capture asks step by step as it is dispatched.
    ASSERT_TRUE(WaitUntil(
        [&] {
            WaitForAnswer(*capture, 100ms);
            return dialog().has_value();
        },
        20s));
    const std::optional<WindowGeometry> frame = waitForDialog();
    ASSERT_TRUE(frame) << "no dialog";
    EXPECT_TRUE(capture->asking());
    ASSERT_TRUE(closeWith(*frame, kCancel));
    ASSERT_TRUE(WaitForAnswer(*capture, 10s));
    EXPECT_TRUE(capture->outputs().empty());
    EXPECT_NE(capture->failure().find("refused"), std::string::npos) << capture->failure();
    EXPECT_FALSE(capture->askForMore());
}

} // namespace
} // namespace kestrove::e2e
