// Monitors captured through the desktop's ScreenCast portal and PipeWire: the
// route on GNOME, KDE and most desktops that offer no capture protocol to
// ordinary Wayland clients. Everything of ours runs on the caller's thread:
// PipeWire's loop, the session bus and the portal's time limits are all
// behind waitDescriptor(), and nothing waits for the desktop's dialog.
// (libpipewire 0.3 starts a data-loop thread of its own in every context; it
// hands the stream's events to this thread's loop and runs none of our code.)
#pragma once

#include "platform/compositor/frame_capture.h"

#include <memory>
#include <string>

namespace kestrove::compositor::portal {

// Starts asking the portal for every monitor and returns at once: the
// desktop shows its dialog (over `parentWindow`, "x11:<id in hex>", when
// given) and the answer arrives through dispatch(). nullptr with `reason` set
// only when there is no session bus or PipeWire cannot be set up; everything
// the portal answers later (no portal, a refusal) comes as failure().
std::unique_ptr<FrameCapture> OpenPortalCapture(const std::string& parentWindow,
                                                std::string& reason);

} // namespace kestrove::compositor::portal
