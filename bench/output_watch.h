// The monitor itself, watched through the compositor as the mirror is: when
// each frame of the source animation reached the output. The time from there
// to the mirror is what a viewer sees between the monitor and its copy; it
// leaves out what every client's picture waits before the compositor shows
// it, which the source's own time stamps include.
#pragma once

#include "bench/mirror_watch.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kestrove::compositor {
class FrameCapture;
}

namespace kestrove::bench {

class OutputWatch {
public:
    // Captures the output named `output` of the compositor at `socket` on a
    // thread of its own, frame after frame, and reads the marker at its
    // top-left corner; throws std::runtime_error when it cannot.
    OutputWatch(const std::string& socket, const std::string& output);
    ~OutputWatch();
    OutputWatch(const OutputWatch&) = delete;
    OutputWatch& operator=(const OutputWatch&) = delete;

    std::vector<Sighting> sightings() const;

private:
    void watch();

    std::unique_ptr<compositor::FrameCapture> m_capture;
    mutable std::mutex m_mutex;
    std::vector<Sighting> m_sightings;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace kestrove::bench
