// Windows stacked above the mirror's own window on X11: what they show is in
// the mirror and follows their changes, and the mirror's own picture, which it
// shows nested in itself, is fed back only until those copies settle: on a
// still screen it stops drawing within a second or two.
#include "tests/harness/kestrove_session.h"
#include "tests/harness/wait.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <X11/extensions/Xfixes.h>

#include <chrono>
#include <memory>
#include <sstream>
#include <thread>

namespace kestrove::e2e {
namespace {

using std::chrono::milliseconds;

std::string Describe(const Rgb& c) {
    std::ostringstream out;
    out << "(" << int{c.r} << ", " << int{c.g} << ", " << int{c.b} << ")";
    return out.str();
}

// Another program's window that repaints itself in a new colour, as a
// video or a terminal over the mirror would.
class RepaintingWindow {
public:
    RepaintingWindow(const std::string& display, const WindowGeometry& area)
        : m_display(XOpenDisplay(display.c_str())), m_area(area) {
        XSetWindowAttributes attributes{};
        attributes.override_redirect = True;
        m_window = XCreateWindow(m_display, DefaultRootWindow(m_display), area.x, area.y,
                                 static_cast<unsigned>(area.width),
                                 static_cast<unsigned>(area.height), 0, CopyFromParent, InputOutput,
                                 CopyFromParent, CWOverrideRedirect, &attributes);
        m_gc = XCreateGC(m_display, m_window, 0, nullptr);
        XMapWindow(m_display, m_window);
        XSync(m_display, False);
    }
    ~RepaintingWindow() {
        XFreeGC(m_display, m_gc);
        XDestroyWindow(m_display, m_window);
        XCloseDisplay(m_display);
    }
    RepaintingWindow(const RepaintingWindow&) = delete;
    RepaintingWindow& operator=(const RepaintingWindow&) = delete;

    void paint(const Rgb& colour) {
        const unsigned long pixel = (static_cast<unsigned long>(colour.r) << 16) |
                                    (static_cast<unsigned long>(colour.g) << 8) | colour.b;
        XSetForeground(m_display, m_gc, pixel);
        XFillRectangle(m_display, m_window, m_gc, 0, 0, static_cast<unsigned>(m_area.width),
                       static_cast<unsigned>(m_area.height));
        XSync(m_display, False);
    }

private:
    Display* m_display;
    WindowGeometry m_area;
    Window m_window;
    GC m_gc;
};

TEST(WindowsAboveMirror, AWindowOverTheMirrorShowsInItAndTheRestIsNotFedBack) {
    // The mirror opens at the screen's top-left, over the monitor it shows.
    const MonitorGeometry monitor{1280, 720, 0, 0, true};
    KestroveSession session({monitor});
    const WindowGeometry mirror = session.geometry();
    ASSERT_LT(mirror.x + mirror.width / 2, monitor.width) << "the mirror is not on its monitor";

    // Over the mirror's lower right; the mirror shows it smaller, up and to
    // the left, where nothing covers the mirror.
    const WindowGeometry area{mirror.x + mirror.width * 3 / 5, mirror.y + mirror.height / 2,
                              mirror.width / 3, mirror.height / 3};
    auto above = std::make_unique<RepaintingWindow>(session.display(), area);
    const double zoom = static_cast<double>(mirror.width) / monitor.width;
    const int shownX = static_cast<int>((area.x + area.width / 2) * zoom);
    const int shownY = static_cast<int>((area.y + area.height / 2) * zoom);
    ASSERT_LT(shownX, area.x - mirror.x) << "the window would cover its own picture";

    for (const Rgb& colour : {Rgb{200, 30, 90}, Rgb{30, 160, 220}, Rgb{200, 30, 90}}) {
        above->paint(colour);
        Rgb seen;
        EXPECT_TRUE(WaitUntil([&] {
            const auto image = session.x().grab(session.mirror());
            seen = image ? image->at(shownX, shownY) : Rgb{};
            return seen == colour;
        })) << Describe(seen)
            << " instead of " << Describe(colour) << " at (" << shownX << ", " << shownY << ")";
    }

    // On a still screen the mirror stops drawing, its copies of itself
    // included.
    Display* watcher = XOpenDisplay(session.display().c_str());
    int damageEvent = 0;
    int damageError = 0;
    ASSERT_TRUE(XDamageQueryExtension(watcher, &damageEvent, &damageError));
    const Damage damage = XDamageCreate(watcher, DefaultRootWindow(watcher), XDamageReportNonEmpty);
    XRectangle mirrorArea{static_cast<short>(mirror.x), static_cast<short>(mirror.y),
                          static_cast<unsigned short>(mirror.width),
                          static_cast<unsigned short>(mirror.height)};
    const XserverRegion drawn = XFixesCreateRegion(watcher, nullptr, 0);
    const XserverRegion inMirror = XFixesCreateRegion(watcher, &mirrorArea, 1);
    const auto drawnInMirror = [&] {
        XDamageSubtract(watcher, damage, None, drawn);
        XFixesIntersectRegion(watcher, drawn, drawn, inMirror);
        int count = 0;
        XRectangle* rects = XFixesFetchRegion(watcher, drawn, &count);
        XFree(rects);
        return count;
    };
    const auto settlesAndStops = [&] {
        // The last change's copies of it are drawn for some rounds, never past
        // a second or two; then twenty refreshes without a paint.
        std::this_thread::sleep_for(milliseconds(1500));
        drawnInMirror();
        std::this_thread::sleep_for(milliseconds(1000));
        return drawnInMirror() == 0;
    };
    EXPECT_TRUE(settlesAndStops()) << "the mirror keeps drawing itself under a window";
    above.reset();
    // A window over the corner where the mirror's copies of itself nest:
    // while it is there, what changes under it is another's; once it is
    // gone, the mirror sees its own picture there again.
    auto corner = std::make_unique<RepaintingWindow>(
        session.display(), WindowGeometry{mirror.x, mirror.y, mirror.width / 4, mirror.height / 4});
    corner->paint(Rgb{30, 160, 220});
    EXPECT_TRUE(settlesAndStops()) << "the mirror keeps drawing itself under its nested copies";
    corner.reset();
    EXPECT_TRUE(settlesAndStops()) << "the mirror keeps drawing itself where a window was";
    EXPECT_TRUE(session.kestrove().running());
    EXPECT_EQ(session.kestrove().standardError(), "");
    XFixesDestroyRegion(watcher, inMirror);
    XFixesDestroyRegion(watcher, drawn);
    XDamageDestroy(watcher, damage);
    XCloseDisplay(watcher);
}

} // namespace
} // namespace kestrove::e2e
