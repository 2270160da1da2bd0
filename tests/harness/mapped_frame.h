// A captured frame's memory, mapped for reading while the object lives, its
// rows seen top first whichever way the frame stores them.
#pragma once

#include "platform/compositor/frame_capture.h"

#include <cstddef>
#include <cstdint>

namespace kestrove::e2e {

class MappedFrame {
public:
    // Throws std::runtime_error when the memory cannot be mapped.
    explicit MappedFrame(const compositor::Frame& frame);
    ~MappedFrame();
    MappedFrame(const MappedFrame&) = delete;
    MappedFrame& operator=(const MappedFrame&) = delete;

    // The row `y` from the top: the frame's width in 32-bit pixels.
    const std::uint8_t* row(int y) const;
    // The pixel's colour bits (0x00RRGGBB); the padding byte is cleared.
    std::uint32_t at(int x, int y) const;

private:
    std::size_t m_size;
    std::size_t m_offset;
    std::size_t m_stride;
    int m_height;
    bool m_yInverted;
    void* m_memory;
};

} // namespace kestrove::e2e
