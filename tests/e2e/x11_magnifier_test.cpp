// The X11 magnifier on a real X server: the picture it makes of a screen area
// with fine lines and text, what makes it repaint, the cursor, and inputs
// that leave nothing to show.
#include "tests/harness/xvfb_server.h"

#include <gtest/gtest.h>

#include "platform/x11/magnifier/blank_frame_source.h"
#include "platform/x11/magnifier/magnifier_window.h"
#include "tests/harness/x11_picture_quality.h"

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace kestrove::x11 {
namespace {

constexpr int kScreenWidth = 2900;
constexpr int kScreenHeight = 1200;
// The area mirrored: a multiple of 2, 3, 4 and 6 on both axes.
constexpr Rect kSource{0, 0, 1800, 1080};
constexpr int kMirrorX = 1850; // where the mirror's parent window goes

int g_errors = 0;
int CountError(Display*, XErrorEvent*) {
    ++g_errors;
    return 0;
}

MagTransform Zoom(float zoom) {
    MagTransform transform{};
    transform.v[0][0] = zoom;
    transform.v[1][1] = zoom;
    transform.v[2][2] = 1.0f;
    return transform;
}

class Magnifier : public ::testing::Test {
protected:
    void SetUp() override {
        m_server = std::make_unique<e2e::XvfbServer>(kScreenWidth, kScreenHeight);
        m_display = XOpenDisplay(m_server->display().c_str());
        ASSERT_NE(m_display, nullptr);
        g_errors = 0;
        m_previousHandler = XSetErrorHandler(CountError);
        int errorBase = 0;
        XDamageQueryExtension(m_display, &m_damageEvents, &errorBase);
        XWarpPointer(m_display, None, DefaultRootWindow(m_display), 0, 0, 0, 0, kScreenWidth - 1,
                     kScreenHeight - 1);
        m_pattern = showWindow(kSource.left, kSource.top, kSource.right - kSource.left,
                               kSource.bottom - kSource.top);
        quality::PaintFinePattern(m_display, m_pattern, kSource.right - kSource.left,
                                  kSource.bottom - kSource.top);
    }

    void TearDown() override {
        m_magnifier.reset();
        if (m_display != nullptr) {
            XCloseDisplay(m_display);
        }
        XSetErrorHandler(m_previousHandler);
    }

    Window showWindow(int x, int y, int width, int height) {
        XSetWindowAttributes attributes{};
        attributes.override_redirect = True;
        attributes.background_pixel = WhitePixel(m_display, DefaultScreen(m_display));
        const Window window = XCreateWindow(
            m_display, DefaultRootWindow(m_display), x, y, static_cast<unsigned>(width),
            static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
            CWOverrideRedirect | CWBackPixel, &attributes);
        XMapRaised(m_display, window);
        XSync(m_display, False);
        return window;
    }

    // The pointer moved as a mouse moves it.
    void movePointer(int x, int y) {
        XTestFakeMotionEvent(m_display, -1, x, y, CurrentTime);
        XSync(m_display, False);
    }

    // A mirror of `source` at `zoom`, `width` x `height`, on a window of its own.
    void mirror(const Rect& source, float zoom, int width, int height, int x = kMirrorX,
                int y = 0) {
        m_magnifier.reset();
        m_parent = showWindow(x, y, width, height);
        m_magnifier =
            std::make_unique<MagnifierWindow>(m_display, m_parent, Rect{0, 0, width, height});
        m_magnifier->setSource(MonitorIdentity{{}, source, {}});
        m_magnifier->setTransform(Zoom(zoom));
        m_width = width;
        m_height = height;
        refresh();
    }

    // Hands the magnifier what the server reported, then one refresh.
    void refresh() {
        pump();
        m_magnifier->repaint();
        XSync(m_display, False);
    }

    void pump() {
        XSync(m_display, False);
        while (XPending(m_display) > 0) {
            XEvent event{};
            XNextEvent(m_display, &event);
            if (m_magnifier) {
                m_magnifier->handleEvent(event);
            }
            if (event.type == m_damageEvents + XDamageNotify &&
                reinterpret_cast<const XDamageNotifyEvent&>(event).damage == m_watched) {
                ++m_repaints;
            }
        }
    }

    // How many times the mirror's picture is drawn during `action`.
    template <typename Action> int repaintsDuring(Action action) {
        m_watched = XDamageCreate(m_display, m_magnifier->window(), XDamageReportRawRectangles);
        pump();
        m_repaints = 0;
        action();
        pump();
        XDamageDestroy(m_display, m_watched);
        m_watched = None;
        return m_repaints;
    }

    quality::Pixels shown() {
        return quality::Grab(m_display, m_magnifier->window(), 0, 0, m_width, m_height);
    }

    bool allBlack() {
        const quality::Pixels picture = shown();
        for (const double value : picture.channels) {
            if (value != 0) {
                return false;
            }
        }
        return !picture.channels.empty();
    }

    std::unique_ptr<e2e::XvfbServer> m_server;
    Display* m_display = nullptr;
    XErrorHandler m_previousHandler = nullptr;
    int m_damageEvents = 0;
    Damage m_watched = None; // drawing on the mirror's window, counted in m_repaints
    int m_repaints = 0;
    Window m_pattern = None;
    Window m_parent = None;
    std::unique_ptr<MagnifierWindow> m_magnifier;
    int m_width = 0;
    int m_height = 0;
};

TEST_F(Magnifier, DownscaleKeepsFineLinesAndTextAsAnExactBoxAverageWould) {
    const int width = kSource.right - kSource.left;
    const int height = kSource.bottom - kSource.top;
    const quality::Pixels source = quality::Grab(m_display, DefaultRootWindow(m_display),
                                                 kSource.left, kSource.top, width, height);
    for (const int n : {2, 3, 4, 6}) {
        SCOPED_TRACE("a 1/" + std::to_string(n) + " downscale");
        // The zoom as the mirror window computes it: client width / source width, in float.
        const float zoom = static_cast<float>(static_cast<double>(width / n) / width);
        mirror(kSource, zoom, width / n, height / n);
        // Point sampling (plain bilinear at 1/3) scores about 10 dB here.
        EXPECT_GE(quality::Psnr(shown(), quality::BoxDownscale(source, n)), 45.0);
    }
    EXPECT_EQ(g_errors, 0);
}

TEST_F(Magnifier, RepaintsOnlyForChangesInTheSourceOrOfTheCursorThere) {
    const Rect source{0, 0, 900, 540}; // the top-left quarter of the pattern
    mirror(source, 0.5f, 450, 270);
    GC gc = XCreateGC(m_display, m_pattern, 0, nullptr);
    const auto draw = [&](int x, int y) {
        XFillRectangle(m_display, m_pattern, gc, x, y, 20, 20);
        XSync(m_display, False);
    };

    EXPECT_EQ(repaintsDuring([&] {
                  for (int i = 0; i < 5; ++i) {
                      refresh();
                  }
              }),
              0)
        << "a still screen";
    EXPECT_EQ(repaintsDuring([&] {
                  draw(1200, 700); // on the pattern, outside the source
                  refresh();
              }),
              0)
        << "a change outside the source";
    EXPECT_GT(repaintsDuring([&] {
                  draw(100, 100);
                  refresh();
              }),
              0)
        << "a change in the source";
    EXPECT_EQ(repaintsDuring([&] {
                  movePointer(1500, 900);
                  refresh();
              }),
              0)
        << "the pointer moving outside the source";
    EXPECT_GT(repaintsDuring([&] {
                  movePointer(300, 200);
                  refresh();
              }),
              0)
        << "the pointer moving into the source";
    EXPECT_EQ(repaintsDuring([&] { refresh(); }), 0) << "the pointer resting in the source";
    EXPECT_GT(repaintsDuring([&] {
                  m_magnifier->setTransform(Zoom(0.25f));
                  refresh();
              }),
              0)
        << "a new zoom";
    XFreeGC(m_display, gc);
    EXPECT_EQ(g_errors, 0);
}

TEST_F(Magnifier, AMirrorInsideItsOwnSourceDoesNotRepaintItselfForever) {
    mirror(kSource, 1.0f / 3, 600, 360, 300, 300);
    const auto stillRefreshes = [&] {
        for (int i = 0; i < 5; ++i) {
            refresh();
        }
    };
    // It shows itself, then its copy of itself is brought up to date one
    // level deeper each refresh, until the copies end in a few pixels.
    const auto settle = [&] {
        for (int i = 0; i < 10; ++i) {
            refresh();
        }
    };
    settle();
    EXPECT_EQ(repaintsDuring(stillRefreshes), 0);

    // Moved, it leaves pattern behind that it must show, then rests again.
    XMoveWindow(m_display, m_parent, 900, 600);
    EXPECT_GT(repaintsDuring([&] { refresh(); }), 0);
    settle();
    EXPECT_EQ(repaintsDuring(stillRefreshes), 0);
    const quality::Pixels vacated =
        quality::Grab(m_display, m_magnifier->window(), 100, 100, 150, 50);
    const quality::Pixels expected = quality::BoxDownscale(
        quality::Grab(m_display, DefaultRootWindow(m_display), 300, 300, 450, 150), 3);
    EXPECT_GE(quality::Psnr(vacated, expected), 45.0) << "the picture where the mirror was";
}

TEST_F(Magnifier, ShowsWhatChangedWhileItWasCoveredOnceUncovered) {
    const Rect source{0, 0, 900, 540};
    mirror(source, 0.5f, 450, 270);
    const Window cover = showWindow(kMirrorX - 10, 0, 500, 300);
    refresh();
    GC gc = XCreateGC(m_display, m_pattern, 0, nullptr);
    XFillRectangle(m_display, m_pattern, gc, 0, 0, 900, 540); // the source turns black
    XFreeGC(m_display, gc);
    refresh();

    XDestroyWindow(m_display, cover);
    refresh();
    refresh();
    const quality::Pixels expected = quality::BoxDownscale(
        quality::Grab(m_display, DefaultRootWindow(m_display), 0, 0, 900, 540), 2);
    EXPECT_EQ(quality::Psnr(shown(), expected), std::numeric_limits<double>::infinity());
}

// Changes in small areas are carried through the scale plan on their own;
// the picture must come out exactly as a whole-frame refresh makes it.
TEST_F(Magnifier, APartialRefreshGivesTheSameBitsAsAWholeOne) {
    struct Case {
        float zoom; // as the mirror window computes it from its width
        int width;
        int height;
    };
    const Case cases[] = {
        {1.0f / 3, 600, 360}, {0.5f, 900, 540}, {0.37f, 666, 399}, {1.0f / 6, 300, 180}};
    std::mt19937 random(20261210);
    const auto pick = [&](int from, int to) {
        return std::uniform_int_distribution<int>(from, to)(random);
    };
    GC gc = XCreateGC(m_display, m_pattern, 0, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE("zoom " + std::to_string(c.zoom));
        mirror(kSource, c.zoom, c.width, c.height);
        for (int round = 0; round < 12; ++round) {
            for (int n = pick(1, 6); n > 0; --n) {
                // Small areas anywhere, the monitor's edges and corners included.
                const int w = pick(1, 160);
                const int h = pick(1, 90);
                XSetForeground(m_display, gc, static_cast<unsigned long>(pick(0, 0xFFFFFF)));
                XFillRectangle(m_display, m_pattern, gc, pick(-20, kSource.right - w + 20),
                               pick(-20, kSource.bottom - h + 20), static_cast<unsigned>(w),
                               static_cast<unsigned>(h));
            }
            if (round % 3 == 1) {
                movePointer(pick(0, kSource.right - 1), pick(0, kSource.bottom - 1));
            }
            refresh();
            const quality::Pixels partial = shown();
            XClearArea(m_display, m_magnifier->window(), 0, 0, 0, 0, True); // a whole repaint
            pump();
            ASSERT_EQ(partial.channels, shown().channels) << "after round " << round;
        }
        movePointer(kScreenWidth - 1, kScreenHeight - 1);
    }
    XFreeGC(m_display, gc);
    EXPECT_EQ(g_errors, 0);
}

TEST_F(Magnifier, DrawsTheCursorScaledWhereThePointerIs) {
    mirror(kSource, 1.0f / 3, 600, 360);
    const quality::Pixels without = shown();
    movePointer(903, 603);
    refresh();
    const quality::Pixels with = shown();
    ASSERT_EQ(with.channels.size(), without.channels.size());

    // The pointer at (903, 603) is (301, 201) in the mirror; the cursor image,
    // about 16 source pixels around its hot spot, is about 6 pixels there.
    int near = 0;
    int far = 0;
    for (int y = 0; y < with.height; ++y) {
        for (int x = 0; x < with.width; ++x) {
            const auto i = static_cast<std::size_t>((y * with.width + x) * 3);
            if (with.channels[i] != without.channels[i] ||
                with.channels[i + 1] != without.channels[i + 1]) {
                (std::abs(x - 301) <= 12 && std::abs(y - 201) <= 12 ? near : far) += 1;
            }
        }
    }
    EXPECT_GT(near, 4);
    EXPECT_EQ(far, 0);

    movePointer(kScreenWidth - 1, kScreenHeight - 1);
    refresh();
    EXPECT_EQ(quality::Psnr(shown(), without), std::numeric_limits<double>::infinity())
        << "the cursor stays behind after the pointer left";

    // A program warping the pointer makes no motion events; it shows within
    // a second of refreshes all the same. (Xvfb's software cursor also
    // damages the screen where it goes, which tells the mirror sooner.)
    XWarpPointer(m_display, None, DefaultRootWindow(m_display), 0, 0, 0, 0, 903, 603);
    for (int i = 0; i < 20; ++i) {
        refresh();
    }
    EXPECT_EQ(quality::Psnr(shown(), with), std::numeric_limits<double>::infinity())
        << "the cursor after a warp";
}

TEST_F(Magnifier, NothingToShowGivesABlankPictureWithoutErrors) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float infinity = std::numeric_limits<float>::infinity();
    struct Case {
        const char* what;
        Rect source;
        float zoom;
    } const cases[] = {
        {"an all-zero source and zoom", Rect{}, 0.0f},
        {"an empty source", Rect{100, 100, 100, 400}, 0.5f},
        {"an inverted source", Rect{400, 400, 100, 100}, 0.5f},
        {"a zero zoom", kSource, 0.0f},
        {"a negative zoom", kSource, -0.5f},
        {"a NaN zoom", kSource, nan},
        {"an infinite zoom", kSource, infinity},
        {"a vanishing zoom", kSource, 1e-30f},
        {"a source beyond 16-bit coordinates", Rect{0, 0, 70000, 70000}, 0.01f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        mirror(c.source, c.zoom, 300, 200);
        EXPECT_TRUE(allBlack());
    }
    mirror(kSource, 0.25f, 300, 200);
    m_magnifier->move(0, 0, 0, 0);
    refresh();
    EXPECT_EQ(g_errors, 0);
}

// A blank picture that notes every monitor it is told to show.
class MonitorRecordingSource final : public FrameSource {
public:
    MonitorRecordingSource(Display* display, std::vector<MonitorIdentity>& told)
        : m_blank(display), m_told(told) {}
    void setMonitor(const MonitorIdentity& monitor) override { m_told.push_back(monitor); }
    bool handleEvent(const XEvent&) override { return false; }
    bool pending() override { return false; }
    ChangeList takeChanges(const Rect&) override { return ChangeList{}; }
    void discard() override {}
    Picture picture() const override { return m_blank.picture(); }
    Rect area() const override { return m_blank.area(); }
    bool includesCursor() const override { return true; }

private:
    BlankFrameSource m_blank;
    std::vector<MonitorIdentity>& m_told;
};

TEST_F(Magnifier, TellsItsSourceOfAnotherMonitorEvenAtTheSamePlace) {
    std::vector<MonitorIdentity> told;
    const Window parent = showWindow(kMirrorX, 0, 300, 200);
    MagnifierWindow magnifier(m_display, parent, Rect{0, 0, 300, 200},
                              std::make_unique<MonitorRecordingSource>(m_display, told));
    const MonitorIdentity first{"A", Rect{0, 0, 1280, 720}, {}};
    MonitorIdentity beside = first;
    beside.others = {MonitorIdentity{"B", Rect{1280, 0, 2560, 720}, {}}};
    MonitorIdentity renamed = first;
    renamed.name = "C";
    MonitorIdentity moved = renamed;
    moved.rect = Rect{0, 0, 1024, 768};
    struct Step {
        const char* what;
        MonitorIdentity monitor;
        bool told;
    } const steps[] = {
        {"the first monitor", first, true},
        {"the same again", first, false},
        {"another monitor beside it", beside, false},
        {"another name at the same place", renamed, true},
        {"another size under the same name", moved, true},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        const std::size_t before = told.size();
        magnifier.setSource(step.monitor);
        ASSERT_EQ(told.size(), before + (step.told ? 1 : 0));
        if (step.told) {
            EXPECT_EQ(told.back(), step.monitor);
        }
    }
}

} // namespace
} // namespace kestrove::x11
