#include "platform/compositor/wayland/wayland_globals.h"

#include "ext-image-capture-source-v1.h"
#include "ext-image-copy-capture-v1.h"
#include "wlr-screencopy-unstable-v1.h"
#include "xdg-output-unstable-v1.h"

#include <wayland-client.h>

#include <algorithm>
#include <cstring>
#include <limits>

namespace kestrove::compositor::wayland {

namespace {

// Versions this code knows; the compositor may offer less.
constexpr std::uint32_t kOutputVersion = 4;     // 4 brought the connector name
constexpr std::uint32_t kXdgOutputVersion = 3;  // 2 brought the name
constexpr std::uint32_t kScreencopyVersion = 3; // 2 brought copy_with_damage

void OnGeometry(void* data, wl_output*, std::int32_t x, std::int32_t y, std::int32_t, std::int32_t,
                std::int32_t, const char*, const char*, std::int32_t transform) {
    auto* state = static_cast<OutputState*>(data);
    state->x = x;
    state->y = y;
    // An unknown value leaves the output as it was: its frames may then
    // show turned, but nothing is read out of place.
    state->transform =
        TransformFromProtocol(static_cast<std::uint32_t>(transform)).value_or(state->transform);
}

void OnMode(void* data, wl_output*, std::uint32_t flags, std::int32_t width, std::int32_t height,
            std::int32_t) {
    if ((flags & WL_OUTPUT_MODE_CURRENT) != 0) {
        auto* state = static_cast<OutputState*>(data);
        state->modeWidth = width;
        state->modeHeight = height;
    }
}

void OnDone(void* data, wl_output*) {
    ++*static_cast<OutputState*>(data)->generation;
}

void OnScale(void* data, wl_output*, std::int32_t factor) {
    static_cast<OutputState*>(data)->scale = std::max(1, factor);
}

void OnName(void* data, wl_output*, const char* name) {
    static_cast<OutputState*>(data)->name = name;
}

void OnDescription(void*, wl_output*, const char*) {}

// The compositor's values in 64 bits: a place near the end of the range plus
// a size must not wrap. What does not fit the layout is no place at all.
Rect LayoutRect(std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height) {
    constexpr std::int64_t kLow = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t kHigh = std::numeric_limits<std::int32_t>::max();
    if (width <= 0 || height <= 0 || x < kLow || y < kLow || x + width > kHigh ||
        y + height > kHigh) {
        return Rect{};
    }
    return Rect{static_cast<std::int32_t>(x), static_cast<std::int32_t>(y),
                static_cast<std::int32_t>(x + width), static_cast<std::int32_t>(y + height)};
}

constexpr wl_output_listener kOutputListener{OnGeometry, OnMode, OnDone,
                                             OnScale,    OnName, OnDescription};

void OnLogicalPosition(void* data, zxdg_output_v1*, std::int32_t x, std::int32_t y) {
    auto* state = static_cast<OutputState*>(data);
    state->hasLogical = true;
    state->logicalX = x;
    state->logicalY = y;
}

void OnLogicalSize(void* data, zxdg_output_v1*, std::int32_t width, std::int32_t height) {
    auto* state = static_cast<OutputState*>(data);
    state->hasLogical = true;
    state->logicalWidth = width;
    state->logicalHeight = height;
}

void OnXdgDone(void* data, zxdg_output_v1*) {
    ++*static_cast<OutputState*>(data)->generation;
}

void OnXdgName(void* data, zxdg_output_v1*, const char* name) {
    static_cast<OutputState*>(data)->xdgName = name;
}

void OnXdgDescription(void*, zxdg_output_v1*, const char*) {}

constexpr zxdg_output_v1_listener kXdgOutputListener{OnLogicalPosition, OnLogicalSize, OnXdgDone,
                                                     OnXdgName, OnXdgDescription};

// Tells the compositor, where it can be told, that the output is no longer
// used: otherwise it keeps the object of a gone output for us.
void ReleaseOutput(const OutputState& state) {
    if (state.xdgOutput != nullptr) {
        zxdg_output_v1_destroy(state.xdgOutput);
    }
    if (wl_output_get_version(state.output) >= WL_OUTPUT_RELEASE_SINCE_VERSION) {
        wl_output_release(state.output);
    } else {
        wl_output_destroy(state.output);
    }
}

} // namespace

Output OutputState::describe() const {
    Output described;
    described.name = !name.empty() ? name : xdgName;
    if (hasLogical && logicalWidth > 0 && logicalHeight > 0) {
        described.rect = LayoutRect(logicalX, logicalY, logicalWidth, logicalHeight);
    } else {
        const bool swapped = SwapsAxes(transform);
        described.rect = LayoutRect(x, y, (swapped ? modeHeight : modeWidth) / scale,
                                    (swapped ? modeWidth : modeHeight) / scale);
    }
    return described;
}

WaylandGlobals::WaylandGlobals(wl_display* display) : m_registry(wl_display_get_registry(display)) {
    static const wl_registry_listener listener{onGlobal, onGlobalRemove};
    wl_registry_add_listener(m_registry, &listener, this);
    // The first round trip announces the globals, the second what the bound
    // outputs say about themselves.
    wl_display_roundtrip(display);
    wl_display_roundtrip(display);
}

WaylandGlobals::~WaylandGlobals() {
    for (const auto& state : m_outputs) {
        ReleaseOutput(*state);
    }
    if (m_outputSources != nullptr) {
        ext_output_image_capture_source_manager_v1_destroy(m_outputSources);
    }
    if (m_imageCopy != nullptr) {
        ext_image_copy_capture_manager_v1_destroy(m_imageCopy);
    }
    if (m_screencopy != nullptr) {
        zwlr_screencopy_manager_v1_destroy(m_screencopy);
    }
    if (m_xdgOutputs != nullptr) {
        zxdg_output_manager_v1_destroy(m_xdgOutputs);
    }
    if (m_shm != nullptr) {
        wl_shm_destroy(m_shm);
    }
    wl_registry_destroy(m_registry);
}

void WaylandGlobals::onGlobal(void* data, wl_registry* registry, std::uint32_t name,
                              const char* interface, std::uint32_t version) {
    auto* self = static_cast<WaylandGlobals*>(data);
    auto bind = [&](const wl_interface* wanted, std::uint32_t known) {
        return wl_registry_bind(registry, name, wanted, std::min(version, known));
    };
    if (std::strcmp(interface, wl_output_interface.name) == 0) {
        self->addOutput(name, version);
    } else if (std::strcmp(interface, wl_shm_interface.name) == 0 && self->m_shm == nullptr) {
        self->m_shm = static_cast<wl_shm*>(bind(&wl_shm_interface, 1));
    } else if (std::strcmp(interface, zxdg_output_manager_v1_interface.name) == 0 &&
               self->m_xdgOutputs == nullptr) {
        self->m_xdgOutputs = static_cast<zxdg_output_manager_v1*>(
            bind(&zxdg_output_manager_v1_interface, kXdgOutputVersion));
        for (const auto& state : self->m_outputs) {
            self->watchXdgOutput(*state);
        }
    } else if (std::strcmp(interface, zwlr_screencopy_manager_v1_interface.name) == 0 &&
               self->m_screencopy == nullptr) {
        self->m_screencopyVersion = std::min(version, kScreencopyVersion);
        self->m_screencopy = static_cast<zwlr_screencopy_manager_v1*>(
            bind(&zwlr_screencopy_manager_v1_interface, kScreencopyVersion));
    } else if (std::strcmp(interface, ext_image_copy_capture_manager_v1_interface.name) == 0 &&
               self->m_imageCopy == nullptr) {
        self->m_imageCopy = static_cast<ext_image_copy_capture_manager_v1*>(
            bind(&ext_image_copy_capture_manager_v1_interface, 1));
    } else if (std::strcmp(interface, ext_output_image_capture_source_manager_v1_interface.name) ==
                   0 &&
               self->m_outputSources == nullptr) {
        self->m_outputSources = static_cast<ext_output_image_capture_source_manager_v1*>(
            bind(&ext_output_image_capture_source_manager_v1_interface, 1));
    }
}

void WaylandGlobals::onGlobalRemove(void* data, wl_registry*, std::uint32_t name) {
    auto* self = static_cast<WaylandGlobals*>(data);
    auto found = std::find_if(self->m_outputs.begin(), self->m_outputs.end(),
                              [&](const auto& state) { return state->globalName == name; });
    if (found == self->m_outputs.end()) {
        return;
    }
    ReleaseOutput(**found);
    self->m_outputs.erase(found);
    ++self->m_generation;
}

void WaylandGlobals::addOutput(std::uint32_t name, std::uint32_t version) {
    auto state = std::make_unique<OutputState>();
    state->globalName = name;
    state->generation = &m_generation;
    state->output = static_cast<wl_output*>(wl_registry_bind(m_registry, name, &wl_output_interface,
                                                             std::min(version, kOutputVersion)));
    wl_output_add_listener(state->output, &kOutputListener, state.get());
    watchXdgOutput(*state);
    m_outputs.push_back(std::move(state));
    ++m_generation;
}

void WaylandGlobals::watchXdgOutput(OutputState& state) {
    if (m_xdgOutputs == nullptr || state.xdgOutput != nullptr) {
        return;
    }
    state.xdgOutput = zxdg_output_manager_v1_get_xdg_output(m_xdgOutputs, state.output);
    zxdg_output_v1_add_listener(state.xdgOutput, &kXdgOutputListener, &state);
}

} // namespace kestrove::compositor::wayland
