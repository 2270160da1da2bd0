// Frames of one output from one capture protocol. The protocols differ in
// how a frame is asked for; what they share is here: the two slots frames
// land in, handing each frame out once, and when to give up.
#pragma once

#include "platform/compositor/frame_capture.h"
#include "platform/compositor/wayland/shm_frames.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct wl_shm;

namespace kestrove::compositor::wayland {

class CaptureStream {
public:
    explicit CaptureStream(wl_shm* shm) : m_shm(shm) {}
    virtual ~CaptureStream() = default;
    CaptureStream(const CaptureStream&) = delete;
    CaptureStream& operator=(const CaptureStream&) = delete;

    // Asks for the next frame, unless one is asked for already or a frame
    // waits to be taken (the compositor would write over the slot being read).
    void requestFrame();
    const Frame* takeFrame();
    const std::string& failure() const { return m_failure; }
    // The output's own transform, as wl_output tells it; for protocols
    // whose frames do not say how they are turned.
    virtual void outputTransformChanged(FrameTransform) {}

protected:
    // Sends the protocol's request for a frame into slot `writingSlot()`.
    virtual void startFrame() = 0;

    // Makes sure the slots fit the compositor's constraints, as it sent
    // them; false (and a failure) when they cannot.
    bool prepareSlots(std::int64_t width, std::int64_t height, std::int64_t stride,
                      std::uint32_t shmFormat);
    ShmFrames* slots() const { return m_slots.get(); }
    int writingSlot() const { return m_writingSlot; }
    // The frame asked for is in its slot.
    void frameReady(std::vector<Rect> damage, bool yInverted, FrameTransform transform);
    // The frame asked for did not come; a few of these in a row end the stream.
    void frameFailed(const std::string& reason);
    // Nothing more will come.
    void stop(const std::string& reason);
    bool requested() const { return m_requested; }

private:
    wl_shm* m_shm;
    std::unique_ptr<ShmFrames> m_slots;
    std::unique_ptr<ShmFrames> m_retired; // holds the frame taken last, if replaced since
    int m_writingSlot = 0;
    bool m_requested = false;
    bool m_hasReady = false;
    bool m_wholeFrameDamaged = true; // first frame, or new slots
    int m_failuresInARow = 0;
    Frame m_ready;
    Frame m_taken;
    std::string m_failure;
};

// A damage rectangle as the compositor sent it, within a frame of width x
// height; nothing when it covers no pixel of the frame.
std::optional<Rect> ClippedDamage(std::int64_t x, std::int64_t y, std::int64_t width,
                                  std::int64_t height, int frameWidth, int frameHeight);

} // namespace kestrove::compositor::wayland
