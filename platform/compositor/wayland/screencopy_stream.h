// Frames of one output through wlr-screencopy-unstable-v1 (version 2 or
// later): each request waits in the compositor until the output changes
// (copy_with_damage), with the cursor drawn in.
#pragma once

#include "platform/compositor/wayland/capture_stream.h"

#include <cstdint>
#include <vector>

struct wl_output;
struct zwlr_screencopy_manager_v1;
struct zwlr_screencopy_frame_v1;

namespace kestrove::compositor::wayland {

class ScreencopyStream : public CaptureStream {
public:
    ScreencopyStream(zwlr_screencopy_manager_v1* manager, std::uint32_t version, wl_shm* shm,
                     wl_output* output);
    ~ScreencopyStream() override;
    void outputTransformChanged(FrameTransform transform) override {
        m_outputTransform = transform;
    }

private:
    void startFrame() override;
    void endFrame();

    static void onBuffer(void* data, zwlr_screencopy_frame_v1* frame, std::uint32_t format,
                         std::uint32_t width, std::uint32_t height, std::uint32_t stride);
    static void onFlags(void* data, zwlr_screencopy_frame_v1* frame, std::uint32_t flags);
    static void onReady(void* data, zwlr_screencopy_frame_v1* frame, std::uint32_t, std::uint32_t,
                        std::uint32_t);
    static void onFailed(void* data, zwlr_screencopy_frame_v1* frame);
    static void onDamage(void* data, zwlr_screencopy_frame_v1* frame, std::uint32_t x,
                         std::uint32_t y, std::uint32_t width, std::uint32_t height);
    static void onLinuxDmabuf(void* data, zwlr_screencopy_frame_v1* frame, std::uint32_t,
                              std::uint32_t, std::uint32_t);
    static void onBufferDone(void* data, zwlr_screencopy_frame_v1* frame);
    void copy();

    zwlr_screencopy_manager_v1* m_manager;
    std::uint32_t m_version;
    wl_output* m_output;
    zwlr_screencopy_frame_v1* m_frame = nullptr;
    // What the compositor asked for in this frame.
    bool m_offeredShm = false;
    std::uint32_t m_format = 0;
    std::int64_t m_width = 0;
    std::int64_t m_height = 0;
    std::int64_t m_stride = 0;
    bool m_yInverted = false;
    // Frames hold the output as its buffer does: turned as the output is.
    FrameTransform m_outputTransform = FrameTransform::Normal;
    std::vector<Rect> m_damage;
};

} // namespace kestrove::compositor::wayland
