// The real executable on a headless sway, started from sway so that it runs
// on sway's XWayland: monitors as XWayland reports them, the live mirror of
// an output read back from the compositor, the monitor switch, a compositor
// that offers no screen capture, and outputs turned, flipped and scaled.
#include "tests/harness/kestrove_session.h"
#include "tests/harness/wait.h"
#include "tests/harness/wayland/headless_sway.h"

#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>

namespace kestrove::e2e {
namespace {

using std::chrono::seconds;

// The outputs' background colours, as in headless-sway.config.
constexpr Rgb kOutput1{0xC8, 0x32, 0x14};
constexpr Rgb kOutput2{0x1E, 0x50, 0xC8};
constexpr Rgb kProbe{0x28, 0xB4, 0x3C};
constexpr MonitorGeometry kOutput2Geometry{800, 600, 1280, 0, false};
// How far a scaled copy of a smooth picture may stray from it, per channel.
constexpr int kLeeway = 12;

std::string Describe(const Rgb& c) {
    std::ostringstream out;
    out << "(" << int{c.r} << ", " << int{c.g} << ", " << int{c.b} << ")";
    return out.str();
}

class SwayMirror : public ::testing::Test {
protected:
    void SetUp() override {
        if (const std::string why = HeadlessSway::Unavailable(); !why.empty()) {
            GTEST_SKIP() << "sway cannot run here: " << why;
        }
        m_sway = std::make_unique<HeadlessSway>();
    }

    // Starts Kestrove from sway with `environment` (NAME=value words) and
    // waits for its mirror window.
    void start(const std::string& environment = {}) {
        const std::string executable = m_sway->handOver(KestrovePath());
        m_sway->exec((environment.empty() ? "" : "env " + environment + " ") + m_sway->directory() +
                     "/run-captured.sh " + m_sway->directory() + " " + executable);
        m_x = std::make_unique<XClient>(m_sway->display());
        const bool found = WaitUntil(
            [&] {
                m_mirror = FindMirrorWindow(*m_x);
                return m_mirror.has_value();
            },
            seconds(20));
        ASSERT_TRUE(found) << "no mirror window; Kestrove said: " << standardError()
                           << "\nsway said: " << m_sway->log();
    }

    std::string standardOutput() const {
        return ReadFile(m_sway->directory() + "/stdout").value_or("");
    }
    std::string standardError() const {
        return ReadFile(m_sway->directory() + "/stderr").value_or("");
    }
    std::string title() { return m_x->name(*m_mirror); }
    WindowGeometry geometry() { return m_x->geometry(*m_mirror).value_or(WindowGeometry{}); }

    // Focuses the window through sway (XWayland's window manager takes
    // back focus that X clients set themselves) and types `key` until
    // `done`, a few times at most: sway may still be busy with the focus.
    bool pressUntil(const std::string& criteria, Window target, KeySym key,
                    const std::vector<KeySym>& modifiers, const std::function<bool()>& done) {
        for (int attempt = 0; attempt < 5; ++attempt) {
            m_sway->message({criteria + " focus"});
            m_x->pressKey(target, key, modifiers);
            if (WaitUntil(done, seconds(2))) {
                return true;
            }
        }
        return false;
    }

    // The first fault that `check` finds at samples of `image` along a frame
    // `inset` % inside its edges, "" for none.
    static std::string FirstAlongFrame(const Image& image, int inset,
                                       const std::function<std::string(int, int)>& check) {
        const int span = 100 - 2 * inset;
        for (int i = 0; i <= 10; ++i) {
            const int x = image.width * (inset + span * i / 10) / 100;
            const int y = image.height * (inset + span * i / 10) / 100;
            const int left = image.width * inset / 100;
            const int right = image.width * (100 - inset) / 100;
            const int top = image.height * inset / 100;
            const int bottom = image.height * (100 - inset) / 100;
            for (auto [px, py] : {std::pair{x, top}, {x, bottom}, {left, y}, {right, y}}) {
                if (std::string fault = check(px, py); !fault.empty()) {
                    return "at (" + std::to_string(px) + ", " + std::to_string(py) + ") of " +
                           std::to_string(image.width) + "x" + std::to_string(image.height) + ": " +
                           fault;
                }
            }
        }
        return "";
    }

    // "" when the mirror's pixels, read from the compositor, are `colour`
    // at every sample along a frame 6 % inside the window's edges (the
    // middle may show the mirror itself when it mirrors its own output).
    std::string mirrorShows(const Rgb& colour) {
        const Image image = m_sway->grab(geometry());
        return FirstAlongFrame(image, 6, [&](int x, int y) {
            return image.at(x, y) == colour
                       ? std::string()
                       : Describe(image.at(x, y)) + " instead of " + Describe(colour);
        });
    }

    // "" when the mirror's pixels along that frame are those the compositor
    // drew on `output` at the matching points, and the output's middle is
    // near `middle`: the mirror follows the output's own picture, whatever
    // the compositor makes of it (at a fractional scale sway 1.10 draws a
    // solid background shaded towards its edges).
    std::string mirrorShowsOutput(const std::string& output, const Rgb& middle) {
        const auto near = [](const Rgb& a, const Rgb& b) {
            return std::abs(a.r - b.r) <= kLeeway && std::abs(a.g - b.g) <= kLeeway &&
                   std::abs(a.b - b.b) <= kLeeway;
        };
        const Image drawn = m_sway->grabOutput(output);
        const Rgb centre = drawn.at(drawn.width / 2, drawn.height / 2);
        if (!near(centre, middle)) {
            return output + " shows " + Describe(centre) + " at its middle, not " +
                   Describe(middle);
        }
        const Image image = m_sway->grab(geometry());
        return FirstAlongFrame(image, 6, [&](int x, int y) {
            const int ox = (2 * x + 1) * drawn.width / (2 * image.width);
            const int oy = (2 * y + 1) * drawn.height / (2 * image.height);
            return near(image.at(x, y), drawn.at(ox, oy))
                       ? std::string()
                       : Describe(image.at(x, y)) + " where " + output + " shows " +
                             Describe(drawn.at(ox, oy)) + " at (" + std::to_string(ox) + ", " +
                             std::to_string(oy) + ")";
        });
    }

    // Samples of the mirror in each quarter, near its corners and its middle.
    // "" when each holds the quarter's colour (top left, top right, bottom
    // left, bottom right).
    std::string mirrorShowsQuarters(const std::array<Rgb, 4>& quarters) {
        const WindowGeometry area = geometry();
        const Image image = m_sway->grab(area);
        for (int q = 0; q < 4; ++q) {
            for (const int fx : {6, 44}) {
                for (const int fy : {6, 44}) {
                    const int x = image.width * (q % 2 == 0 ? fx : 100 - fx) / 100;
                    const int y = image.height * (q < 2 ? fy : 100 - fy) / 100;
                    if (!(image.at(x, y) == quarters[static_cast<std::size_t>(q)])) {
                        return "quarter " + std::to_string(q) + " at (" + std::to_string(x) + ", " +
                               std::to_string(y) + ") of " + std::to_string(image.width) + "x" +
                               std::to_string(image.height) + ": " + Describe(image.at(x, y)) +
                               " instead of " + Describe(quarters[static_cast<std::size_t>(q)]);
                    }
                }
            }
        }
        return "";
    }

    std::string waitForMirror(const Rgb& colour) {
        std::string mismatch;
        WaitUntil([&] { return (mismatch = mirrorShows(colour)).empty(); }, seconds(10));
        return mismatch;
    }

    std::unique_ptr<HeadlessSway> m_sway;
    std::unique_ptr<XClient> m_x;
    std::optional<Window> m_mirror;
};

TEST_F(SwayMirror, ShowsTheOutputsLiveAndSwitchesBetweenThem) {
    start();
    // XWayland names no primary: the output at the origin counts, reported first.
    const std::string expected = "rcMonitor top=0, left=0, bottom=720, right=1280\n"
                                 "rcWork top=0, left=0, bottom=720, right=1280\n"
                                 "Flag = 1\n"
                                 "rcMonitor top=0, left=0, bottom=720, right=1280\n"
                                 "rcMonitor top=0, left=1280, bottom=600, right=2080\n"
                                 "rcWork top=0, left=1280, bottom=600, right=2080\n"
                                 "Flag = 0\n"
                                 "rcMonitor top=0, left=1280, bottom=600, right=2080\n";
    EXPECT_TRUE(WaitUntil([&] { return standardOutput().size() >= expected.size(); }));
    EXPECT_EQ(standardOutput(), expected);
    EXPECT_EQ(title(), "Kestrove - [1:2] ");
    EXPECT_EQ(waitForMirror(kOutput1), "");

    // A window opening on output 1 shows in the mirror without a key pressed.
    const std::string probe = m_sway->handOver(KESTROVE_COLOUR_WINDOW);
    m_sway->exec(probe + " 28B43C");
    EXPECT_EQ(waitForMirror(kProbe), "") << "Kestrove said: " << standardError();

    EXPECT_TRUE(pressUntil("[class=\"^Kestrove$\"]", *m_mirror, XK_2, {XK_Control_L}, [&] {
        return title() == "Kestrove - [2:2] ";
    })) << title();
    EXPECT_TRUE(WaitUntil([&] {
        const WindowGeometry now = geometry();
        return now.height == FittedHeight(kOutput2Geometry, now.width);
    })) << geometry().width
        << "x" << geometry().height;
    EXPECT_EQ(waitForMirror(kOutput2), "");
    EXPECT_EQ(standardError(), "");
}

TEST_F(SwayMirror, WithoutScreenCaptureSaysSoOnceAndKeepsWorking) {
    // Kestrove's windows stay on sway's XWayland, but the compositor it asks
    // for frames is a weston, which offers neither capture protocol.
    const std::string weston = m_sway->runtimeDirectory() + "/wayland-nocapture";
    const auto nocapture = m_sway->spawn(
        {"weston", "--backend=headless-backend.so", "--socket=wayland-nocapture", "--idle-time=0"});
    ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(weston); }, seconds(20)))
        << nocapture->standardError();
    start("WAYLAND_DISPLAY=wayland-nocapture");

    // One message box captioned with the application's name, owned by the mirror.
    std::optional<Window> box;
    ASSERT_TRUE(WaitUntil([&] {
        box = m_x->findWindow([&](Window w) {
            return w != *m_mirror && m_x->name(w) == "Kestrove" && m_x->viewable(w);
        });
        return box.has_value();
    })) << standardError();
    EXPECT_TRUE(m_x->findWindow([&](Window w) {
        return m_x->name(w).find("このデスクトップでは画面を取り込めません") != std::string::npos;
    }));
    // One line on standard error says why.
    EXPECT_TRUE(WaitUntil([&] { return !standardError().empty(); }));
    const std::string error = standardError();
    EXPECT_EQ(std::count(error.begin(), error.end(), '\n'), 1) << error;
    EXPECT_NE(error.find("neither ext-image-copy-capture-v1 nor wlr-screencopy-unstable-v1"),
              std::string::npos)
        << error;

    EXPECT_TRUE(pressUntil("[title=\"^Kestrove$\"]", *box, XK_Return, {},
                           [&] { return !m_x->viewable(*box); }));
    // Everything else works: the monitor switch, for one.
    EXPECT_TRUE(pressUntil("[class=\"^Kestrove$\"]", *m_mirror, XK_2, {XK_Control_L}, [&] {
        return title() == "Kestrove - [2:2] ";
    })) << title();
    EXPECT_EQ(standardError(), error) << "said more than once";
}

// Four quarters that tell up from down and left from right.
constexpr std::array<Rgb, 4> kQuarters{Rgb{0xF0, 0xD2, 0x28}, Rgb{0x28, 0xB4, 0x3C},
                                       Rgb{0xA0, 0x28, 0xC8}, Rgb{0x28, 0xC8, 0xC8}};

std::string Hex(const Rgb& c) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X%02X%02X", c.r, c.g, c.b);
    return text;
}

struct OutputSetting {
    const char* name;
    std::vector<std::string> command; // swaymsg's words for the first output
};

class SwayOutputSettings : public SwayMirror,
                           public ::testing::WithParamInterface<OutputSetting> {};

TEST_P(SwayOutputSettings, TheMirrorShowsTheOutputUprightAndInPlace) {
    m_sway->message(GetParam().command);
    // Room for the mirror of an output standing on its side, all of it seen.
    m_sway->message({"output", "HEADLESS-2", "mode", "1600x1200"});
    // The probe covers the whole output, a quarter of it in each colour.
    const std::string probe = m_sway->handOver(KESTROVE_COLOUR_WINDOW);
    std::string words;
    for (const Rgb& c : kQuarters) {
        words += " " + Hex(c);
    }
    m_sway->exec(probe + words);
    ASSERT_TRUE(WaitUntil([&] {
        try {
            m_sway->message({"[class=\"^KestroveProbe$\"]", "fullscreen", "enable"});
            return true;
        } catch (const std::runtime_error&) {
            return false; // not there yet
        }
    })) << m_sway->log();
    start();
    std::string mismatch;
    WaitUntil([&] { return (mismatch = mirrorShowsQuarters(kQuarters)).empty(); }, seconds(10));
    EXPECT_EQ(mismatch, "") << "Kestrove said: " << standardError();
    // And it stays live: the probe gone, the output's background shows.
    m_sway->message({"[class=\"^KestroveProbe$\"]", "kill"});
    WaitUntil([&] { return (mismatch = mirrorShowsOutput("HEADLESS-1", kOutput1)).empty(); },
              seconds(10));
    EXPECT_EQ(mismatch, "");
    EXPECT_EQ(standardError(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, SwayOutputSettings,
    ::testing::Values(
        OutputSetting{"QuarterTurn", {"output", "HEADLESS-1", "transform", "90"}},
        OutputSetting{"HalfTurn", {"output", "HEADLESS-1", "transform", "180"}},
        OutputSetting{"ThreeQuarterTurn", {"output", "HEADLESS-1", "transform", "270"}},
        OutputSetting{"Flipped", {"output", "HEADLESS-1", "transform", "flipped"}},
        OutputSetting{"FlippedQuarterTurn", {"output", "HEADLESS-1", "transform", "flipped-90"}},
        OutputSetting{"FractionalScale", {"output", "HEADLESS-1", "scale", "1.5"}}),
    [](const ::testing::TestParamInfo<OutputSetting>& info) { return info.param.name; });

} // namespace
} // namespace kestrove::e2e
