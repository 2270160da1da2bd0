// The real executable on desktops as people run them: Xorg with two real
// outputs under openbox, openbox with picom repainting the whole screen,
// xfwm4 with its compositor, and i3 (tiling). Each case starts its own
// server and desktop.
#include "tests/harness/cursor_changer.h"
#include "tests/harness/desktop_server.h"
#include "tests/harness/kestrove_session.h"
#include "tests/harness/wait.h"

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <X11/keysym.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

namespace kestrove::e2e {
namespace {

constexpr Rgb kMonitorTwo{230, 0, 200}; // covers the right output
constexpr Rgb kDesktop{20, 40, 120};    // the root's own colour
constexpr Rgb kMarker{0, 220, 0};

bool Near(Rgb a, Rgb b, int tolerance = 40) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}

int Count(const Image& image, Rgb colour) {
    int found = 0;
    for (const Rgb& pixel : image.pixels) {
        found += Near(pixel, colour) ? 1 : 0;
    }
    return found;
}

// A connection of the test's own that counts what the server tells it of
// the mirror: configure events (real and the window manager's synthetic
// ones), rewritten size hints, and the mirror's paints.
class MirrorWatch {
public:
    MirrorWatch(const std::string& display, Window mirror)
        : m_display(XOpenDisplay(display.c_str())), m_mirror(mirror) {
        XSelectInput(m_display, mirror, StructureNotifyMask | PropertyChangeMask);
        int error = 0;
        XDamageQueryExtension(m_display, &m_damageEvent, &error);
        m_damage = XDamageCreate(m_display, mirror, XDamageReportNonEmpty);
        XSync(m_display, False);
    }
    ~MirrorWatch() { XCloseDisplay(m_display); }

    struct Counts {
        int configures = 0;
        int hints = 0;
        int paints = 0;
    };
    // What came in during `duration`.
    Counts during(std::chrono::milliseconds duration) {
        drain();
        Counts counts;
        const auto end = Clock::now() + duration;
        while (Clock::now() < end) {
            while (XPending(m_display) > 0) {
                XEvent event;
                XNextEvent(m_display, &event);
                if (event.type == ConfigureNotify && event.xconfigure.window == m_mirror) {
                    ++counts.configures;
                } else if (event.type == PropertyNotify &&
                           event.xproperty.atom == XA_WM_NORMAL_HINTS) {
                    ++counts.hints;
                } else if (event.type == m_damageEvent + XDamageNotify) {
                    ++counts.paints;
                    XDamageSubtract(m_display, m_damage, None, None);
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return counts;
    }

private:
    void drain() {
        XDamageSubtract(m_display, m_damage, None, None);
        XSync(m_display, False);
        while (XPending(m_display) > 0) {
            XEvent event;
            XNextEvent(m_display, &event);
        }
    }

    Display* m_display;
    Window m_mirror;
    int m_damageEvent = 0;
    Damage m_damage = None;
};

class OnDesktop : public testing::TestWithParam<Desktop> {
protected:
    void SetUp() override {
        try {
            m_desktop = std::make_unique<DesktopServer>(GetParam());
        } catch (const DesktopUnavailable& missing) {
            GTEST_SKIP() << missing.what();
        }
    }
    DesktopServer& desktop() { return *m_desktop; }
    XClient& x() { return m_desktop->x(); }
    std::string title(Window mirror) { return x().name(mirror); }

    std::unique_ptr<DesktopServer> m_desktop;
};

// Ctrl+2 refits the window once, and Ctrl+1 again: the configure events
// and size hints stop, whatever the window manager answers. Back on its
// own monitor the mirror shows itself: its copy of itself shows monitor 1
// again, not monitor 2, and then the picture rests, also where a
// compositor repaints the whole screen after each of its paints.
TEST_P(OnDesktop, TheSizeSettlesTheCopyOfItselfIsCurrentAndAStillScreenRests) {
    x().showColour(DesktopServer::kRight, kMonitorTwo);
    // A tiling window manager gives the mirror a tile beside another window.
    std::unique_ptr<Display, decltype(&XCloseDisplay)> other(
        XOpenDisplay(desktop().display().c_str()), &XCloseDisplay);
    if (GetParam().name == "i3") {
        XMapWindow(other.get(), XCreateSimpleWindow(other.get(), DefaultRootWindow(other.get()), 0,
                                                    0, 300, 300, 0, 0, 0xffffff));
        XSync(other.get(), False);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    Window mirror = 0;
    auto kestrove = desktop().startKestrove(mirror);
    MirrorWatch watch(desktop().display(), mirror);
    constexpr auto kRefit = std::chrono::milliseconds(1500);
    constexpr auto kQuiet = std::chrono::milliseconds(2000);

    x().pressKey(mirror, XK_2, {XK_Control_L});
    ASSERT_TRUE(WaitUntil([&] { return title(mirror).starts_with("Kestrove - [2:2]"); }));
    const MirrorWatch::Counts refit = watch.during(kRefit);
    const MirrorWatch::Counts afterTwo = watch.during(kQuiet);
    EXPECT_EQ(afterTwo.configures, 0) << refit.configures << " configure events in the refit";
    EXPECT_EQ(afterTwo.hints, 0);

    x().pressKey(mirror, XK_1, {XK_Control_L});
    ASSERT_TRUE(WaitUntil([&] { return title(mirror).starts_with("Kestrove - [1:2]"); }));
    // The pointer rests over the mirror, whose picture shows the cursor.
    const WindowGeometry shownAt = *x().geometry(mirror);
    x().movePointer(shownAt.x + shownAt.width / 3, shownAt.y + shownAt.height / 3);
    // Where the window covers most of its own monitor (a tiling layout), its
    // copies of itself shrink slowly and take longer to settle.
    const auto start = Clock::now();
    EXPECT_TRUE(WaitUntil([&] { return watch.during(std::chrono::seconds(1)).paints == 0; },
                          std::chrono::seconds(30)))
        << "the picture never rests";
    std::printf(
        "rests after %lld ms\n",
        static_cast<long long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count()));
    const MirrorWatch::Counts afterOne = watch.during(kQuiet);
    EXPECT_EQ(afterOne.configures, 0);
    EXPECT_EQ(afterOne.hints, 0);
    EXPECT_EQ(afterOne.paints, 0) << "a still screen is painted again and again";

    const std::optional<Image> shown = x().grab(mirror);
    ASSERT_TRUE(shown.has_value());
    // Where the copies end, the last few pixels are the settled echo the
    // mirror no longer redraws (at most a 16-pixel square, deep inside).
    EXPECT_LE(Count(*shown, kMonitorTwo), 32) << "monitor 2 still shows in the mirror";
    EXPECT_TRUE(kestrove->running());
}

// Closing never hangs, whatever events are on their way: another client
// changes the root's cursor all the time while Kestrove closes.
TEST_P(OnDesktop, ClosesWhileTheRootCursorChanges) {
    constexpr int kCloses = 5;
    x().movePointer(2200, 700); // over the empty right output: the root's cursor shows
    CursorChanger changer(desktop().display());
    int closed = 0;
    for (int i = 0; i < kCloses; ++i) {
        Window mirror = 0;
        auto kestrove = desktop().startKestrove(mirror);
        x().movePointer(2200, 700);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        x().sendDeleteWindow(mirror);
        const auto status = kestrove->waitExit(std::chrono::seconds(10));
        EXPECT_TRUE(status.has_value()) << "close " << i + 1 << " hangs";
        closed += status.has_value() && status->exited && status->code == 0 ? 1 : 0;
    }
    EXPECT_EQ(closed, kCloses);
    std::printf("closes without a hang: %d of %d\n", closed, kCloses);
}

INSTANTIATE_TEST_SUITE_P(Desktops, OnDesktop, testing::ValuesIn(RealDesktops()),
                         [](const auto& info) { return info.param.name; });

} // namespace
} // namespace kestrove::e2e

namespace kestrove::e2e {
namespace {

std::unique_ptr<DesktopServer> StartDesktop(const std::string& name) {
    for (const Desktop& desktop : RealDesktops()) {
        if (desktop.name == name) {
            return std::make_unique<DesktopServer>(desktop);
        }
    }
    throw std::logic_error("no desktop " + name);
}

#define START_DESKTOP(variable, name)                                                              \
    std::unique_ptr<DesktopServer> variable;                                                       \
    try {                                                                                          \
        variable = StartDesktop(name);                                                             \
    } catch (const DesktopUnavailable& missing) {                                                  \
        GTEST_SKIP() << missing.what();                                                            \
    }

// The right button pressed and released at the mirror's corner next to the
// corner of monitor 1 (monitor 2 lies to its right): the menu opens as the
// button comes up, so that release chooses nothing, and it stays on
// monitor 1, flipped to the pointer's left and above it.
TEST(OnOpenbox, TheMenuOpensOnTheReleaseInsideTheMonitorUnderThePointer) {
    START_DESKTOP(desktop, "openbox");
    XClient& x = desktop->x();
    Window mirror = 0;
    auto kestrove = desktop->startKestrove(mirror);
    const WindowGeometry placed = *x.geometry(mirror);
    const WindowGeometry& monitor = DesktopServer::kLeft;
    {
        Display* d = XOpenDisplay(desktop->display().c_str());
        XMoveWindow(d, mirror, monitor.width - placed.width - 2,
                    monitor.height - placed.height - 2);
        XCloseDisplay(d);
    }
    ASSERT_TRUE(WaitUntil([&] {
        const WindowGeometry now = *x.geometry(mirror);
        return now.x + now.width >= monitor.width - 20 && now.y + now.height >= monitor.height - 20;
    })) << "the window manager did not move the mirror to the corner";
    const WindowGeometry corner = *x.geometry(mirror);
    const int pointerX = corner.x + corner.width - 3;
    const int pointerY = corner.y + corner.height - 3;

    const auto menuEntry = [&] {
        return x.findWindow(
            [&](Window w) { return x.name(w) == "Kestroveについて(A)..." && x.viewable(w); });
    };
    Display* input = XOpenDisplay(desktop->display().c_str());
    XWarpPointer(input, None, DefaultRootWindow(input), 0, 0, 0, 0, pointerX, pointerY);
    XTestFakeButtonEvent(input, Button3, True, CurrentTime);
    XSync(input, False);
    EXPECT_TRUE(StaysTrue([&] { return !menuEntry().has_value(); }, std::chrono::milliseconds(500)))
        << "the menu opened on the press";
    XTestFakeButtonEvent(input, Button3, False, CurrentTime);
    XSync(input, False);
    std::optional<Window> entry;
    ASSERT_TRUE(WaitUntil([&] { return (entry = menuEntry()).has_value(); }))
        << "no menu after the release";
    const WindowGeometry menu = *x.geometry(x.topLevel(*entry));
    EXPECT_GE(menu.x, monitor.x);
    EXPECT_GE(menu.y, monitor.y);
    EXPECT_LE(menu.x + menu.width, monitor.x + monitor.width) << "the menu reaches monitor 2";
    EXPECT_LE(menu.y + menu.height, monitor.y + monitor.height);
    EXPECT_TRUE(StaysTrue([&] { return kestrove->running() && menuEntry().has_value(); },
                          std::chrono::milliseconds(500)))
        << "the release chose an entry";
    XTestFakeKeyEvent(input, XKeysymToKeycode(input, XK_Escape), True, CurrentTime);
    XTestFakeKeyEvent(input, XKeysymToKeycode(input, XK_Escape), False, CurrentTime);
    XCloseDisplay(input);
    EXPECT_TRUE(WaitUntil([&] { return !menuEntry().has_value(); }));
    EXPECT_TRUE(kestrove->running());
}

// i3 tiles the mirror over the whole of monitor 1, which has not monitor
// 2's shape: monitor 2's picture is fitted inside the tile and centred, so
// a marker along its bottom edge shows.
TEST(OnI3, AWideTileShowsTheWholeMonitor) {
    START_DESKTOP(desktop, "i3");
    XClient& x = desktop->x();
    const WindowGeometry& right = DesktopServer::kRight;
    x.showColour(right, kDesktop);
    x.showColour({right.x, right.y + right.height - 24, right.width, 24}, kMarker);
    Window mirror = 0;
    auto kestrove = desktop->startKestrove(mirror);
    x.pressKey(mirror, XK_2, {XK_Control_L});
    ASSERT_TRUE(WaitUntil([&] { return x.name(mirror).starts_with("Kestrove - [2:2]"); }));
    const auto markerRows = [&] {
        const std::optional<Image> image = x.grab(mirror);
        if (!image) {
            return 0;
        }
        int rows = 0;
        for (int y = image->height * 9 / 10; y < image->height; ++y) {
            rows += Near(image->at(image->width / 2, y), kMarker) ? 1 : 0;
        }
        return rows;
    };
    EXPECT_TRUE(WaitUntil([&] { return markerRows() >= 15; }))
        << "the marker along monitor 2's bottom is missing (" << markerRows() << " rows)";
    const WindowGeometry tile = *x.geometry(mirror);
    EXPECT_GT(static_cast<double>(tile.width) / tile.height,
              static_cast<double>(right.width) / right.height + 0.1)
        << "i3 gave the mirror monitor 2's shape; the case needs a wider tile";
    EXPECT_TRUE(kestrove->running());
}

} // namespace
} // namespace kestrove::e2e
