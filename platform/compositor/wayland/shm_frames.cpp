#include "platform/compositor/wayland/shm_frames.h"

#include "platform/compositor/frame_capture.h"

#include <wayland-client.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace kestrove::compositor::wayland {

namespace {

std::atomic<std::uint64_t> g_nextId{1};

} // namespace

std::uint32_t FourccOfShmFormat(std::uint32_t shmFormat) {
    switch (shmFormat) {
    case WL_SHM_FORMAT_ARGB8888:
        return kFormatArgb8888;
    case WL_SHM_FORMAT_XRGB8888:
        return kFormatXrgb8888;
    default:
        return shmFormat;
    }
}

ShmFrames::ShmFrames(wl_shm* shm, int width, int height, int stride, std::uint32_t format)
    : m_width(width), m_height(height), m_stride(stride), m_format(format),
      m_id(g_nextId.fetch_add(1)) {
    if (width <= 0 || height <= 0 || stride < std::int64_t{width} * 4) {
        throw std::runtime_error("the compositor asked for a frame of " + std::to_string(width) +
                                 "x" + std::to_string(height) + " with rows of " +
                                 std::to_string(stride) + " bytes");
    }
    m_slotSize = static_cast<std::size_t>(stride) * static_cast<std::size_t>(height);
    if (size() > static_cast<std::size_t>(INT32_MAX)) { // a pool's size is an int32
        throw std::runtime_error("frames of " + std::to_string(width) + "x" +
                                 std::to_string(height) + " are too large to share");
    }
    m_fd = memfd_create("kestrove-frames", MFD_CLOEXEC);
    if (m_fd < 0 || ftruncate(m_fd, static_cast<off_t>(size())) != 0) {
        const std::string reason = std::strerror(errno);
        if (m_fd >= 0) {
            close(m_fd);
        }
        throw std::runtime_error("no shared memory for frames: " + reason);
    }
    wl_shm_pool* pool = wl_shm_create_pool(shm, m_fd, static_cast<std::int32_t>(size()));
    for (int slot = 0; slot < kSlots; ++slot) {
        m_buffers[slot] = wl_shm_pool_create_buffer(pool, static_cast<std::int32_t>(offset(slot)),
                                                    width, height, stride, format);
    }
    wl_shm_pool_destroy(pool); // the buffers keep the memory
}

ShmFrames::~ShmFrames() {
    for (wl_buffer* buffer : m_buffers) {
        wl_buffer_destroy(buffer);
    }
    close(m_fd);
}

} // namespace kestrove::compositor::wayland
