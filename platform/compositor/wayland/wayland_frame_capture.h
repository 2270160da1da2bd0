// Whole outputs captured from a wlroots-family compositor: the connection,
// the outputs, and a stream of frames of the selected one.
#pragma once

#include "platform/compositor/frame_capture.h"

#include <memory>
#include <string>

namespace kestrove::compositor::wayland {

// Connects to the session's compositor ($WAYLAND_DISPLAY) and checks that it
// offers a way to capture outputs into shared memory: ext-image-copy-capture-v1
// with output sources where offered, else wlr-screencopy-unstable-v1. Returns
// nullptr and says why in `reason` when there is no such route (not a Wayland
// session, no compositor to talk to, neither protocol offered).
std::unique_ptr<FrameCapture> OpenWaylandCapture(std::string& reason);

} // namespace kestrove::compositor::wayland
