// A RandR monitor as a test client defines it: the monitor lives as long as
// the client's connection does.
#pragma once

#include "tests/harness/monitor_layout.h"

#include <X11/Xlib.h>

#include <string>

namespace kestrove::e2e {

// Defines or replaces the monitor `name` at `geometry` (96 dots per inch) on
// the root window, driving `output` (None: no output). Sends the request;
// the caller syncs.
void SetRandrMonitor(Display* display, const std::string& name, const MonitorGeometry& geometry,
                     XID output);

} // namespace kestrove::e2e
