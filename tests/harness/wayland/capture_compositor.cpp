#include "tests/harness/wayland/capture_compositor.h"

#include "ext-image-capture-source-v1-server.h"
#include "ext-image-copy-capture-v1-server.h"
#include "wlr-screencopy-unstable-v1-server.h"

#include <wayland-server.h>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <unistd.h>
#include <vector>

namespace kestrove::e2e {

namespace {

struct Damage {
    int x, y, width, height;
};

// A copy the client asked for, waiting for the output to change.
struct Waiting {
    wl_resource* frame;
    wl_resource* buffer;
    bool imageCopy;
};

} // namespace

struct CaptureCompositor::State {
    CaptureProtocols protocols;
    wl_display* display = nullptr;
    wl_global* output = nullptr;
    std::string socket;
    int wake[2] = {-1, -1};
    wl_event_source* wakeSource = nullptr; // removed before the display goes
    std::thread thread;

    mutable std::mutex mutex;
    std::vector<std::uint32_t> pixels = std::vector<std::uint32_t>(kWidth * kHeight);
    std::vector<Damage> damage; // since the last copy
    bool copied = false;        // the first copy is answered at once
    std::vector<Waiting> waiting;
    int screencopyFrames = 0;
    int imageCopyFrames = 0;
    std::uint32_t transform = WL_OUTPUT_TRANSFORM_NORMAL;
    bool yInverted = false;

    // With the mutex held.
    void copy(const Waiting& w) {
        wl_shm_buffer* buffer = wl_shm_buffer_get(w.buffer);
        if (buffer == nullptr || wl_shm_buffer_get_width(buffer) != kWidth ||
            wl_shm_buffer_get_height(buffer) != kHeight) {
            if (w.imageCopy) {
                ext_image_copy_capture_frame_v1_send_failed(
                    w.frame, EXT_IMAGE_COPY_CAPTURE_FRAME_V1_FAILURE_REASON_BUFFER_CONSTRAINTS);
            } else {
                zwlr_screencopy_frame_v1_send_failed(w.frame);
            }
            return;
        }
        wl_shm_buffer_begin_access(buffer);
        auto* data = static_cast<unsigned char*>(wl_shm_buffer_get_data(buffer));
        const int stride = wl_shm_buffer_get_stride(buffer);
        for (int y = 0; y < kHeight; ++y) {
            std::memcpy(data + y * stride, &pixels[static_cast<std::size_t>(y * kWidth)],
                        kWidth * 4);
        }
        wl_shm_buffer_end_access(buffer);
        const std::vector<Damage> sent =
            copied ? damage : std::vector<Damage>{{0, 0, kWidth, kHeight}};
        if (w.imageCopy) {
            ext_image_copy_capture_frame_v1_send_transform(w.frame, transform);
            for (const Damage& d : sent) {
                ext_image_copy_capture_frame_v1_send_damage(w.frame, d.x, d.y, d.width, d.height);
            }
            ext_image_copy_capture_frame_v1_send_ready(w.frame);
            ++imageCopyFrames;
        } else {
            zwlr_screencopy_frame_v1_send_flags(
                w.frame, yInverted ? ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT : 0);
            for (const Damage& d : sent) {
                zwlr_screencopy_frame_v1_send_damage(
                    w.frame, static_cast<std::uint32_t>(d.x), static_cast<std::uint32_t>(d.y),
                    static_cast<std::uint32_t>(d.width), static_cast<std::uint32_t>(d.height));
            }
            zwlr_screencopy_frame_v1_send_ready(w.frame, 0, 0, 0);
            ++screencopyFrames;
        }
        damage.clear();
        copied = true;
    }

    // With the mutex held: a copy asked for now, or once the output changes.
    void request(const Waiting& w) {
        if (!copied || !damage.empty()) {
            copy(w);
        } else {
            waiting.push_back(w);
        }
    }

    void forget(wl_resource* frame) {
        std::lock_guard lock(mutex);
        waiting.erase(std::remove_if(waiting.begin(), waiting.end(),
                                     [&](const Waiting& w) { return w.frame == frame; }),
                      waiting.end());
    }
};

namespace {

using State = CaptureCompositor::State;

State* StateOf(wl_resource* resource) {
    return static_cast<State*>(wl_resource_get_user_data(resource));
}

void DestroyResource(wl_client*, wl_resource* resource) {
    wl_resource_destroy(resource);
}

void ForgetFrame(wl_resource* frame) {
    StateOf(frame)->forget(frame);
}

// ---- wl_output

void BindOutput(wl_client* client, void* data, std::uint32_t version, std::uint32_t id) {
    State* state = static_cast<State*>(data);
    std::unique_lock lock(state->mutex);
    const auto transform = static_cast<std::int32_t>(state->transform);
    lock.unlock();
    wl_resource* output = wl_resource_create(client, &wl_output_interface,
                                             static_cast<int>(std::min(version, 4u)), id);
    static const struct wl_output_interface implementation { DestroyResource };
    wl_resource_set_implementation(output, &implementation, nullptr, nullptr);
    wl_output_send_geometry(output, 0, 0, 0, 0, WL_OUTPUT_SUBPIXEL_UNKNOWN, "Kestrove", "Stand-in",
                            transform);
    wl_output_send_mode(output, WL_OUTPUT_MODE_CURRENT, CaptureCompositor::kWidth,
                        CaptureCompositor::kHeight, 60000);
    if (wl_resource_get_version(output) >= WL_OUTPUT_SCALE_SINCE_VERSION) {
        wl_output_send_scale(output, 1);
    }
    if (wl_resource_get_version(output) >= WL_OUTPUT_NAME_SINCE_VERSION) {
        wl_output_send_name(output, CaptureCompositor::kOutputName);
    }
    if (wl_resource_get_version(output) >= WL_OUTPUT_DONE_SINCE_VERSION) {
        wl_output_send_done(output);
    }
}

// ---- wlr-screencopy

void ScreencopyCopy(wl_client*, wl_resource* frame, wl_resource* buffer) {
    State* state = StateOf(frame);
    std::lock_guard lock(state->mutex);
    state->copy(Waiting{frame, buffer, false});
}

void ScreencopyCopyWithDamage(wl_client*, wl_resource* frame, wl_resource* buffer) {
    State* state = StateOf(frame);
    std::lock_guard lock(state->mutex);
    state->request(Waiting{frame, buffer, false});
}

void CaptureOutput(wl_client* client, wl_resource* manager, std::uint32_t id, std::int32_t,
                   wl_resource*) {
    static const struct zwlr_screencopy_frame_v1_interface implementation {
        ScreencopyCopy, DestroyResource, ScreencopyCopyWithDamage
    };
    wl_resource* frame = wl_resource_create(client, &zwlr_screencopy_frame_v1_interface,
                                            wl_resource_get_version(manager), id);
    wl_resource_set_implementation(frame, &implementation, StateOf(manager), ForgetFrame);
    zwlr_screencopy_frame_v1_send_buffer(frame, WL_SHM_FORMAT_XRGB8888, CaptureCompositor::kWidth,
                                         CaptureCompositor::kHeight, CaptureCompositor::kWidth * 4);
    if (wl_resource_get_version(frame) >= ZWLR_SCREENCOPY_FRAME_V1_BUFFER_DONE_SINCE_VERSION) {
        zwlr_screencopy_frame_v1_send_buffer_done(frame);
    }
}

void CaptureOutputRegion(wl_client* client, wl_resource* manager, std::uint32_t id,
                         std::int32_t overlay, wl_resource* output, std::int32_t, std::int32_t,
                         std::int32_t, std::int32_t) {
    CaptureOutput(client, manager, id, overlay, output);
}

void BindScreencopy(wl_client* client, void* data, std::uint32_t version, std::uint32_t id) {
    static const struct zwlr_screencopy_manager_v1_interface implementation {
        CaptureOutput, CaptureOutputRegion, DestroyResource
    };
    wl_resource* manager = wl_resource_create(client, &zwlr_screencopy_manager_v1_interface,
                                              static_cast<int>(std::min(version, 3u)), id);
    wl_resource_set_implementation(manager, &implementation, data, nullptr);
}

// ---- ext-image-capture-source and ext-image-copy-capture

void CreateSource(wl_client* client, wl_resource* manager, std::uint32_t id, wl_resource*) {
    static const struct ext_image_capture_source_v1_interface implementation { DestroyResource };
    wl_resource* source = wl_resource_create(client, &ext_image_capture_source_v1_interface, 1, id);
    wl_resource_set_implementation(source, &implementation, StateOf(manager), nullptr);
}

void BindOutputSources(wl_client* client, void* data, std::uint32_t, std::uint32_t id) {
    static const struct ext_output_image_capture_source_manager_v1_interface implementation {
        CreateSource, DestroyResource
    };
    wl_resource* manager =
        wl_resource_create(client, &ext_output_image_capture_source_manager_v1_interface, 1, id);
    wl_resource_set_implementation(manager, &implementation, data, nullptr);
}

// An ext frame's buffer until it is captured.
struct ImageCopyFrame {
    State* state;
    wl_resource* buffer = nullptr;
};

ImageCopyFrame* FrameOf(wl_resource* frame) {
    return static_cast<ImageCopyFrame*>(wl_resource_get_user_data(frame));
}

void AttachBuffer(wl_client*, wl_resource* frame, wl_resource* buffer) {
    FrameOf(frame)->buffer = buffer;
}

void DamageBuffer(wl_client*, wl_resource*, std::int32_t, std::int32_t, std::int32_t,
                  std::int32_t) {}

void Capture(wl_client*, wl_resource* frame) {
    ImageCopyFrame* data = FrameOf(frame);
    std::lock_guard lock(data->state->mutex);
    data->state->request(Waiting{frame, data->buffer, true});
}

void DestroyImageCopyFrame(wl_resource* frame) {
    ImageCopyFrame* data = FrameOf(frame);
    data->state->forget(frame);
    delete data;
}

void CreateFrame(wl_client* client, wl_resource* session, std::uint32_t id) {
    static const struct ext_image_copy_capture_frame_v1_interface implementation {
        DestroyResource, AttachBuffer, DamageBuffer, Capture
    };
    wl_resource* frame =
        wl_resource_create(client, &ext_image_copy_capture_frame_v1_interface, 1, id);
    wl_resource_set_implementation(frame, &implementation, new ImageCopyFrame{StateOf(session)},
                                   DestroyImageCopyFrame);
}

void CreateSession(wl_client* client, wl_resource* manager, std::uint32_t id, wl_resource*,
                   std::uint32_t) {
    static const struct ext_image_copy_capture_session_v1_interface implementation {
        CreateFrame, DestroyResource
    };
    wl_resource* session =
        wl_resource_create(client, &ext_image_copy_capture_session_v1_interface, 1, id);
    wl_resource_set_implementation(session, &implementation, StateOf(manager), nullptr);
    ext_image_copy_capture_session_v1_send_buffer_size(session, CaptureCompositor::kWidth,
                                                       CaptureCompositor::kHeight);
    ext_image_copy_capture_session_v1_send_shm_format(session, WL_SHM_FORMAT_XRGB8888);
    ext_image_copy_capture_session_v1_send_done(session);
}

void CreatePointerCursorSession(wl_client*, wl_resource* manager, std::uint32_t, wl_resource*,
                                wl_resource*) {
    wl_resource_post_error(manager, 0, "no cursor sessions here");
}

void BindImageCopy(wl_client* client, void* data, std::uint32_t, std::uint32_t id) {
    static const struct ext_image_copy_capture_manager_v1_interface implementation {
        CreateSession, CreatePointerCursorSession, DestroyResource
    };
    wl_resource* manager =
        wl_resource_create(client, &ext_image_copy_capture_manager_v1_interface, 1, id);
    wl_resource_set_implementation(manager, &implementation, data, nullptr);
}

int OnWake(int fd, std::uint32_t, void* data) {
    State* state = static_cast<State*>(data);
    char byte = 0;
    while (read(fd, &byte, 1) == 1) {
        if (byte == 'q') {
            wl_display_terminate(state->display);
            continue;
        }
        if (byte == 'r') {
            // As a real compositor does, captures of the gone output fail.
            wl_global_destroy(state->output);
            std::lock_guard lock(state->mutex);
            for (const Waiting& w : state->waiting) {
                if (w.imageCopy) {
                    ext_image_copy_capture_frame_v1_send_failed(
                        w.frame, EXT_IMAGE_COPY_CAPTURE_FRAME_V1_FAILURE_REASON_STOPPED);
                } else {
                    zwlr_screencopy_frame_v1_send_failed(w.frame);
                }
            }
            state->waiting.clear();
            continue;
        }
        if (byte == 'p') {
            state->output =
                wl_global_create(state->display, &wl_output_interface, 4, state, BindOutput);
            std::lock_guard lock(state->mutex);
            state->copied = false; // a new output's first copy is answered at once
            continue;
        }
        std::lock_guard lock(state->mutex);
        std::vector<Waiting> waiting;
        waiting.swap(state->waiting);
        for (const Waiting& w : waiting) {
            state->copy(w);
        }
    }
    return 0;
}

} // namespace

CaptureCompositor::CaptureCompositor(CaptureProtocols protocols, std::uint32_t colour)
    : m_state(std::make_unique<State>()) {
    State& state = *m_state;
    state.protocols = protocols;
    std::fill(state.pixels.begin(), state.pixels.end(), colour);
    state.display = wl_display_create();
    const char* socket =
        state.display != nullptr ? wl_display_add_socket_auto(state.display) : nullptr;
    if (socket == nullptr || pipe2(state.wake, O_NONBLOCK | O_CLOEXEC) != 0) {
        if (state.display != nullptr) {
            wl_display_destroy(state.display);
        }
        throw std::runtime_error("the stand-in compositor cannot listen");
    }
    state.socket = socket;
    wl_display_init_shm(state.display);
    state.output = wl_global_create(state.display, &wl_output_interface, 4, &state, BindOutput);
    if (protocols == CaptureProtocols::Screencopy || protocols == CaptureProtocols::Both) {
        wl_global_create(state.display, &zwlr_screencopy_manager_v1_interface, 3, &state,
                         BindScreencopy);
    }
    if (protocols == CaptureProtocols::ImageCopy || protocols == CaptureProtocols::Both) {
        wl_global_create(state.display, &ext_output_image_capture_source_manager_v1_interface, 1,
                         &state, BindOutputSources);
        wl_global_create(state.display, &ext_image_copy_capture_manager_v1_interface, 1, &state,
                         BindImageCopy);
    }
    state.wakeSource = wl_event_loop_add_fd(wl_display_get_event_loop(state.display), state.wake[0],
                                            WL_EVENT_READABLE, OnWake, &state);
    state.thread = std::thread([&state] { wl_display_run(state.display); });
}

CaptureCompositor::~CaptureCompositor() {
    State& state = *m_state;
    const char quit = 'q';
    if (write(state.wake[1], &quit, 1) == 1) {
        state.thread.join();
    } else {
        state.thread.detach();
    }
    wl_display_destroy_clients(state.display);
    wl_event_source_remove(state.wakeSource);
    wl_display_destroy(state.display);
    close(state.wake[0]);
    close(state.wake[1]);
}

std::string CaptureCompositor::socket() const {
    return m_state->socket;
}

void CaptureCompositor::paint(int x, int y, int width, int height, std::uint32_t colour) {
    {
        std::lock_guard lock(m_state->mutex);
        for (int row = y; row < y + height; ++row) {
            std::fill_n(&m_state->pixels[static_cast<std::size_t>(row * kWidth + x)], width,
                        colour);
        }
        m_state->damage.push_back(Damage{x, y, width, height});
    }
    const char change = 'c';
    if (write(m_state->wake[1], &change, 1) != 1) {
        throw std::runtime_error("the stand-in compositor is gone");
    }
}

void CaptureCompositor::unplug() {
    const char unplug = 'r';
    if (write(m_state->wake[1], &unplug, 1) != 1) {
        throw std::runtime_error("the stand-in compositor is gone");
    }
}

void CaptureCompositor::replug() {
    const char replug = 'p';
    if (write(m_state->wake[1], &replug, 1) != 1) {
        throw std::runtime_error("the stand-in compositor is gone");
    }
}

void CaptureCompositor::storeTurned(std::uint32_t transform, bool yInverted) {
    std::lock_guard lock(m_state->mutex);
    m_state->transform = transform;
    m_state->yInverted = yInverted;
}

int CaptureCompositor::screencopyFrames() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->screencopyFrames;
}

int CaptureCompositor::imageCopyFrames() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->imageCopyFrames;
}

} // namespace kestrove::e2e
