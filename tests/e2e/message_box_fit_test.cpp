// Message boxes of the real executable fit the monitor their owner is on:
// the "no screen capture" notice (shown on a desktop whose monitors are named
// as XWayland names them, with no compositor to capture from) wraps its text
// and lies inside its monitor's work area at 96 and 192 dots per inch, and
// the help box doubles in size with the desktop's dots per inch.
// gtest before Xlib, whose macros (None, Bool) clash with gtest's names.
#include <gtest/gtest.h>

#include "tests/harness/kestrove_session.h"
#include "tests/harness/randr_monitor.h"
#include "tests/harness/wait.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <X11/keysym.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace kestrove::e2e {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kNoticeStart = "このデスクトップでは画面を取り込めません";
const std::string kHelpText = "ヘルプの起動に失敗しました。";
constexpr int kPanelHeight = 40; // a desktop panel along the top of the screen
constexpr int kScreenWidth = 3200;
constexpr int kScreenHeight = 1080;

// The desktop's connection may outlive its server when a session fails to
// come up: its end must not end the test process.
// The desktop as the program finds it: Xft.dpi, a panel's work area and,
// for the notice, monitors named as XWayland names them, kept for the
// server's life.
void SetUpDesktop(const std::string& displayName, int dpi, bool xwaylandNames,
                  const std::vector<MonitorGeometry>& monitors) {
    Display* d = XOpenDisplay(displayName.c_str());
    if (d == nullptr) {
        throw std::runtime_error("cannot open " + displayName);
    }
    XSetCloseDownMode(d, RetainPermanent);
    const Window root = DefaultRootWindow(d);
    const std::string resources = "Xft.dpi:\t" + std::to_string(dpi) + "\n";
    XChangeProperty(d, root, XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(resources.data()),
                    static_cast<int>(resources.size()));
    const long workArea[] = {0, kPanelHeight, kScreenWidth, kScreenHeight - kPanelHeight};
    XChangeProperty(d, root, XInternAtom(d, "_NET_WORKAREA", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(workArea), 4);
    if (xwaylandNames) {
        XRRScreenResources* screen = XRRGetScreenResources(d, root);
        const XID output = screen != nullptr && screen->noutput > 0 ? screen->outputs[0] : None;
        for (std::size_t i = 0; i < monitors.size(); ++i) {
            XRRDeleteMonitor(d, root,
                             XInternAtom(d, ("DP-" + std::to_string(i + 1)).c_str(), False));
            SetRandrMonitor(d, "XWAYLAND" + std::to_string(i), monitors[i], i == 0 ? output : None);
        }
        if (screen != nullptr) {
            XRRFreeScreenResources(screen);
        }
    }
    XCloseDisplay(d);
}

// The environment without any compositor or desktop bus to capture from.
class NoCaptureRoute {
public:
    NoCaptureRoute() {
        char pattern[] = "/tmp/kestrove-nocapture-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) {
            throw std::runtime_error("cannot make a temporary directory");
        }
        m_runtimeDir = pattern;
        ::unsetenv("WAYLAND_DISPLAY");
        ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
        ::setenv("XDG_RUNTIME_DIR", m_runtimeDir.c_str(), 1);
    }
    ~NoCaptureRoute() {
        std::error_code ignored;
        fs::remove_all(m_runtimeDir, ignored);
    }
    NoCaptureRoute(const NoCaptureRoute&) = delete;
    NoCaptureRoute& operator=(const NoCaptureRoute&) = delete;

private:
    fs::path m_runtimeDir;
};

struct Box {
    Window window;
    WindowGeometry frame;
    WindowGeometry label; // all on the root window
    WindowGeometry ok;
};

// The viewable box holding a control whose name starts with `text`.
std::optional<Box> WaitForBox(XClient& x, std::string_view text) {
    std::optional<Window> label;
    WaitUntil([&] {
        label =
            x.findWindow([&](Window w) { return x.name(w).starts_with(text) && x.viewable(w); });
        return label.has_value();
    });
    if (!label) {
        return std::nullopt;
    }
    const Window box = x.topLevel(*label);
    const std::optional<Window> ok = x.findWindow(
        [&](Window w) { return x.topLevel(w) == box && w != box && x.name(w) == "OK"; });
    const auto frame = x.geometry(box);
    const auto labelAt = x.geometry(*label);
    const auto okAt = ok ? x.geometry(*ok) : std::nullopt;
    if (!frame || !labelAt || !okAt) {
        return std::nullopt;
    }
    return Box{box, *frame, *labelAt, *okAt};
}

bool Inside(const WindowGeometry& inner, int left, int top, int right, int bottom) {
    return inner.x >= left && inner.y >= top && inner.x + inner.width <= right &&
           inner.y + inner.height <= bottom;
}

std::string Describe(const WindowGeometry& g) {
    return std::to_string(g.width) + "x" + std::to_string(g.height) + "+" + std::to_string(g.x) +
           "+" + std::to_string(g.y);
}

class NoticeBox : public testing::TestWithParam<int> {};

TEST_P(NoticeBox, WrapsItsTextAndLiesInsideTheOwnersMonitor) {
    const int dpi = GetParam();
    // The primary is listed first; the mirror opens at (0, 0), on the other.
    const std::vector<MonitorGeometry> monitors{{1920, 1080, 1280, 0, true}, {1280, 720, 0, 0}};
    const NoCaptureRoute noCapture;
    KestroveSession session(
        monitors, kScreenWidth, kScreenHeight, {},
        [&](const std::string& display) { SetUpDesktop(display, dpi, true, monitors); });
    XClient& x = session.x();
    const std::optional<Box> box = WaitForBox(x, kNoticeStart);
    ASSERT_TRUE(box) << "no notice box; " << session.kestrove().standardError();

    // The owner's monitor is the 1280 x 720 one at (0, 0), below the panel.
    const WindowGeometry mirror = session.geometry();
    ASSERT_LT(mirror.x + mirror.width / 2, 1280) << "the mirror is not on the second monitor";
    const int workLeft = 0, workTop = kPanelHeight, workRight = 1280, workBottom = 720;
    EXPECT_TRUE(Inside(box->frame, workLeft, workTop, workRight, workBottom))
        << "box " << Describe(box->frame) << " leaves the work area";
    EXPECT_LE(box->frame.width, (workRight - workLeft) * 3 / 4) << Describe(box->frame);
    EXPECT_LE(std::abs(2 * box->frame.x + box->frame.width - (workLeft + workRight)), 2)
        << "not centred on its monitor: " << Describe(box->frame);
    EXPECT_LE(std::abs(2 * box->frame.y + box->frame.height - (workTop + workBottom)), 2)
        << "not centred on its monitor: " << Describe(box->frame);
    // At least two lines: taller than the button, which is under two lines high.
    EXPECT_GT(box->label.height, box->ok.height) << "the text is not wrapped";
    const WindowGeometry& f = box->frame;
    EXPECT_TRUE(Inside(box->label, f.x, f.y, f.x + f.width, box->ok.y)) << Describe(box->label);
    EXPECT_TRUE(Inside(box->ok, f.x, f.y, f.x + f.width, f.y + f.height)) << Describe(box->ok);

    x.pressKey(box->window, XK_Return);
    EXPECT_TRUE(WaitUntil([&] { return !x.viewable(box->window); })) << "Return left it open";
    EXPECT_TRUE(session.kestrove().running());
}

INSTANTIATE_TEST_SUITE_P(DotsPerInch, NoticeBox, testing::Values(96, 192),
                         [](const auto& info) { return std::to_string(info.param); });

// The help box that F1 opens (no help file ships), at a desktop's dots per inch.
WindowGeometry HelpBoxSize(int dpi) {
    KestroveSession session(TwoMonitors(), 2560, 1600, {}, [&](const std::string& display) {
        SetUpDesktop(display, dpi, false, {});
    });
    session.pressKey(XK_F1);
    const std::optional<Box> box = WaitForBox(session.x(), kHelpText);
    if (!box) {
        ADD_FAILURE() << "no help box at " << dpi << " dpi";
        return {};
    }
    EXPECT_TRUE(Inside(box->frame, 0, kPanelHeight, 2560, 1600 - kPanelHeight));
    return box->frame;
}

TEST(HelpBox, IsTwiceAsLargeAtTwiceTheDotsPerInch) {
    const WindowGeometry normal = HelpBoxSize(96);
    const WindowGeometry large = HelpBoxSize(192);
    // Within what the font's own metrics allow: its height at twice the size
    // may be a pixel off twice the height, and dialog units follow it.
    EXPECT_NEAR(large.width, 2 * normal.width, 0.03 * 2 * normal.width)
        << Describe(normal) << " " << Describe(large);
    EXPECT_NEAR(large.height, 2 * normal.height, 0.03 * 2 * normal.height)
        << Describe(normal) << " " << Describe(large);
}

} // namespace
} // namespace kestrove::e2e
