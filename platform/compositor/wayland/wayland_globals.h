// The compositor's globals that capturing needs, and its outputs with their
// names and places in the layout, kept up to date as outputs come and go.
#pragma once

#include "platform/compositor/frame_capture.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct wl_display;
struct wl_registry;
struct wl_output;
struct wl_shm;
struct zxdg_output_manager_v1;
struct zxdg_output_v1;
struct zwlr_screencopy_manager_v1;
struct ext_image_copy_capture_manager_v1;
struct ext_output_image_capture_source_manager_v1;

namespace kestrove::compositor::wayland {

struct OutputState {
    std::uint32_t globalName = 0;
    wl_output* output = nullptr;
    zxdg_output_v1* xdgOutput = nullptr;
    std::uint64_t* generation = nullptr; // the owner's, bumped on each change
    // From wl_output, as sent.
    std::string name;
    int x = 0;
    int y = 0;
    int modeWidth = 0;
    int modeHeight = 0;
    int scale = 1;
    FrameTransform transform = FrameTransform::Normal; // a quarter turn swaps width and height
    // From xdg-output, where offered: the layout as the compositor sees it.
    std::string xdgName;
    bool hasLogical = false;
    int logicalX = 0;
    int logicalY = 0;
    int logicalWidth = 0;
    int logicalHeight = 0;

    Output describe() const;
};

class WaylandGlobals {
public:
    // Binds what the compositor offers; two round trips so that every output
    // has described itself.
    explicit WaylandGlobals(wl_display* display);
    ~WaylandGlobals();
    WaylandGlobals(const WaylandGlobals&) = delete;
    WaylandGlobals& operator=(const WaylandGlobals&) = delete;

    wl_shm* shm() const { return m_shm; }
    zwlr_screencopy_manager_v1* screencopy() const { return m_screencopy; }
    std::uint32_t screencopyVersion() const { return m_screencopyVersion; }
    ext_image_copy_capture_manager_v1* imageCopy() const { return m_imageCopy; }
    ext_output_image_capture_source_manager_v1* outputSources() const { return m_outputSources; }

    const std::vector<std::unique_ptr<OutputState>>& outputs() const { return m_outputs; }
    // Bumped whenever an output comes, goes or changes.
    std::uint64_t outputsGeneration() const { return m_generation; }

private:
    static void onGlobal(void* data, wl_registry* registry, std::uint32_t name,
                         const char* interface, std::uint32_t version);
    static void onGlobalRemove(void* data, wl_registry* registry, std::uint32_t name);
    void addOutput(std::uint32_t name, std::uint32_t version);
    void watchXdgOutput(OutputState& state);

    wl_registry* m_registry = nullptr;
    wl_shm* m_shm = nullptr;
    zxdg_output_manager_v1* m_xdgOutputs = nullptr;
    zwlr_screencopy_manager_v1* m_screencopy = nullptr;
    std::uint32_t m_screencopyVersion = 0;
    ext_image_copy_capture_manager_v1* m_imageCopy = nullptr;
    ext_output_image_capture_source_manager_v1* m_outputSources = nullptr;
    std::vector<std::unique_ptr<OutputState>> m_outputs;
    std::uint64_t m_generation = 0;
};

} // namespace kestrove::compositor::wayland
