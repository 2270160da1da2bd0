#include "platform/compositor/wayland/capture_stream.h"

#include <wayland-client.h>

#include <stdexcept>

namespace kestrove::compositor::wayland {

namespace {

// Failed copies happen when an output changes mode under a request; more
// than this many in a row means the compositor will not serve us.
constexpr int kFailuresTolerated = 3;

bool SupportedShmFormat(std::uint32_t format) {
    return format == WL_SHM_FORMAT_XRGB8888 || format == WL_SHM_FORMAT_ARGB8888;
}

} // namespace

void CaptureStream::requestFrame() {
    if (m_requested || m_hasReady || !m_failure.empty()) {
        return;
    }
    m_requested = true;
    startFrame();
}

const Frame* CaptureStream::takeFrame() {
    if (!m_hasReady) {
        return nullptr;
    }
    m_retired.reset();
    m_taken = std::move(m_ready);
    m_ready = Frame{};
    m_hasReady = false;
    return &m_taken;
}

bool CaptureStream::prepareSlots(int width, int height, int stride, std::uint32_t shmFormat) {
    if (!SupportedShmFormat(shmFormat)) {
        stop("the compositor offers frames only in a pixel format the X server cannot take");
        return false;
    }
    if (m_slots && m_slots->fits(width, height, stride, shmFormat)) {
        return true;
    }
    try {
        auto fresh = std::make_unique<ShmFrames>(m_shm, width, height, stride, shmFormat);
        // The frame taken last may lie in the old memory: it stays valid
        // until the next frame is taken.
        m_retired = std::move(m_slots);
        m_slots = std::move(fresh);
    } catch (const std::runtime_error& error) {
        stop(error.what());
        return false;
    }
    m_writingSlot = 0;
    m_wholeFrameDamaged = true;
    return true;
}

void CaptureStream::frameReady(std::vector<Rect> damage, bool yInverted) {
    m_requested = false;
    m_failuresInARow = 0;
    const ShmFrames& slots = *m_slots;
    m_ready.fd = slots.fd();
    m_ready.fdSize = slots.size();
    m_ready.offset = slots.offset(m_writingSlot);
    m_ready.width = slots.width();
    m_ready.height = slots.height();
    m_ready.stride = slots.stride();
    m_ready.format = FourccOfShmFormat(slots.format());
    m_ready.yInverted = yInverted;
    m_ready.bufferId = slots.id();
    if (m_wholeFrameDamaged || yInverted) {
        m_ready.damage = {Rect{0, 0, slots.width(), slots.height()}};
    } else {
        m_ready.damage = std::move(damage);
    }
    m_wholeFrameDamaged = false;
    m_hasReady = true;
    m_writingSlot = (m_writingSlot + 1) % ShmFrames::kSlots;
}

void CaptureStream::frameFailed(const std::string& reason) {
    m_requested = false;
    if (++m_failuresInARow > kFailuresTolerated) {
        stop(reason);
    }
}

void CaptureStream::stop(const std::string& reason) {
    m_requested = false;
    if (m_failure.empty()) {
        m_failure = reason;
    }
}

} // namespace kestrove::compositor::wayland
