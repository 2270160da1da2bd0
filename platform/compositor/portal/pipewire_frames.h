// One monitor's PipeWire stream turned into frames: the stream's buffers in
// shared memory are handed on as they are where they are memfds (the X server
// attaches that memory itself), copied into a memfd of our own where the
// producer only shares a pointer. Runs on the caller's loop; nothing here
// starts a thread.
#pragma once

#include "platform/compositor/change_list.h"
#include "platform/compositor/frame_capture.h"
#include "platform/compositor/portal/pixel_layout.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct pw_buffer;
struct pw_core;
struct pw_stream;
struct spa_pod;

namespace kestrove::compositor::portal {

class PipeWireFrames {
public:
    // Connects to the stream of PipeWire node `node`. Sets `failure` (and
    // carries on doing nothing) when that fails. Buffers are numbered from
    // `nextBufferId`, which the caller keeps across streams so that a number
    // never means two buffers. Without `damageHolds` the producer's damage is
    // not believed: every frame is whole.
    PipeWireFrames(pw_core* core, std::uint32_t node, std::uint64_t& nextBufferId,
                   bool damageHolds = true);
    ~PipeWireFrames();
    PipeWireFrames(const PipeWireFrames&) = delete;
    PipeWireFrames& operator=(const PipeWireFrames&) = delete;

    // The newest frame not yet taken, or nullptr. The previous frame's buffer
    // goes back to the producer now.
    const Frame* take();
    // Why the stream stopped for good; empty while it runs.
    const std::string& failure() const { return m_failure; }
    // The frame last taken is wanted again, whole (another monitor of the
    // same stream is shown now): the next take() gives it, or a newer
    // frame, whole.
    void again();
    // Whether a frame came in a buffer with no memory to read (no
    // descriptor, no pointer): the same buffers come round again, so the
    // stream may never show anything.
    bool memoryless() const { return m_memoryless; }
    // Stops for good with `reason` as the failure.
    void giveUp(const std::string& reason) { m_failure = reason; }

    // A buffer's chunk as read, once, from the producer's memory.
    struct Chunk {
        std::uint32_t offset = 0;
        std::uint32_t size = 0;
        std::int32_t stride = 0;
        std::int32_t flags = 0;
    };

private:
    struct Listener;
    struct OwnCopy;
    void onStateChanged(int state, const char* error);
    void onFormat(const spa_pod* param);
    void onProcess();
    void release(pw_buffer*& buffer);
    // Gives back a buffer that will not be shown; the next frame is whole.
    void dropped(pw_buffer* buffer);
    bool describe(pw_buffer* buffer, const Chunk& chunk, Frame& frame);
    void addDamage(pw_buffer* buffer);

    pw_stream* m_stream = nullptr;
    std::unique_ptr<Listener> m_listener;
    std::string m_failure;

    int m_width = 0;
    int m_height = 0;
    std::optional<PixelLayout> m_layout; // of the stream's format; nothing until one is agreed
    std::uint32_t m_format = 0;          // kFormat* of the frames handed out
    std::size_t m_stride = 0;            // of the last chunk whose own stride was possible

    pw_buffer* m_pending = nullptr; // newest, not yet taken
    Chunk m_pendingChunk;
    pw_buffer* m_held = nullptr; // taken: its memory is in use until the next take()
    ChangeList m_damage;         // since the last frame taken
    bool m_wholeFrame = true;    // the next frame replaces everything
    bool m_memoryless = false;
    bool m_again = false; // the last frame is wanted again
    bool m_damageHolds;
    std::uint64_t& m_nextBufferId;
    std::unique_ptr<OwnCopy> m_copy; // for producers that share a pointer only
    Frame m_frame;
};

} // namespace kestrove::compositor::portal
