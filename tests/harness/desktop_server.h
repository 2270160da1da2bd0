// A desktop as people run one, for one test: Xorg with the dummy video
// driver and two real outputs (a 1280x800 primary at the left and a
// 1024x768 beside it), a window manager and, where the desktop has one, a
// compositing manager, each waited for until it has taken the screen.
// Everything is ended by the destructor, in reverse order.
#pragma once

#include "tests/harness/child_process.h"
#include "tests/harness/x_client.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace kestrove::e2e {

struct Desktop {
    std::string name; // as test names show it
    std::vector<std::string> windowManager;
    std::vector<std::string> compositor; // empty: none, or the window manager's own
    bool composited = false;             // a compositing manager takes the screen
    // The programs it needs and the Debian packages that hold them.
    std::vector<std::pair<std::string, std::string>> programs;
};

// openbox; openbox with picom repainting the whole screen for any change;
// xfwm4 with its compositor; i3.
const std::vector<Desktop>& RealDesktops();
void PrintTo(const Desktop& desktop, std::ostream* out);

// What this machine lacks to run a desktop (tests skip with it).
class DesktopUnavailable : public std::runtime_error {
    using std::runtime_error::runtime_error;
};

class DesktopServer {
public:
    // The two outputs, root coordinates.
    static constexpr WindowGeometry kLeft{0, 0, 1280, 800};
    static constexpr WindowGeometry kRight{1280, 0, 1024, 768};

    // Throws DesktopUnavailable when Xorg, its dummy driver or the
    // desktop's programs are missing, std::runtime_error when they do not
    // come up in time.
    explicit DesktopServer(const Desktop& desktop);
    ~DesktopServer();

    const std::string& display() const { return m_display; }
    XClient& x() { return *m_client; }
    ChildProcess& server() { return *m_server; }
    // The processes of the window manager and the compositor (nullptr: none).
    ChildProcess& windowManager() { return *m_windowManager; }
    ChildProcess* compositor() { return m_compositor.get(); }

    // Starts Kestrove on this desktop and waits for its mirror window.
    std::unique_ptr<ChildProcess> startKestrove(Window& mirror, const std::string& executable = {});

private:
    std::string m_directory;
    std::string m_display;
    std::unique_ptr<ChildProcess> m_server;
    std::unique_ptr<XClient> m_client;
    std::unique_ptr<ChildProcess> m_windowManager;
    std::unique_ptr<ChildProcess> m_compositor;
};

} // namespace kestrove::e2e
