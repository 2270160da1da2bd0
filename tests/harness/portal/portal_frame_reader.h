// Takes frames from a capture the way the mirror does (waiting on its
// descriptor, dispatching, taking the newest) and reads their pixels.
#pragma once

#include "platform/compositor/frame_capture.h"
#include "tests/harness/monitor_layout.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace kestrove::e2e {

struct CapturedFrame {
    int width = 0;
    int height = 0;
    std::uint64_t bufferId = 0;
    std::vector<Rect> damage;
    std::vector<std::uint32_t> pixels; // row by row, as the frame stores them
    Rgb at(int x, int y) const;
};

// Copies a frame out of its shared memory.
CapturedFrame ReadFrame(const compositor::Frame& frame);

// Dispatches the capture until the desktop has answered its request for
// monitors (granted or not); false when `timeout` passes first.
bool WaitForAnswer(compositor::FrameCapture& capture, std::chrono::milliseconds timeout);

// Dispatches the capture until a frame that `accept` takes arrives, or
// `timeout` passes or the capture fails. Frames passed over are handed to
// `accept` too, in order.
std::optional<CapturedFrame> WaitForFrame(compositor::FrameCapture& capture,
                                          const std::function<bool(const CapturedFrame&)>& accept,
                                          std::chrono::milliseconds timeout);

} // namespace kestrove::e2e
