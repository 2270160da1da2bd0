#include "tests/harness/mapped_frame.h"

#include <cstring>
#include <stdexcept>

#include <sys/mman.h>

namespace kestrove::e2e {

MappedFrame::MappedFrame(const compositor::Frame& frame)
    : m_size(frame.fdSize), m_offset(frame.offset),
      m_stride(static_cast<std::size_t>(frame.stride)), m_height(frame.height),
      m_yInverted(frame.yInverted),
      m_memory(mmap(nullptr, frame.fdSize, PROT_READ, MAP_SHARED, frame.fd, 0)) {
    if (m_memory == MAP_FAILED) {
        throw std::runtime_error("cannot map the frame's memory");
    }
}

MappedFrame::~MappedFrame() {
    munmap(m_memory, m_size);
}

const std::uint8_t* MappedFrame::row(int y) const {
    const int stored = m_yInverted ? m_height - 1 - y : y;
    return static_cast<const std::uint8_t*>(m_memory) + m_offset +
           static_cast<std::size_t>(stored) * m_stride;
}

std::uint32_t MappedFrame::at(int x, int y) const {
    std::uint32_t pixel = 0;
    std::memcpy(&pixel, row(y) + static_cast<std::size_t>(x) * 4, sizeof pixel);
    return pixel & 0x00FFFFFF;
}

} // namespace kestrove::e2e
