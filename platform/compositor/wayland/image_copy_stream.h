// Frames of one output through ext-image-copy-capture-v1 with an output
// image capture source. The session tells the buffer constraints; each frame
// waits in the compositor until the output changes, with the cursor painted in.
#pragma once

#include "platform/compositor/change_list.h"
#include "platform/compositor/wayland/capture_stream.h"

#include <array>
#include <cstdint>
#include <vector>

struct wl_array;
struct wl_output;
struct ext_image_copy_capture_manager_v1;
struct ext_image_copy_capture_session_v1;
struct ext_image_copy_capture_frame_v1;
struct ext_output_image_capture_source_manager_v1;
struct ext_image_capture_source_v1;

namespace kestrove::compositor::wayland {

class ImageCopyStream : public CaptureStream {
public:
    ImageCopyStream(ext_image_copy_capture_manager_v1* manager,
                    ext_output_image_capture_source_manager_v1* sources, wl_shm* shm,
                    wl_output* output);
    ~ImageCopyStream() override;

private:
    void startFrame() override;
    void capture();
    void endFrame();

    static void onBufferSize(void* data, ext_image_copy_capture_session_v1*, std::uint32_t width,
                             std::uint32_t height);
    static void onShmFormat(void* data, ext_image_copy_capture_session_v1*, std::uint32_t format);
    static void onDmabufDevice(void*, ext_image_copy_capture_session_v1*, wl_array*);
    static void onDmabufFormat(void*, ext_image_copy_capture_session_v1*, std::uint32_t, wl_array*);
    static void onSessionDone(void* data, ext_image_copy_capture_session_v1*);
    static void onStopped(void* data, ext_image_copy_capture_session_v1*);

    static void onTransform(void* data, ext_image_copy_capture_frame_v1*, std::uint32_t transform);
    static void onDamage(void* data, ext_image_copy_capture_frame_v1*, std::int32_t x,
                         std::int32_t y, std::int32_t width, std::int32_t height);
    static void onPresentationTime(void*, ext_image_copy_capture_frame_v1*, std::uint32_t,
                                   std::uint32_t, std::uint32_t);
    static void onReady(void* data, ext_image_copy_capture_frame_v1*);
    static void onFailed(void* data, ext_image_copy_capture_frame_v1*, std::uint32_t reason);

    ext_image_capture_source_v1* m_source;
    ext_image_copy_capture_session_v1* m_session;
    ext_image_copy_capture_frame_v1* m_frame = nullptr;
    // The session's constraints, complete once `done` came.
    bool m_constraintsKnown = false;
    std::int64_t m_width = 0;
    std::int64_t m_height = 0;
    std::uint32_t m_shmFormat = 0;
    bool m_shmFormatOffered = false;
    std::uint64_t m_slotsId = 0;
    // What each slot misses of the newest frame: the damage of frames that
    // landed in the other slot since it was last written.
    std::array<ChangeList, ShmFrames::kSlots> m_stale;
    std::vector<Rect> m_damage;                          // of the frame under way
    FrameTransform m_transform = FrameTransform::Normal; // of the frame under way
};

} // namespace kestrove::compositor::wayland
