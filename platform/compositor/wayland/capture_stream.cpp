#include "platform/compositor/wayland/capture_stream.h"

#include <wayland-client.h>

#include <algorithm>
#include <limits>
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

bool CaptureStream::prepareSlots(std::int64_t width, std::int64_t height, std::int64_t stride,
                                 std::uint32_t shmFormat) {
    if (!SupportedShmFormat(shmFormat)) {
        stop("the compositor offers frames only in a pixel format the X server cannot take");
        return false;
    }
    constexpr std::int64_t kLargest = std::numeric_limits<std::int32_t>::max();
    if (width <= 0 || height <= 0 || width > kLargest / 4 || height > kLargest ||
        stride < width * 4 || stride > kLargest) {
        stop("the compositor asked for a frame of " + std::to_string(width) + "x" +
             std::to_string(height) + " with rows of " + std::to_string(stride) + " bytes");
        return false;
    }
    const auto w = static_cast<int>(width);
    const auto h = static_cast<int>(height);
    const auto s = static_cast<int>(stride);
    if (m_slots && m_slots->fits(w, h, s, shmFormat)) {
        return true;
    }
    try {
        auto fresh = std::make_unique<ShmFrames>(m_shm, w, h, s, shmFormat);
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

void CaptureStream::frameReady(std::vector<Rect> damage, bool yInverted, FrameTransform transform) {
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
    m_ready.transform = transform;
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

std::optional<Rect> ClippedDamage(std::int64_t x, std::int64_t y, std::int64_t width,
                                  std::int64_t height, int frameWidth, int frameHeight) {
    // In 64 bits: x + width of two 32-bit values cannot overflow here.
    const std::int64_t left = std::max<std::int64_t>(x, 0);
    const std::int64_t top = std::max<std::int64_t>(y, 0);
    const std::int64_t right = std::min<std::int64_t>(x + width, frameWidth);
    const std::int64_t bottom = std::min<std::int64_t>(y + height, frameHeight);
    if (right <= left || bottom <= top) {
        return std::nullopt;
    }
    return Rect{static_cast<std::int32_t>(left), static_cast<std::int32_t>(top),
                static_cast<std::int32_t>(right), static_cast<std::int32_t>(bottom)};
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
