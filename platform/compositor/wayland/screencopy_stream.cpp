#include "platform/compositor/wayland/screencopy_stream.h"

#include "wlr-screencopy-unstable-v1.h"

#include <wayland-client.h>

namespace kestrove::compositor::wayland {

ScreencopyStream::ScreencopyStream(zwlr_screencopy_manager_v1* manager, std::uint32_t version,
                                   wl_shm* shm, wl_output* output)
    : CaptureStream(shm), m_manager(manager), m_version(version), m_output(output) {}

ScreencopyStream::~ScreencopyStream() {
    endFrame();
}

void ScreencopyStream::startFrame() {
    static const zwlr_screencopy_frame_v1_listener listener{
        onBuffer, onFlags, onReady, onFailed, onDamage, onLinuxDmabuf, onBufferDone};
    m_offeredShm = false;
    m_yInverted = false;
    m_damage.clear();
    m_frame = zwlr_screencopy_manager_v1_capture_output(m_manager, 1, m_output);
    zwlr_screencopy_frame_v1_add_listener(m_frame, &listener, this);
}

void ScreencopyStream::endFrame() {
    if (m_frame != nullptr) {
        zwlr_screencopy_frame_v1_destroy(m_frame);
        m_frame = nullptr;
    }
}

void ScreencopyStream::copy() {
    if (!m_offeredShm) {
        endFrame();
        stop("the compositor offers frames only outside shared memory");
        return;
    }
    if (!prepareSlots(m_width, m_height, m_stride, m_format)) {
        endFrame();
        return;
    }
    zwlr_screencopy_frame_v1_copy_with_damage(m_frame, slots()->buffer(writingSlot()));
}

void ScreencopyStream::onBuffer(void* data, zwlr_screencopy_frame_v1*, std::uint32_t format,
                                std::uint32_t width, std::uint32_t height, std::uint32_t stride) {
    auto* self = static_cast<ScreencopyStream*>(data);
    self->m_offeredShm = true;
    self->m_format = format;
    self->m_width = width;
    self->m_height = height;
    self->m_stride = stride;
    if (self->m_version < ZWLR_SCREENCOPY_FRAME_V1_BUFFER_DONE_SINCE_VERSION) {
        self->copy(); // no list of buffer types follows
    }
}

void ScreencopyStream::onBufferDone(void* data, zwlr_screencopy_frame_v1*) {
    static_cast<ScreencopyStream*>(data)->copy();
}

void ScreencopyStream::onLinuxDmabuf(void*, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t,
                                     std::uint32_t) {}

void ScreencopyStream::onFlags(void* data, zwlr_screencopy_frame_v1*, std::uint32_t flags) {
    static_cast<ScreencopyStream*>(data)->m_yInverted =
        (flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT) != 0;
}

void ScreencopyStream::onDamage(void* data, zwlr_screencopy_frame_v1*, std::uint32_t x,
                                std::uint32_t y, std::uint32_t width, std::uint32_t height) {
    auto* self = static_cast<ScreencopyStream*>(data);
    // The slots are the size of the buffer the copy went into.
    if (self->slots() == nullptr) {
        return;
    }
    if (const auto r =
            ClippedDamage(x, y, width, height, self->slots()->width(), self->slots()->height())) {
        self->m_damage.push_back(*r);
    }
}

void ScreencopyStream::onReady(void* data, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t,
                               std::uint32_t) {
    auto* self = static_cast<ScreencopyStream*>(data);
    self->endFrame();
    self->frameReady(std::move(self->m_damage), self->m_yInverted, self->m_outputTransform);
}

void ScreencopyStream::onFailed(void* data, zwlr_screencopy_frame_v1*) {
    auto* self = static_cast<ScreencopyStream*>(data);
    self->endFrame();
    self->frameFailed("the compositor failed to copy the output");
}

} // namespace kestrove::compositor::wayland
