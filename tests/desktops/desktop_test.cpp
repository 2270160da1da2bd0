// The real executable on desktops as people run them: Xorg with two real
// outputs under openbox, openbox with picom repainting the whole screen,
// xfwm4 with its compositor, and i3 (tiling). Each case starts its own
// server and desktop.
#include "tests/harness/desktop_server.h"
#include "tests/harness/kestrove_session.h"
#include "tests/harness/wait.h"

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/cursorfont.h>
#include <X11/extensions/Xdamage.h>
#include <X11/keysym.h>

#include <atomic>
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

// Another client that changes the root window's cursor all the time: each
// change reaches Kestrove as an XFixes cursor event.
class CursorChanger {
public:
    explicit CursorChanger(const std::string& display)
        : m_thread([this, display] {
              Display* d = XOpenDisplay(display.c_str());
              const Cursor cursors[] = {XCreateFontCursor(d, XC_watch),
                                        XCreateFontCursor(d, XC_crosshair)};
              for (unsigned i = 0; !m_stop; ++i) {
                  XDefineCursor(d, DefaultRootWindow(d), cursors[i % 2]);
                  XFlush(d);
                  std::this_thread::sleep_for(std::chrono::milliseconds(2));
              }
              XCloseDisplay(d);
          }) {}
    ~CursorChanger() {
        m_stop = true;
        m_thread.join();
    }

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
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
    x().movePointer(100, 200);
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
