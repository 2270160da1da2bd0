// Two frame-sized slots in one memfd, each wrapped in a wl_buffer of a wl_shm
// pool. The compositor writes a new frame into one slot while the previous
// frame in the other is still being read; the X server attaches the same
// memory, so nothing is copied on the way.
#pragma once

#include <cstddef>
#include <cstdint>

struct wl_buffer;
struct wl_shm;

namespace kestrove::compositor::wayland {

class ShmFrames {
public:
    // `format` is a wl_shm format code. Throws std::runtime_error when the
    // memory cannot be made.
    ShmFrames(wl_shm* shm, int width, int height, int stride, std::uint32_t format);
    ~ShmFrames();
    ShmFrames(const ShmFrames&) = delete;
    ShmFrames& operator=(const ShmFrames&) = delete;

    bool fits(int width, int height, int stride, std::uint32_t format) const {
        return width == m_width && height == m_height && stride == m_stride && format == m_format;
    }
    static constexpr int kSlots = 2;
    wl_buffer* buffer(int slot) const { return m_buffers[slot]; }
    std::size_t offset(int slot) const { return static_cast<std::size_t>(slot) * m_slotSize; }

    int fd() const { return m_fd; }
    std::size_t size() const { return m_slotSize * kSlots; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    int stride() const { return m_stride; }
    std::uint32_t format() const { return m_format; }
    // Unique for the life of the process: receivers attach once per id.
    std::uint64_t id() const { return m_id; }

private:
    int m_fd = -1;
    std::size_t m_slotSize = 0;
    int m_width;
    int m_height;
    int m_stride;
    std::uint32_t m_format;
    std::uint64_t m_id;
    wl_buffer* m_buffers[kSlots] = {};
};

// The DRM fourcc for a wl_shm format code (which differ only for the two
// oldest formats).
std::uint32_t FourccOfShmFormat(std::uint32_t shmFormat);

} // namespace kestrove::compositor::wayland
