// The real executable on a headless labwc from a Debian trixie root: the
// mirrored output turned off and on again, at another place and size, and
// the second time turned a quarter; labwc, unlike sway 1.7, can do that. The
// mirror is read back from the compositor with grim.
#include "tests/harness/kestrove_session.h"
#include "tests/harness/wait.h"
#include "tests/harness/wayland/desktop_user.h"
#include "tests/harness/wayland/headless_labwc.h"

#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <algorithm>
#include <array>
#include <sstream>

namespace kestrove::e2e {
namespace {

using std::chrono::seconds;
using Quarters = std::array<Rgb, 4>; // top left, top right, bottom left, bottom right

constexpr const char* kGone =
    "Kestrove: the mirror stops showing the desktop: the compositor's output went away";

std::string Describe(const Rgb& c) {
    std::ostringstream out;
    out << "(" << int{c.r} << ", " << int{c.g} << ", " << int{c.b} << ")";
    return out.str();
}

Quarters Solid(const Rgb& c) {
    return {c, c, c, c};
}

// "" when each quarter of `image`, sampled near its corners and its middle,
// holds its colour; otherwise the first sample that does not.
std::string QuartersMismatch(const Image& image, const Quarters& quarters) {
    for (int q = 0; q < 4; ++q) {
        for (const int fx : {6, 44}) {
            for (const int fy : {6, 44}) {
                const int x = image.width * (q % 2 == 0 ? fx : 100 - fx) / 100;
                const int y = image.height * (q < 2 ? fy : 100 - fy) / 100;
                const Rgb& want = quarters[static_cast<std::size_t>(q)];
                if (!(image.at(x, y) == want)) {
                    return "at (" + std::to_string(x) + ", " + std::to_string(y) + ") of " +
                           std::to_string(image.width) + "x" + std::to_string(image.height) + ": " +
                           Describe(image.at(x, y)) + " instead of " + Describe(want);
                }
            }
        }
    }
    return "";
}

// One way the second output comes back, and what it then shows: a colour
// per quarter of its area as the desktop lays it out.
struct Return {
    std::vector<std::string> randr; // wlr-randr's words for HEADLESS-2
    WindowGeometry area;            // where it is then, in layout coordinates
    Quarters shown;
};

class LabwcOutputs : public ::testing::Test {
protected:
    void SetUp() override {
        if (const std::string why = HeadlessLabwc::Unavailable(); !why.empty()) {
            GTEST_SKIP() << "no labwc root can be made here: " << why;
        }
        try {
            m_labwc = std::make_unique<HeadlessLabwc>();
        } catch (const HeadlessLabwc::Unreachable& e) {
            GTEST_SKIP() << "no labwc root can be made here: " << e.what();
        }
        m_x = std::make_unique<XClient>(m_labwc->display());
    }

    // Windows of the test's own X client (override-redirect, placed where
    // asked) cover `area` a quarter each.
    void show(const WindowGeometry& area, const Quarters& quarters) {
        hide();
        const int halfWidth = area.width / 2;
        const int halfHeight = area.height / 2;
        for (int q = 0; q < 4; ++q) {
            const int left = q % 2 == 0 ? 0 : halfWidth;
            const int top = q < 2 ? 0 : halfHeight;
            m_shown.push_back(m_x->showColour({area.x + left, area.y + top,
                                               q % 2 == 0 ? halfWidth : area.width - halfWidth,
                                               q < 2 ? halfHeight : area.height - halfHeight},
                                              quarters[static_cast<std::size_t>(q)]));
        }
    }

    void hide() {
        for (const Window window : m_shown) {
            m_x->destroyWindow(window);
        }
        m_shown.clear();
    }

    bool hasMonitorAt(const WindowGeometry& area) {
        const std::vector<ServerMonitor> monitors = m_x->monitors();
        return std::any_of(monitors.begin(), monitors.end(), [&](const ServerMonitor& m) {
            return WindowGeometry{m.x, m.y, m.width, m.height} == area;
        });
    }

    // The quarters shown until the output itself shows them. XWayland may
    // still be growing its screen to the new layout when the windows come,
    // and then never shows some of them: they are made again.
    bool showOnOutput(const WindowGeometry& area, const Quarters& quarters, std::string& mismatch) {
        for (int attempt = 0; attempt < 3; ++attempt) {
            show(area, quarters);
            if (WaitUntil(
                    [&] {
                        return (mismatch = QuartersMismatch(m_labwc->grab(area), quarters)).empty();
                    },
                    seconds(3))) {
                return true;
            }
        }
        return false;
    }

    std::string mirrorMismatch(const Quarters& quarters) {
        const auto area = m_x->geometry(m_mirror);
        if (!area) {
            return "the mirror window is gone";
        }
        return QuartersMismatch(m_labwc->grab(*area), quarters);
    }
    std::string waitForMirror(const Quarters& quarters) {
        std::string mismatch;
        WaitUntil([&] { return (mismatch = mirrorMismatch(quarters)).empty(); });
        return mismatch;
    }

    std::string standardError() const { return m_kestrove->standardError(); }
    long errorLines() const {
        const std::string text = standardError();
        return std::count(text.begin(), text.end(), '\n');
    }

    std::unique_ptr<HeadlessLabwc> m_labwc;
    std::unique_ptr<XClient> m_x;
    std::vector<Window> m_shown;
    std::unique_ptr<ChildProcess> m_kestrove;
    Window m_mirror = 0;
};

constexpr Rgb kBlue{0x1E, 0x50, 0xC8};
constexpr Rgb kYellow{0xF0, 0xD2, 0x28};
constexpr Rgb kGreen{0x28, 0xB4, 0x3C};
constexpr Rgb kPurple{0xA0, 0x28, 0xC8};
constexpr Rgb kCyan{0x28, 0xC8, 0xC8};

TEST_F(LabwcOutputs, TheMirroredOutputTurnedOffAndOnIsMirroredAgainByItself) {
    show({1280, 0, 800, 600}, Solid(kBlue));
    m_kestrove = m_labwc->spawn({m_labwc->handOver(KestrovePath())});
    std::optional<Window> mirror;
    ASSERT_TRUE(WaitUntil(
        [&] {
            mirror = FindMirrorWindow(*m_x);
            return mirror.has_value();
        },
        seconds(20)))
        << "no mirror window; Kestrove said: " << standardError()
        << "\nlabwc said: " << m_labwc->log();
    m_mirror = *mirror;
    // labwc takes back focus that X clients set themselves: asked through
    // the window manager first, a few times at most while labwc is busy.
    bool switched = false;
    for (int attempt = 0; attempt < 5 && !switched; ++attempt) {
        m_x->activate(m_mirror);
        m_x->pressKey(m_mirror, XK_2, {XK_Control_L});
        switched =
            WaitUntil([&] { return m_x->name(m_mirror) == "Kestrove - [2:2] "; }, seconds(2));
    }
    ASSERT_TRUE(switched) << m_x->name(m_mirror);
    ASSERT_EQ(waitForMirror(Solid(kBlue)), "") << standardError();

    // Quarters, so that a picture of the output as it was before (its old
    // size, or not turned) shows in the wrong place.
    const std::array<Return, 2> returns{
        Return{{"--custom-mode", "1024x768", "--pos", "0,720"},
               {0, 720, 1024, 768},
               {kYellow, kGreen, kPurple, kCyan}},
        // Turned a quarter, its 600x800 mode stands 800 wide and 600 high:
        // the mirror's window keeps fitting it.
        Return{{"--custom-mode", "600x800", "--pos", "1280,0", "--transform", "90"},
               {1280, 0, 800, 600},
               {kCyan, kPurple, kGreen, kYellow}}};
    Quarters last = Solid(kBlue);
    for (std::size_t i = 0; i < returns.size(); ++i) {
        SCOPED_TRACE("off and on " + std::to_string(i + 1));
        m_labwc->randr({"--output", "HEADLESS-2", "--off"});
        ASSERT_TRUE(WaitUntil([&] { return errorLines() == static_cast<long>(i + 1); }))
            << standardError();
        // Nothing left to capture: the mirror keeps what it showed last.
        hide();
        EXPECT_TRUE(StaysTrue([&] { return mirrorMismatch(last).empty(); }))
            << mirrorMismatch(last);

        std::vector<std::string> on{"--output", "HEADLESS-2", "--on"};
        on.insert(on.end(), returns[i].randr.begin(), returns[i].randr.end());
        m_labwc->randr(on);
        // XWayland learns the layout after labwc.
        ASSERT_TRUE(WaitUntil([&] { return hasMonitorAt(returns[i].area); }))
            << "XWayland never reported the output at its new place";
        std::string onOutput;
        ASSERT_TRUE(showOnOutput(returns[i].area, returns[i].shown, onOutput))
            << "the output itself: " << onOutput;
        EXPECT_EQ(waitForMirror(returns[i].shown), "") << standardError();
        last = returns[i].shown;
        EXPECT_EQ(errorLines(), static_cast<long>(i + 1)) << standardError();
    }
    const std::string expected = std::string(kGone) + "\n" + kGone + "\n";
    EXPECT_EQ(standardError(), expected);
}

} // namespace
} // namespace kestrove::e2e
