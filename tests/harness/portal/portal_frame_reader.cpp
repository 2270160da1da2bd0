#include "tests/harness/portal/portal_frame_reader.h"

#include "tests/harness/mapped_frame.h"

#include <cstring>

#include <poll.h>

namespace kestrove::e2e {

Rgb CapturedFrame::at(int x, int y) const {
    std::uint32_t p = pixels[static_cast<std::size_t>(y) * width + x];
    return Rgb{static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 8),
               static_cast<std::uint8_t>(p)};
}

CapturedFrame ReadFrame(const compositor::Frame& frame) {
    const MappedFrame mapped(frame);
    CapturedFrame copy{frame.width, frame.height, frame.bufferId, frame.damage, {}};
    copy.pixels.resize(static_cast<std::size_t>(frame.width) * frame.height);
    for (int y = 0; y < frame.height; ++y) {
        std::memcpy(&copy.pixels[static_cast<std::size_t>(y) * frame.width], mapped.row(y),
                    static_cast<std::size_t>(frame.width) * 4);
    }
    return copy;
}

bool WaitForAnswer(compositor::FrameCapture& capture, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (capture.asking()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd wait{capture.waitDescriptor(), POLLIN, 0};
        poll(&wait, 1, static_cast<int>(left.count()));
        capture.dispatch();
    }
    return true;
}

std::optional<CapturedFrame> WaitForFrame(compositor::FrameCapture& capture,
                                          const std::function<bool(const CapturedFrame&)>& accept,
                                          std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (capture.failure().empty()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return std::nullopt;
        }
        capture.requestFrame();
        capture.flush();
        pollfd wait{capture.waitDescriptor(), POLLIN, 0};
        poll(&wait, 1, static_cast<int>(left.count()));
        capture.dispatch();
        if (const compositor::Frame* frame = capture.takeFrame()) {
            CapturedFrame copy = ReadFrame(*frame);
            if (accept(copy)) {
                return copy;
            }
        }
    }
    return std::nullopt;
}

} // namespace kestrove::e2e
