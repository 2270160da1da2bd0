// Another program on the test's X server, doing what other clients may do
// to Kestrove's desktop: write root or window properties of any type, format
// and length, plug, move, resize and unplug RandR monitors, unmap and map
// windows as a window manager does, and count the X resources a client holds.
// Monitors it defines live as long as it does. Xlib's headers stay out of
// this one, as out of x_client.h.
#pragma once

#include "tests/harness/monitor_layout.h"
#include "tests/harness/x_client.h"

#include <string>
#include <vector>

namespace kestrove::e2e {

class OtherClient {
public:
    // Throws std::runtime_error when the display cannot be opened.
    explicit OtherClient(const std::string& display);
    ~OtherClient();
    OtherClient(const OtherClient&) = delete;
    OtherClient& operator=(const OtherClient&) = delete;

    Window root() const;

    // Replaces `property` of `window` with `items` of `format` (8, 16 or 32)
    // bits, typed `type` (an atom name such as "CARDINAL").
    void setProperty(Window window, const std::string& property, const std::string& type,
                     int format, const std::vector<long>& items);

    // Defines or replaces the RandR monitor `name` (with no outputs).
    void setMonitor(const std::string& name, const MonitorGeometry& geometry);
    void deleteMonitor(const std::string& name);

    // A window manager's minimise and restore: WM_STATE and the mapping.
    void iconify(Window window);
    void restore(Window window);

    // The X resources (windows, pixmaps, pictures, GCs, ...) held by the
    // client that created `window`; -1 when the server cannot say.
    long resourcesOfOwner(Window window);

private:
    void sync();

    _XDisplay* m_display;
};

} // namespace kestrove::e2e
