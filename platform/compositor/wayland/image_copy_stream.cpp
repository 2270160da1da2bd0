#include "platform/compositor/wayland/image_copy_stream.h"

#include "ext-image-capture-source-v1.h"
#include "ext-image-copy-capture-v1.h"

#include <wayland-client.h>

namespace kestrove::compositor::wayland {

ImageCopyStream::ImageCopyStream(ext_image_copy_capture_manager_v1* manager,
                                 ext_output_image_capture_source_manager_v1* sources, wl_shm* shm,
                                 wl_output* output)
    : CaptureStream(shm),
      m_source(ext_output_image_capture_source_manager_v1_create_source(sources, output)),
      m_session(ext_image_copy_capture_manager_v1_create_session(
          manager, m_source, EXT_IMAGE_COPY_CAPTURE_MANAGER_V1_OPTIONS_PAINT_CURSORS)) {
    static const ext_image_copy_capture_session_v1_listener listener{
        onBufferSize, onShmFormat, onDmabufDevice, onDmabufFormat, onSessionDone, onStopped};
    ext_image_copy_capture_session_v1_add_listener(m_session, &listener, this);
}

ImageCopyStream::~ImageCopyStream() {
    endFrame();
    ext_image_copy_capture_session_v1_destroy(m_session);
    ext_image_capture_source_v1_destroy(m_source);
}

void ImageCopyStream::startFrame() {
    if (m_constraintsKnown) {
        capture();
    } // else the session's `done` starts it
}

void ImageCopyStream::capture() {
    if (!m_shmFormatOffered) {
        stop("the compositor offers frames only outside shared memory");
        return;
    }
    if (!prepareSlots(m_width, m_height, m_width * 4, m_shmFormat)) {
        return;
    }
    const int width = slots()->width();
    const int height = slots()->height();
    if (slots()->id() != m_slotsId) {
        m_slotsId = slots()->id();
        for (auto& stale : m_stale) {
            stale.addEverything();
        }
    }
    static const ext_image_copy_capture_frame_v1_listener listener{
        onTransform, onDamage, onPresentationTime, onReady, onFailed};
    m_damage.clear();
    m_transform = FrameTransform::Normal;
    m_frame = ext_image_copy_capture_session_v1_create_frame(m_session);
    ext_image_copy_capture_frame_v1_add_listener(m_frame, &listener, this);
    ext_image_copy_capture_frame_v1_attach_buffer(m_frame, slots()->buffer(writingSlot()));
    // A rectangle outside the buffer, or an empty one, is a protocol error
    // that would end the connection.
    const ChangeList& stale = m_stale[static_cast<std::size_t>(writingSlot())];
    for (const Rect& r : stale.rectsIn(Rect{0, 0, width, height})) {
        if (const auto inside = ClippedDamage(r.left, r.top, std::int64_t{r.right} - r.left,
                                              std::int64_t{r.bottom} - r.top, width, height)) {
            ext_image_copy_capture_frame_v1_damage_buffer(m_frame, inside->left, inside->top,
                                                          inside->right - inside->left,
                                                          inside->bottom - inside->top);
        }
    }
    ext_image_copy_capture_frame_v1_capture(m_frame);
}

void ImageCopyStream::endFrame() {
    if (m_frame != nullptr) {
        ext_image_copy_capture_frame_v1_destroy(m_frame);
        m_frame = nullptr;
    }
}

void ImageCopyStream::onBufferSize(void* data, ext_image_copy_capture_session_v1*,
                                   std::uint32_t width, std::uint32_t height) {
    auto* self = static_cast<ImageCopyStream*>(data);
    self->m_width = width;
    self->m_height = height;
}

void ImageCopyStream::onShmFormat(void* data, ext_image_copy_capture_session_v1*,
                                  std::uint32_t format) {
    auto* self = static_cast<ImageCopyStream*>(data);
    // XRGB is what the X server's pictures hold; ARGB will do.
    if (format == WL_SHM_FORMAT_XRGB8888 ||
        (format == WL_SHM_FORMAT_ARGB8888 && self->m_shmFormat != WL_SHM_FORMAT_XRGB8888)) {
        self->m_shmFormat = format;
        self->m_shmFormatOffered = true;
    }
}

void ImageCopyStream::onDmabufDevice(void*, ext_image_copy_capture_session_v1*, wl_array*) {}

void ImageCopyStream::onDmabufFormat(void*, ext_image_copy_capture_session_v1*, std::uint32_t,
                                     wl_array*) {}

void ImageCopyStream::onSessionDone(void* data, ext_image_copy_capture_session_v1*) {
    auto* self = static_cast<ImageCopyStream*>(data);
    const bool first = !self->m_constraintsKnown;
    self->m_constraintsKnown = true;
    if (first && self->requested() && self->m_frame == nullptr) {
        self->capture();
    }
}

void ImageCopyStream::onStopped(void* data, ext_image_copy_capture_session_v1*) {
    auto* self = static_cast<ImageCopyStream*>(data);
    self->endFrame();
    self->stop("the compositor stopped the capture of the output");
}

void ImageCopyStream::onTransform(void* data, ext_image_copy_capture_frame_v1*,
                                  std::uint32_t transform) {
    auto* self = static_cast<ImageCopyStream*>(data);
    if (const auto known = TransformFromProtocol(transform)) {
        self->m_transform = *known;
    } else {
        self->endFrame();
        self->stop("the compositor sent frames turned in an unknown way (transform " +
                   std::to_string(transform) + ")");
    }
}

void ImageCopyStream::onDamage(void* data, ext_image_copy_capture_frame_v1*, std::int32_t x,
                               std::int32_t y, std::int32_t width, std::int32_t height) {
    auto* self = static_cast<ImageCopyStream*>(data);
    if (self->slots() == nullptr) {
        return;
    }
    if (const auto r =
            ClippedDamage(x, y, width, height, self->slots()->width(), self->slots()->height())) {
        self->m_damage.push_back(*r);
    }
}

void ImageCopyStream::onPresentationTime(void*, ext_image_copy_capture_frame_v1*, std::uint32_t,
                                         std::uint32_t, std::uint32_t) {}

void ImageCopyStream::onReady(void* data, ext_image_copy_capture_frame_v1*) {
    auto* self = static_cast<ImageCopyStream*>(data);
    self->endFrame();
    const auto written = static_cast<std::size_t>(self->writingSlot());
    self->m_stale[written].clear();
    for (std::size_t slot = 0; slot < self->m_stale.size(); ++slot) {
        auto& stale = self->m_stale[slot];
        if (slot == written) {
            continue;
        }
        for (const Rect& r : self->m_damage) {
            stale.add(r);
        }
    }
    self->frameReady(std::move(self->m_damage), false, self->m_transform);
}

void ImageCopyStream::onFailed(void* data, ext_image_copy_capture_frame_v1*, std::uint32_t reason) {
    auto* self = static_cast<ImageCopyStream*>(data);
    self->endFrame();
    if (reason == EXT_IMAGE_COPY_CAPTURE_FRAME_V1_FAILURE_REASON_STOPPED) {
        self->stop("the compositor stopped the capture of the output");
    } else {
        // New constraints (a mode change) come with the session's next `done`;
        // the next request uses them.
        self->frameFailed("the compositor failed to copy the output");
    }
}

} // namespace kestrove::compositor::wayland
