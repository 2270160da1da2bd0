// GNOME's own consent dialog (xdg-desktop-portal-gnome) on headless
// gnome-shell (gnome_chain.sh), clicked as a user would: gnome-shell runs in
// unsafe mode, so org.gnome.Shell.Eval drives a Clutter virtual pointer. The
// same cases run on GNOME 43 and 48; where their dialogs differ is data
// (DialogLayout).
#include "platform/compositor/portal/portal_frame_capture.h"
#include "tests/harness/portal/mirror_on_desktop.h"
#include "tests/harness/portal/portal_frame_reader.h"

#include <systemd/sd-bus.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <thread>

namespace kestrove::e2e {
namespace {

struct Point {
    int x = 0;
    int y = 0;
};

// The shell's monitors in stage (logical) coordinates, in the desktop's order.
using Desktop = std::vector<WindowGeometry>;

// Where a version's dialog is clicked, from its frame's top-left corner
// (Adwaita theme); Share, in the header bar with Cancel, from the top-right.
struct DialogLayout {
    const char* version;
    Point cancel;
    int shareFromRight;
    bool firstChosen; // the first monitor is chosen when the dialog opens
    Point (*monitor)(const WindowGeometry& frame, const Desktop& desktop, std::size_t index);
};

// GNOME 43: one row per monitor, in the desktop's order.
Point RowOf(const WindowGeometry& frame, const Desktop&, std::size_t index) {
    constexpr int kRowY[] = {134, 188};
    return {frame.width / 2, kRowY[index]};
}

// GNOME 48: a tile per monitor, laid out like the desktop, scaled to fit the
// area below the dialog's words and centred in it.
Point TileOf(const WindowGeometry& frame, const Desktop& desktop, std::size_t index) {
    constexpr int kSide = 57, kTop = 138, kBottom = 57;
    const double width = frame.width - 2 * kSide, height = frame.height - kTop - kBottom;
    int right = 0, bottom = 0;
    for (const WindowGeometry& m : desktop) {
        right = std::max(right, m.x + m.width);
        bottom = std::max(bottom, m.y + m.height);
    }
    const double scale = std::min(width / right, height / bottom);
    const WindowGeometry& m = desktop[index];
    return {kSide + static_cast<int>((width - right * scale) / 2 + (m.x + m.width / 2.0) * scale),
            kTop +
                static_cast<int>((height - bottom * scale) / 2 + (m.y + m.height / 2.0) * scale)};
}

constexpr DialogLayout kLayouts[] = {
    {"43", {47, 22}, 46, true, RowOf},
    {"48", {50, 22}, 49, false, TileOf},
};

const DialogLayout& LayoutOfThisGnome() {
    const char* version = std::getenv("KESTROVE_GNOME_VERSION");
    for (const DialogLayout& layout : kLayouts) {
        if (version && std::string(version) == layout.version) {
            return layout;
        }
    }
    return kLayouts[0];
}

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
        // The shell starts in its overview, which would take the clicks, and
        // GNOME 48 greets a privileged user with a banner over the dialog's
        // header.
        eval("Main.messageTray.getSources().forEach(s => s.destroy()); Main.overview.hide(); "
             "globalThis.kestrovePointer = imports.gi.Clutter.get_default_backend()"
             ".get_default_seat().create_virtual_device("
             "imports.gi.Clutter.InputDeviceType.POINTER_DEVICE); 1");
        ASSERT_TRUE(WaitUntil([&] { return eval("Main.overview.visible") == "false"; }));
        // A new pointer's first event only makes it known; none of the
        // dialog's clicks is to be lost that way.
        eval("kestrovePointer.notify_absolute_motion(imports.gi.GLib.get_monotonic_time(), 1, 1);"
             " 1");
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
        // GNOME 48 has the window before it has a size.
        if (!(numbers >> g.x >> g.y >> g.width >> g.height) || g.width == 0) {
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

    // The shell's monitors, sorted along the desktop.
    Desktop desktop() {
        std::string list = eval("Array.from({length: global.display.get_n_monitors()}, (_, i) => {"
                                " const r = global.display.get_monitor_geometry(i);"
                                " return [r.x, r.y, r.width, r.height].join(' '); }).join(' ')");
        Desktop monitors;
        if (list.size() < 2) {
            return monitors;
        }
        std::istringstream numbers(list.substr(1, list.size() - 2));
        WindowGeometry g;
        while (numbers >> g.x >> g.y >> g.width >> g.height) {
            monitors.push_back(g);
        }
        std::sort(monitors.begin(), monitors.end(),
                  [](const WindowGeometry& a, const WindowGeometry& b) { return a.x < b.x; });
        return monitors;
    }

    // Chooses the monitors (indices along the desktop) and shares them.
    bool share(const WindowGeometry& frame, const std::vector<std::size_t>& chosen = {0}) {
        const Desktop monitors = desktop();
        for (const std::size_t index : chosen) {
            if (index >= monitors.size()) {
                return false;
            }
            if (index != 0 || !layout.firstChosen) {
                click(frame, layout.monitor(frame, monitors, index));
            }
        }
        return closeWith(frame, {frame.width - layout.shareFromRight, layout.cancel.y});
    }

    bool cancel(const WindowGeometry& frame) { return closeWith(frame, layout.cancel); }

    // The first dialog answered with every monitor shared.
    void startSharingBoth() {
        start();
        const std::optional<WindowGeometry> frame = waitForDialog();
        ASSERT_TRUE(frame) << "no dialog" << said();
        ASSERT_TRUE(share(*frame, {0, 1})) << said();
    }

    // Ctrl+2 with both monitors shared: monitor 2 shown, and no dialog.
    void expectMonitorTwoWithoutAsking(Rgb left, Rgb right) {
        ASSERT_TRUE(pressUntil(*mirror, XK_2, {XK_Control_L}, [&] {
            return x->name(*mirror).rfind("Kestrove - [2:2]", 0) == 0;
        })) << x->name(*mirror);
        EXPECT_TRUE(WaitUntil([&] { return Near(at(0.25), left) && Near(at(0.75), right); }, 15s))
            << "the mirror shows " << Describe(at(0.25)) << " and " << Describe(at(0.75)) << said();
        std::this_thread::sleep_for(1s);
        EXPECT_FALSE(dialog()) << "asked again for a monitor already shared";
    }

    // The mirror's colour at a fraction of its width, half-way down.
    Rgb at(double across) {
        std::optional<Image> image = x->grabContents(*mirror);
        return image && image->width > 0
                   ? image->at(static_cast<int>(image->width * across), image->height / 2)
                   : Rgb{1, 2, 3};
    }

    // Each half of an area of the X screen in a colour of its own.
    void paintHalves(const WindowGeometry& area, Rgb left, Rgb right) {
        x->showColour({area.x, area.y, area.width / 2, area.height}, left);
        x->showColour({area.x + area.width / 2, area.y, area.width - area.width / 2, area.height},
                      right);
    }

    const DialogLayout& layout = LayoutOfThisGnome();
    sd_bus* m_bus = nullptr;
};

// Share the first monitor, then Ctrl+2: the second monitor is asked for in a
// second dialog and shown once shared.
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
    ASSERT_TRUE(share(*second, {1})) << said();
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
    ASSERT_TRUE(cancel(*second)) << said();
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
    ASSERT_TRUE(cancel(*frame)) << said();
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
    const auto capture = compositor::portal::OpenPortalCapture("", reason);
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
    ASSERT_TRUE(cancel(*frame));
    ASSERT_TRUE(WaitForAnswer(*capture, 10s));
    EXPECT_TRUE(capture->outputs().empty());
    EXPECT_NE(capture->failure().find("refused"), std::string::npos) << capture->failure();
    EXPECT_FALSE(capture->askForMore());
}

// A square on the shared monitor changing colour ten times: each change
// reaches the mirror by itself (nothing else moves to push it along).
TEST_F(GnomeDialog, EveryChangeOfASquareIsShown) {
    start();
    const std::optional<WindowGeometry> frame = waitForDialog();
    ASSERT_TRUE(frame) << "no dialog" << said();
    ASSERT_TRUE(share(*frame)) << said();
    const ServerMonitor& m = monitors[0];
    const WindowGeometry square{m.x + m.width / 4, m.y + m.height / 4, m.width / 2, m.height / 2};
    constexpr Rgb kColours[] = {{200, 30, 40},   {20, 160, 220}, {240, 200, 20}, {30, 150, 60},
                                {150, 40, 180},  {250, 130, 20}, {90, 90, 90},   {20, 40, 140},
                                {230, 230, 230}, {120, 60, 20}};
    std::optional<Window> shownBefore;
    int shown = 0;
    auto slowest = 0ms;
    for (const Rgb colour : kColours) {
        const Window now = x->showColour(square, colour);
        if (shownBefore) {
            x->destroyWindow(*shownBefore);
        }
        shownBefore = now;
        const auto changed = std::chrono::steady_clock::now();
        if (WaitUntil([&] { return Near(centre(), colour); }, 3s)) {
            ++shown;
            slowest = std::max(slowest, std::chrono::duration_cast<std::chrono::milliseconds>(
                                            std::chrono::steady_clock::now() - changed));
        }
        std::this_thread::sleep_for(300ms);
    }
    std::printf("GNOME %s: %d of %zu changes shown, the slowest after %lld ms\n", layout.version,
                shown, std::size(kColours), static_cast<long long>(slowest.count()));
    RecordProperty("changes_shown", shown);
    EXPECT_EQ(shown, static_cast<int>(std::size(kColours))) << said();
    EXPECT_EQ(kestrove->standardError(), "");
}

// Both monitors shared in the first dialog: Ctrl+2 shows the second one, its
// own picture, with no dialog again.
TEST_F(GnomeDialog, BothSharedAtOnceNeedNoSecondDialog) {
    startSharingBoth();
    if (HasFatalFailure()) {
        return;
    }
    const Rgb red{200, 30, 40}, blue{20, 160, 220}, green{30, 150, 60};
    paint(0, red);
    EXPECT_TRUE(showsCentre(red)) << "the mirror shows " << Describe(centre()) << said();
    const ServerMonitor& two = monitors[1];
    paintHalves({two.x, two.y, two.width, two.height}, blue, green);
    expectMonitorTwoWithoutAsking(blue, green);
    EXPECT_EQ(kestrove->standardError(), "");
}

// GNOME 48's defaults, scale-monitor-framebuffer and xwayland-native-scaling,
// with monitor 1 at scale 2 and monitor 2 at scale 1 (gnome_chain.sh's
// monitors 1600x960 and 1024x768): XWayland reports monitor 2 at
// 1024x768+1600+0 (its place doubled, its size not) while the portal's
// streams are logical (x 800). Both shared, Ctrl+2 shows monitor 2, the right
// way round, without asking again.
class GnomeMixedScale : public GnomeDialog {
protected:
    void SetUp() override {
        GnomeDialog::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        if (std::string(layout.version) != "48") {
            GTEST_SKIP() << "gdctl and native XWayland scaling are GNOME 48's";
        }
        const std::string gdctl = std::string(std::getenv("KESTROVE_PORTAL_WORK")) + "/bin/gdctl";
        ASSERT_EQ(std::system((gdctl + " set --logical-monitor --primary --scale 2 --monitor Meta-0"
                                       " --logical-monitor --right-of Meta-0 --monitor Meta-1")
                                  .c_str()),
                  0);
        ASSERT_TRUE(WaitUntil([&] {
            const Desktop now = desktop();
            return now.size() == 2 && now[0].width == 800 && now[1].x == 800;
        })) << "the shell did not take the scale";
        // XWayland's monitors may keep their places in its own pixels; what
        // it reports once the change has reached it is what X clients see.
        std::this_thread::sleep_for(1s);
        monitors = x->monitors();
        ASSERT_EQ(monitors.size(), 2u);
        std::sort(monitors.begin(), monitors.end(),
                  [](const ServerMonitor& a, const ServerMonitor& b) { return a.x < b.x; });
    }
};

TEST_F(GnomeMixedScale, CtrlTwoShowsMonitorTwo) {
    startSharingBoth();
    if (HasFatalFailure()) {
        return;
    }
    const Rgb red{200, 30, 40}, blue{20, 160, 220}, green{30, 150, 60};
    paint(0, red);
    EXPECT_TRUE(showsCentre(red)) << "the mirror shows " << Describe(centre()) << said();
    // XWayland's coordinates are the shell's logical ones times the largest
    // scale, whatever size it reports for monitor 2: an X window covers the
    // whole of monitor 2 only at its place and size doubled.
    const WindowGeometry two = desktop()[1];
    paintHalves({2 * two.x, 2 * two.y, 2 * two.width, 2 * two.height}, blue, green);
    expectMonitorTwoWithoutAsking(blue, green);
    EXPECT_EQ(kestrove->standardError(), "");
}

} // namespace
} // namespace kestrove::e2e
