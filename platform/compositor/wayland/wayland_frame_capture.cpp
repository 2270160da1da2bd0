#include "platform/compositor/wayland/wayland_frame_capture.h"

#include "platform/compositor/wayland/image_copy_stream.h"
#include "platform/compositor/wayland/screencopy_stream.h"
#include "platform/compositor/wayland/wayland_globals.h"

#include <wayland-client.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <poll.h>

namespace kestrove::compositor::wayland {

namespace {

// copy_with_damage came with version 2; without it every refresh would copy
// the whole output.
constexpr std::uint32_t kScreencopyVersionNeeded = 2;

struct DisplayCloser {
    void operator()(wl_display* display) const { wl_display_disconnect(display); }
};
using DisplayPtr = std::unique_ptr<wl_display, DisplayCloser>;

class WaylandFrameCapture final : public FrameCapture {
public:
    WaylandFrameCapture(DisplayPtr display, std::unique_ptr<WaylandGlobals> globals)
        : m_display(std::move(display)), m_globals(std::move(globals)) {
        refreshOutputs();
    }
    ~WaylandFrameCapture() override {
        m_stream.reset();
        m_globals.reset();
    }

    int waitDescriptor() const override {
        // A broken connection stays readable: waiting on it would spin.
        return broken() ? -1 : wl_display_get_fd(m_display.get());
    }

    void dispatch() override {
        wl_display* display = m_display.get();
        if (broken()) {
            return;
        }
        while (wl_display_prepare_read(display) != 0) {
            if (wl_display_dispatch_pending(display) < 0) {
                return;
            }
        }
        pollfd readable{wl_display_get_fd(display), POLLIN, 0};
        if (poll(&readable, 1, 0) > 0 && (readable.revents & POLLIN) != 0) {
            wl_display_read_events(display);
        } else {
            wl_display_cancel_read(display);
        }
        wl_display_dispatch_pending(display);
        // What the events asked for (a copy into our buffer) goes out now,
        // not at the next refresh.
        wl_display_flush(display);
        refreshOutputs();
    }

    void flush() override { wl_display_flush(m_display.get()); }

    const std::vector<Output>& outputs() const override { return m_outputs; }

    bool select(std::size_t index) override {
        m_stream.reset();
        const auto& states = m_globals->outputs();
        if (index >= states.size()) {
            return false;
        }
        m_lostOutput.clear();
        m_selectedGlobal = states[index]->globalName;
        wl_output* output = states[index]->output;
        if (m_globals->imageCopy() != nullptr && m_globals->outputSources() != nullptr) {
            m_stream = std::make_unique<ImageCopyStream>(
                m_globals->imageCopy(), m_globals->outputSources(), m_globals->shm(), output);
        } else {
            m_stream = std::make_unique<ScreencopyStream>(
                m_globals->screencopy(), m_globals->screencopyVersion(), m_globals->shm(), output);
        }
        m_stream->outputTransformChanged(states[index]->transform);
        return true;
    }

    void requestFrame() override {
        if (m_stream) {
            m_stream->requestFrame();
        }
    }

    const Frame* takeFrame() override { return m_stream ? m_stream->takeFrame() : nullptr; }

    std::string failure() const override {
        if (const int error = wl_display_get_error(m_display.get()); error != 0) {
            return std::string("the connection to the compositor broke: ") + std::strerror(error);
        }
        if (!m_lostOutput.empty()) {
            return m_lostOutput;
        }
        return m_stream ? m_stream->failure() : std::string();
    }

private:
    bool broken() const { return wl_display_get_error(m_display.get()) != 0; }

    void refreshOutputs() {
        if (m_generation == m_globals->outputsGeneration()) {
            return;
        }
        m_generation = m_globals->outputsGeneration();
        m_outputs.clear();
        bool selectedThere = false;
        for (const auto& state : m_globals->outputs()) {
            m_outputs.push_back(state->describe());
            if (state->globalName == m_selectedGlobal) {
                selectedThere = true;
                if (m_stream) {
                    m_stream->outputTransformChanged(state->transform);
                }
            }
        }
        // The stream's output object is gone with the output: nothing more
        // may be asked of it.
        if (m_stream && !selectedThere) {
            m_stream.reset();
            m_lostOutput = "the compositor's output went away";
        }
    }

    DisplayPtr m_display;
    std::unique_ptr<WaylandGlobals> m_globals;
    std::unique_ptr<CaptureStream> m_stream;
    std::uint32_t m_selectedGlobal = 0; // the registry's name of the output captured
    std::string m_lostOutput;
    std::vector<Output> m_outputs;
    std::uint64_t m_generation = ~std::uint64_t{0};
};

} // namespace

std::unique_ptr<FrameCapture> OpenWaylandCapture(std::string& reason) {
    const char* name = std::getenv("WAYLAND_DISPLAY");
    if (name == nullptr || *name == '\0') {
        reason = "not a Wayland session (WAYLAND_DISPLAY is not set)";
        return nullptr;
    }
    DisplayPtr display(wl_display_connect(nullptr));
    if (!display) {
        reason = std::string("cannot connect to the Wayland compositor at \"") + name +
                 "\": " + std::strerror(errno);
        return nullptr;
    }
    auto globals = std::make_unique<WaylandGlobals>(display.get());
    const bool imageCopy = globals->imageCopy() != nullptr && globals->outputSources() != nullptr;
    const bool screencopy = globals->screencopy() != nullptr &&
                            globals->screencopyVersion() >= kScreencopyVersionNeeded;
    if (!imageCopy && !screencopy) {
        reason = "the compositor offers no screen capture (neither ext-image-copy-capture-v1 "
                 "nor wlr-screencopy-unstable-v1 version 2)";
        return nullptr;
    }
    if (globals->shm() == nullptr) {
        reason = "the compositor offers no shared memory (wl_shm)";
        return nullptr;
    }
    if (wl_display_get_error(display.get()) != 0) {
        reason = "the compositor closed the connection while listing its outputs";
        return nullptr;
    }
    return std::make_unique<WaylandFrameCapture>(std::move(display), std::move(globals));
}

} // namespace kestrove::compositor::wayland
