#include "bench/output_watch.h"

#include "platform/compositor/wayland/wayland_frame_capture.h"
#include "tests/harness/mapped_frame.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

#include <poll.h>

namespace kestrove::bench {

namespace {

// The capture's connection reads $WAYLAND_DISPLAY; a path names the socket itself.
std::unique_ptr<compositor::FrameCapture> Connect(const std::string& socket) {
    const char* before = std::getenv("WAYLAND_DISPLAY");
    const std::string saved = before != nullptr ? before : "";
    setenv("WAYLAND_DISPLAY", socket.c_str(), 1);
    std::string reason;
    auto capture = compositor::wayland::OpenWaylandCapture(reason);
    if (before != nullptr) {
        setenv("WAYLAND_DISPLAY", saved.c_str(), 1);
    } else {
        unsetenv("WAYLAND_DISPLAY");
    }
    if (!capture) {
        throw std::runtime_error("cannot capture " + socket + ": " + reason);
    }
    return capture;
}

// The marker in a frame stored upright, as the source output's frames are.
int ReadMarker(const compositor::Frame& frame) {
    const e2e::MappedFrame mapped(frame);
    return MarkerValue(kMarkerBlockWidth, kMarkerBlockHeight,
                       [&](int x, int y) { return (mapped.at(x, y) >> 8) & 0xFF; });
}

} // namespace

OutputWatch::OutputWatch(const std::string& socket, const std::string& output)
    : m_capture(Connect(socket)) {
    const auto& outputs = m_capture->outputs();
    const auto found = std::find_if(outputs.begin(), outputs.end(),
                                    [&](const compositor::Output& o) { return o.name == output; });
    if (found == outputs.end() ||
        !m_capture->select(static_cast<std::size_t>(found - outputs.begin()))) {
        throw std::runtime_error("the compositor has no output " + output + " to capture");
    }
    m_thread = std::thread([this] { watch(); });
}

OutputWatch::~OutputWatch() {
    m_stop = true;
    m_thread.join();
}

std::vector<Sighting> OutputWatch::sightings() const {
    const std::lock_guard lock(m_mutex);
    return m_sightings;
}

void OutputWatch::watch() {
    m_capture->requestFrame();
    while (!m_stop && m_capture->failure().empty()) {
        m_capture->flush();
        pollfd wait{m_capture->waitDescriptor(), POLLIN, 0};
        poll(&wait, 1, 10);
        m_capture->dispatch();
        if (const compositor::Frame* frame = m_capture->takeFrame()) {
            const Sighting seen{Clock::now(), ReadMarker(*frame)};
            {
                const std::lock_guard lock(m_mutex);
                m_sightings.push_back(seen);
            }
            m_capture->requestFrame();
        }
    }
}

} // namespace kestrove::bench
