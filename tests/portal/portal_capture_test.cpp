// Capturing monitors through the real xdg-desktop-portal, mutter and PipeWire
// (portal_chain.sh sets the session up; its back-end grants or refuses).
// X windows on mutter's XWayland paint the monitors; the frames must show them.
#include "platform/compositor/output_matching.h"
#include "platform/compositor/portal/portal_frame_capture.h"
#include "tests/harness/child_process.h"
#include "tests/harness/portal/portal_frame_reader.h"
#include "tests/harness/wait.h"
#include "tests/harness/x_client.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <unistd.h>

namespace kestrove::e2e {
namespace {

using compositor::FrameCapture;
using namespace std::chrono_literals;

constexpr auto kFrameTimeout = 15s;

// Outside portal_chain.sh there is no session to capture from.
bool InChain() {
    return std::getenv("KESTROVE_PORTAL_BACKEND_PID") != nullptr;
}

Rect RectOf(const ServerMonitor& m) {
    return Rect{m.x, m.y, m.x + m.width, m.y + m.height};
}

std::string Describe(Rgb c) {
    return "(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + ")";
}

class PortalGranted : public testing::Test {
protected:
    void SetUp() override {
        if (!InChain()) {
            GTEST_SKIP() << "needs the private desktop session of portal_chain.sh";
        }
        x = std::make_unique<XClient>(std::getenv("DISPLAY"));
        monitors = x->monitors();
        ASSERT_EQ(monitors.size(), 2u) << "mutter was started with two virtual monitors";
        std::string reason;
        capture = compositor::portal::OpenPortalCapture("", reason);
        ASSERT_TRUE(capture) << reason;
        ASSERT_TRUE(WaitForAnswer(*capture, kFrameTimeout));
        ASSERT_EQ(capture->failure(), "");
        std::vector<compositor::Output> xMonitors;
        for (const ServerMonitor& m : monitors) {
            xMonitors.push_back(compositor::Output{m.name, RectOf(m)});
        }
        streamOf = compositor::MatchOutputs(xMonitors, capture->outputs());
    }

    // Selects the stream of monitor `index` and waits until its centre shows
    // `colour`.
    std::optional<CapturedFrame> show(std::size_t index, Rgb colour) {
        if (!streamOf[index] || !capture->select(*streamOf[index])) {
            return std::nullopt;
        }
        return WaitForFrame(
            *capture,
            [&](const CapturedFrame& f) { return f.at(f.width / 2, f.height / 2) == colour; },
            kFrameTimeout);
    }

    std::unique_ptr<XClient> x;
    std::vector<ServerMonitor> monitors;
    std::unique_ptr<FrameCapture> capture;
    std::vector<std::optional<std::size_t>> streamOf;
};

TEST_F(PortalGranted, OneConsentGivesAStreamForEveryXWaylandMonitor) {
    ASSERT_EQ(capture->outputs().size(), monitors.size());
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        EXPECT_TRUE(streamOf[i]) << "no stream matches X monitor " << monitors[i].name << " at "
                                 << monitors[i].x << "," << monitors[i].y;
    }
    EXPECT_NE(streamOf[0], streamOf[1]);
    EXPECT_EQ(capture->failure(), "");
}

// Each monitor's frames hold what X shows on that monitor, at its size;
// switching to the second monitor (Ctrl+2) needs no new session.
TEST_F(PortalGranted, EachMonitorsFramesShowItsOwnPixels) {
    const Rgb colours[] = {{200, 30, 40}, {20, 160, 220}};
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        x->showColour({monitors[i].x, monitors[i].y, monitors[i].width, monitors[i].height},
                      colours[i]);
    }
    std::set<std::uint64_t> seenBuffers;
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        std::optional<CapturedFrame> frame = show(i, colours[i]);
        ASSERT_TRUE(frame) << "monitor " << i << " never showed " << Describe(colours[i])
                           << "; failure: " << capture->failure();
        EXPECT_EQ(frame->width, monitors[i].width);
        EXPECT_EQ(frame->height, monitors[i].height);
        // Near the corners too, clear of the pointer drawn in at the origin
        // and of the shadow mutter casts from the neighbouring monitor's window.
        for (auto [fx, fy] : {std::pair{0.1, 0.9}, {0.9, 0.1}, {0.9, 0.9}}) {
            EXPECT_EQ(Describe(frame->at(int(frame->width * fx), int(frame->height * fy))),
                      Describe(colours[i]))
                << "monitor " << i << " at " << fx << "," << fy;
        }
        ASSERT_FALSE(frame->damage.empty());
        // A new stream's buffers are new buffers to the receiver.
        EXPECT_TRUE(seenBuffers.insert(frame->bufferId).second) << frame->bufferId;
    }
}

// A change on the monitor arrives as a new frame, and the damage sent with
// it covers the change (the whole frame where the compositor sends none).
TEST_F(PortalGranted, AChangeArrivesWithDamageCoveringIt) {
    const Rgb background{90, 90, 20};
    const Rgb patch{240, 240, 240};
    const ServerMonitor& m = monitors[0];
    x->showColour({m.x, m.y, m.width, m.height}, background);
    ASSERT_TRUE(show(0, background)) << capture->failure();

    const Rect changed{300, 200, 460, 320};
    x->showColour({m.x + changed.left, m.y + changed.top, changed.right - changed.left,
                   changed.bottom - changed.top},
                  patch);
    Rect covered{};
    bool first = true;
    std::optional<CapturedFrame> frame = WaitForFrame(
        *capture,
        [&](const CapturedFrame& f) {
            for (const Rect& d : f.damage) {
                covered = first ? d
                                : Rect{std::min(covered.left, d.left), std::min(covered.top, d.top),
                                       std::max(covered.right, d.right),
                                       std::max(covered.bottom, d.bottom)};
                first = false;
            }
            return f.at(380, 260) == patch;
        },
        kFrameTimeout);
    ASSERT_TRUE(frame) << "the change never arrived; failure: " << capture->failure();
    EXPECT_EQ(Describe(frame->at(changed.left - 20, changed.top - 20)), Describe(background));
    EXPECT_LE(covered.left, changed.left);
    EXPECT_LE(covered.top, changed.top);
    EXPECT_GE(covered.right, changed.right);
    EXPECT_GE(covered.bottom, changed.bottom);
}

// The desktop's "stop sharing" ends the session: the capture says why and
// keeps answering, never crashes.
TEST_F(PortalGranted, StoppedSharingEndsTheCaptureWithAReason) {
    const Rgb colour{10, 200, 90};
    const ServerMonitor& m = monitors[0];
    x->showColour({m.x, m.y, m.width, m.height}, colour);
    ASSERT_TRUE(show(0, colour)) << capture->failure();

    ASSERT_EQ(kill(std::atoi(std::getenv("KESTROVE_PORTAL_BACKEND_PID")), SIGUSR1), 0);
    EXPECT_FALSE(WaitForFrame(
        *capture, [](const CapturedFrame&) { return false; }, kFrameTimeout));
    EXPECT_NE(capture->failure(), "");
    EXPECT_EQ(capture->takeFrame(), nullptr);
    // A stream that is gone: no frame, no crash, and a reason again once
    // its end is known. (PipeWire may tell of the stream's end before the
    // portal's word on the session arrives, and until then another monitor
    // may still be asked for.)
    EXPECT_TRUE(capture->select(1));
    int frames = 0;
    EXPECT_FALSE(WaitForFrame(
        *capture,
        [&](const CapturedFrame&) {
            ++frames;
            return false;
        },
        kFrameTimeout));
    EXPECT_EQ(frames, 0);
    EXPECT_NE(capture->failure(), "");
}

// A session bus with nothing on it, and none at all.
TEST(PortalAbsent, NoPortalGivesNoCaptureAndSaysWhy) {
    char folder[] = "/tmp/kestrove-bus.XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string config = std::string(folder) + "/bus.conf";
    std::ofstream(config)
        << "<busconfig><type>session</type><listen>unix:dir=" << folder
        << "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
           "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
           "<allow own=\"*\"/></policy>"
           "</busconfig>\n";
    ChildProcess bus({"dbus-daemon", "--config-file=" + config, "--nofork", "--print-address=1"},
                     {});
    std::optional<std::string> address = bus.readLine(kWaitTimeout);
    ASSERT_TRUE(address) << bus.standardError();

    // No bus is known at once; an empty bus only once it has answered.
    setenv("DBUS_SESSION_BUS_ADDRESS", (std::string("unix:path=") + folder + "/none").c_str(), 1);
    std::string reason;
    EXPECT_EQ(compositor::portal::OpenPortalCapture("", reason), nullptr);
    EXPECT_NE(reason.find("no session bus"), std::string::npos) << reason;

    setenv("DBUS_SESSION_BUS_ADDRESS", address->c_str(), 1);
    const auto capture = compositor::portal::OpenPortalCapture("", reason);
    ASSERT_TRUE(capture) << reason;
    ASSERT_TRUE(WaitForAnswer(*capture, kFrameTimeout));
    EXPECT_NE(capture->failure().find("no screen-cast portal"), std::string::npos)
        << capture->failure();
    bus.terminate();
    std::filesystem::remove_all(folder);
}

} // namespace
} // namespace kestrove::e2e
