// Monitors captured through the desktop's ScreenCast portal and PipeWire: the
// route on GNOME, KDE and most desktops that offer no capture protocol to
// ordinary Wayland clients. Everything runs on the caller's thread: PipeWire's
// loop and the session bus are both behind waitDescriptor().
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
