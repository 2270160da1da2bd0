// The real executable on the XWayland of a private desktop session
// (portal_chain.sh, gnome_chain.sh): the mirror's picture comes through the
// screen-cast portal. Monitors are painted with X windows; the mirror
// window's own pixels are read back.
#pragma once

#include "tests/harness/child_process.h"
#include "tests/harness/kestrove_session.h"
#include "tests/harness/wait.h"
#include "tests/harness/x_client.h"

#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrove::e2e {

// The starts of the notices: no screen capture at all, the share refused, a
// desktop that could not start a screen cast, and screens shared that cannot
// be told apart.
inline const std::string kNoCaptureNotice = "このデスクトップでは画面を取り込めません";
inline const std::string kRefusedNotice = "画面の共有が許可されなかった";
inline const std::string kCouldNotCastNotice = "デスクトップが画面の共有を開始できなかった";
inline const std::string kUnpairedNotice = "共有された画面のどれがこのモニターなのか判別できない";

using namespace std::chrono_literals;

inline constexpr Rgb kBlack{0, 0, 0};

// The mirror scales with a smoothing filter: flat colours may drift a step.
inline bool Near(Rgb a, Rgb b) {
    auto close = [](int x, int y) { return std::abs(x - y) <= 3; };
    return close(a.r, b.r) && close(a.g, b.g) && close(a.b, b.b);
}

inline std::string Describe(Rgb c) {
    return "(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + ")";
}

class MirrorOnMutter : public testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("KESTROVE_PORTAL_WORK")) {
            GTEST_SKIP() << "needs a private desktop session (portal_chain.sh, gnome_chain.sh)";
        }
        display = std::getenv("DISPLAY");
        x = std::make_unique<XClient>(display);
        monitors = x->monitors();
        ASSERT_EQ(monitors.size(), 2u);
        std::sort(monitors.begin(), monitors.end(),
                  [](const ServerMonitor& a, const ServerMonitor& b) { return a.x < b.x; });
    }

    Window paint(std::size_t monitor, Rgb colour) {
        const ServerMonitor& m = monitors[monitor];
        return x->showColour({m.x, m.y, m.width, m.height}, colour);
    }

    void start() {
        kestrove = std::make_unique<ChildProcess>(std::vector<std::string>{KestrovePath()},
                                                  std::vector<EnvironmentChange>{});
        ASSERT_TRUE(WaitUntil(
            [&] {
                mirror = FindMirrorWindow(*x);
                return mirror.has_value();
            },
            20s))
            << "no mirror window; Kestrove said: " << kestrove->standardError();
    }

    // The mirror window is there and titled; the portal's dialog, whatever it
    // does, holds nothing back.
    bool windowWorks() {
        return pressUntil(*mirror, XK_2, {XK_Control_L},
                          [&] { return x->name(*mirror).rfind("Kestrove - [2:2]", 0) == 0; }) &&
               pressUntil(*mirror, XK_1, {XK_Control_L},
                          [&] { return x->name(*mirror).rfind("Kestrove - [1:2]", 0) == 0; });
    }

    // The "no screen capture" box, once it is up.
    std::optional<Window> notice() {
        std::optional<Window> box;
        WaitUntil(
            [&] {
                box = x->findWindow([&](Window w) {
                    return w != *mirror && x->name(w) == "Kestrove" && x->viewable(w);
                });
                return box.has_value();
            },
            15s);
        return box;
    }

    // Whether a control of the box carries the notice's text: `text` (the
    // start of the notice for no screen capture at all when not given).
    bool noticeTextShown(const std::string& text = kNoCaptureNotice) {
        return x->findWindow([&](Window w) { return x->name(w).find(text) != std::string::npos; })
            .has_value();
    }

    Rgb centre() {
        std::optional<Image> image = x->grabContents(*mirror);
        return image && image->width > 0 ? image->at(image->width / 2, image->height / 2)
                                         : Rgb{1, 2, 3};
    }

    bool showsCentre(Rgb colour) {
        return WaitUntil([&] { return Near(centre(), colour); }, 15s);
    }

    // Focus as a user gives it: the window manager is asked to activate the
    // window (mutter 48 does not deliver keys to a window focused behind its
    // back), and the key goes again until it takes.
    bool pressUntil(Window target, KeySym key, const std::vector<KeySym>& modifiers,
                    const std::function<bool()>& done) {
        const Window top = x->topLevel(target);
        for (int attempt = 0; attempt < 5; ++attempt) {
            x->activate(target);
            WaitUntil([&] { return x->topLevel(x->inputFocus()) == top; }, 2s);
            x->typeKey(key, modifiers);
            if (WaitUntil(done, 2s)) {
                return true;
            }
        }
        return false;
    }

    std::string said() {
        return "; Kestrove " +
               (kestrove->running() ? "runs" : "ended " + kestrove->terminate().describe()) +
               " and said: " + kestrove->standardError();
    }

    std::string display;
    std::unique_ptr<XClient> x;
    std::vector<ServerMonitor> monitors;
    std::unique_ptr<ChildProcess> kestrove;
    std::optional<Window> mirror;
};

} // namespace kestrove::e2e
