// Monitors captured through the desktop's ScreenCast portal and PipeWire: the
// route on GNOME, KDE and most desktops that offer no capture protocol to
// ordinary Wayland clients. Everything of ours runs on the caller's thread:
// PipeWire's loop and the session bus are both behind waitDescriptor().
// (libpipewire 0.3 starts a data-loop thread of its own in every context; it
// hands the stream's events to this thread's loop and runs none of our code.)
#pragma once

#include "platform/compositor/frame_capture.h"

#include <memory>
#include <string>

namespace kestrove::compositor {

// Asks the portal for every monitor; the desktop shows its dialog and this
// waits for the answer. nullptr with `reason` set when there is no portal,
// the user refuses, or PipeWire cannot be reached.
std::unique_ptr<FrameCapture> createPortalFrameCapture(std::string& reason);

} // namespace kestrove::compositor
