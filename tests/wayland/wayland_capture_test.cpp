// Capturing an output through each protocol, against the stand-in
// compositor: frames land in shared memory with their damage, and a still
// output costs no frame.
#include "platform/compositor/wayland/capture_stream.h"
#include "platform/compositor/wayland/wayland_frame_capture.h"
#include "tests/harness/mapped_frame.h"
#include "tests/harness/wayland/capture_compositor.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <optional>
#include <poll.h>

namespace kestrove::e2e {
namespace {

using compositor::Frame;
using compositor::FrameCapture;
using std::chrono::milliseconds;

constexpr std::uint32_t kRed = 0x00C83214;
constexpr std::uint32_t kGreen = 0x0028B43C;

// The next frame, as the event loop would wait for it; nullptr at `timeout`.
const Frame* NextFrame(FrameCapture& capture, milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        capture.flush();
        pollfd readable{capture.waitDescriptor(), POLLIN, 0};
        poll(&readable, 1, 10);
        capture.dispatch();
        if (const Frame* frame = capture.takeFrame()) {
            return frame;
        }
    }
    return nullptr;
}

class PrivateRuntime : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kestrove-wayland-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_runtime = pattern;
        setenv("XDG_RUNTIME_DIR", m_runtime.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("WAYLAND_DISPLAY");
        std::filesystem::remove_all(m_runtime);
    }
    std::string m_runtime;
};

class OutputCapture : public PrivateRuntime,
                      public ::testing::WithParamInterface<CaptureProtocols> {};

TEST_P(OutputCapture, WholeFirstFrameThenOnlyChangesWithTheirDamage) {
    CaptureCompositor compositor(GetParam(), kRed);
    setenv("WAYLAND_DISPLAY", compositor.socket().c_str(), 1);
    std::string reason;
    const auto capture = compositor::wayland::OpenWaylandCapture(reason);
    ASSERT_TRUE(capture) << reason;
    ASSERT_EQ(capture->outputs().size(), 1u);
    EXPECT_EQ(capture->outputs()[0].name, CaptureCompositor::kOutputName);
    EXPECT_EQ(capture->outputs()[0].rect,
              (Rect{0, 0, CaptureCompositor::kWidth, CaptureCompositor::kHeight}));
    EXPECT_FALSE(capture->select(1));
    ASSERT_TRUE(capture->select(0));

    capture->requestFrame();
    const Frame* first = NextFrame(*capture, milliseconds(5000));
    ASSERT_NE(first, nullptr) << capture->failure();
    EXPECT_EQ(first->width, CaptureCompositor::kWidth);
    EXPECT_EQ(first->height, CaptureCompositor::kHeight);
    EXPECT_EQ(first->format, compositor::kFormatXrgb8888);
    EXPECT_EQ(first->damage,
              (std::vector<Rect>{{0, 0, CaptureCompositor::kWidth, CaptureCompositor::kHeight}}));
    EXPECT_EQ(MappedFrame(*first).at(0, 0), kRed);
    const std::size_t firstOffset = first->offset;
    const std::uint64_t buffer = first->bufferId;

    // Nothing changes: the request waits in the compositor.
    capture->requestFrame();
    EXPECT_EQ(NextFrame(*capture, milliseconds(300)), nullptr);

    compositor.paint(8, 4, 16, 8, kGreen);
    const Frame* second = NextFrame(*capture, milliseconds(5000));
    ASSERT_NE(second, nullptr) << capture->failure();
    EXPECT_EQ(second->damage, (std::vector<Rect>{{8, 4, 24, 12}}));
    EXPECT_EQ(MappedFrame(*second).at(10, 6), kGreen);
    EXPECT_EQ(MappedFrame(*second).at(0, 0), kRed);
    // The same memory, attached once, but the other slot: the first frame
    // may still be read while the second is written.
    EXPECT_EQ(second->bufferId, buffer);
    EXPECT_NE(second->offset, firstOffset);
    EXPECT_EQ(capture->failure(), "");

    // ext-image-copy-capture wherever it is offered.
    const bool imageCopy = GetParam() != CaptureProtocols::Screencopy;
    EXPECT_EQ(compositor.imageCopyFrames(), imageCopy ? 2 : 0);
    EXPECT_EQ(compositor.screencopyFrames(), imageCopy ? 0 : 2);
}

TEST_P(OutputCapture, AnOutputThatGoesAwayEndsItsCaptureWithAReason) {
    CaptureCompositor compositor(GetParam(), kRed);
    setenv("WAYLAND_DISPLAY", compositor.socket().c_str(), 1);
    std::string reason;
    const auto capture = compositor::wayland::OpenWaylandCapture(reason);
    ASSERT_TRUE(capture) << reason;
    ASSERT_TRUE(capture->select(0));
    capture->requestFrame();
    ASSERT_NE(NextFrame(*capture, milliseconds(5000)), nullptr) << capture->failure();
    capture->requestFrame();

    compositor.unplug();
    EXPECT_EQ(NextFrame(*capture, milliseconds(300)), nullptr);
    EXPECT_TRUE(capture->outputs().empty());
    EXPECT_EQ(capture->failure(), "the compositor's output went away");
    capture->requestFrame(); // nothing left to ask
    compositor.paint(0, 0, 1, 1, kGreen);
    EXPECT_EQ(NextFrame(*capture, milliseconds(300)), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Protocols, OutputCapture,
                         ::testing::Values(CaptureProtocols::Screencopy,
                                           CaptureProtocols::ImageCopy, CaptureProtocols::Both),
                         [](const auto& info) {
                             switch (info.param) {
                             case CaptureProtocols::Screencopy:
                                 return "WlrScreencopy";
                             case CaptureProtocols::ImageCopy:
                                 return "ExtImageCopyCapture";
                             default:
                                 return "BothOffered";
                             }
                         });

TEST(ClippedDamage, KeepsWhatLiesInTheFrameAndDropsWhatCoversNothing) {
    // A rectangle sent back outside the buffer, or an empty one, is a
    // protocol error that ends the connection; sizes come as 32-bit values.
    constexpr std::int64_t kLargest = std::numeric_limits<std::int32_t>::max();
    constexpr std::int64_t kLargestUnsigned = std::numeric_limits<std::uint32_t>::max();
    const struct {
        std::int64_t x, y, width, height;
        std::optional<Rect> kept; // in a 64 x 48 frame
    } cases[] = {
        {8, 4, 16, 8, Rect{8, 4, 24, 12}},
        {60, 40, 10, 10, Rect{60, 40, 64, 48}},
        {-5, -5, 10, 10, Rect{0, 0, 5, 5}},
        {0, 0, kLargestUnsigned, kLargestUnsigned, Rect{0, 0, 64, 48}},
        {0, 0, 0, 10, std::nullopt},
        {10, 10, -5, 5, std::nullopt},
        {64, 0, 10, 10, std::nullopt},
        {kLargest, 0, kLargest, 1, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y) + " " +
                     std::to_string(c.width) + "x" + std::to_string(c.height));
        EXPECT_EQ(compositor::wayland::ClippedDamage(c.x, c.y, c.width, c.height, 64, 48), c.kept);
    }
}

using NoCaptureRoute = PrivateRuntime;

TEST_F(NoCaptureRoute, SaysWhyWithoutWaylandACompositorOrAProtocol) {
    std::string reason;
    unsetenv("WAYLAND_DISPLAY");
    EXPECT_EQ(compositor::wayland::OpenWaylandCapture(reason), nullptr);
    EXPECT_NE(reason.find("WAYLAND_DISPLAY is not set"), std::string::npos) << reason;

    setenv("WAYLAND_DISPLAY", "wayland-nobody", 1);
    EXPECT_EQ(compositor::wayland::OpenWaylandCapture(reason), nullptr);
    EXPECT_NE(reason.find("cannot connect to the Wayland compositor at \"wayland-nobody\""),
              std::string::npos)
        << reason;

    CaptureCompositor compositor(CaptureProtocols::None, kRed);
    setenv("WAYLAND_DISPLAY", compositor.socket().c_str(), 1);
    EXPECT_EQ(compositor::wayland::OpenWaylandCapture(reason), nullptr);
    EXPECT_NE(reason.find("neither ext-image-copy-capture-v1 nor wlr-screencopy-unstable-v1"),
              std::string::npos)
        << reason;
}

} // namespace
} // namespace kestrove::e2e
