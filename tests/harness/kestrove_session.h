// One end-to-end run: a private Xvfb, the monitor fixture with the given
// monitors, and the real Kestrove executable on that display, its mirror
// window found and shown. Everything is ended by the destructor, in reverse
// order, also when a test fails half-way.
#pragma once

#include "tests/harness/child_process.h"
#include "tests/harness/monitor_layout.h"
#include "tests/harness/x_client.h"
#include "tests/harness/xvfb_server.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kestrove::e2e {

// Two monitors of different sizes and aspect ratios, well clear of the
// screen's top-left corner where the mirror window opens (a mirror that
// overlapped its source would show itself) and of its bottom-left corner
// where the pointer waits: a 16:9 primary and a 3:4 portrait.
std::vector<MonitorGeometry> TwoMonitors();

class KestroveSession {
public:
    // Throws std::runtime_error (with what the programs said) when any part
    // does not come up within the bounded waits. `executable`: another build
    // or a changed copy of the program; empty for the one under test.
    // `beforeStart` runs with the server's display name once the monitors
    // are there and before Kestrove starts, to set the desktop up.
    explicit KestroveSession(std::vector<MonitorGeometry> monitors, int screenWidth = 2560,
                             int screenHeight = 1600, const std::string& executable = {},
                             const std::function<void(const std::string&)>& beforeStart = {});

    XClient& x() { return *m_client; }
    const std::string& display() const { return m_server->display(); }
    ChildProcess& kestrove() { return *m_kestrove; }
    const std::vector<MonitorGeometry>& monitors() const { return m_monitors; }
    Window mirror() const { return m_mirror; }

    std::string title() { return m_client->name(m_mirror); }
    WindowGeometry geometry();
    bool sizeIs(int width, int height) {
        const WindowGeometry now = geometry();
        return now.width == width && now.height == height;
    }
    void pressKey(KeySym key, const std::vector<KeySym>& modifiers = {}) {
        m_client->pressKey(m_mirror, key, modifiers);
    }

    // "" when the mirror shows the pattern of monitor `index` (of the list
    // given to the constructor), scaled to fill the window; otherwise what
    // differs, for the failure message.
    std::string patternMismatch(int index);
    // Waits (bounded) until the mirror shows monitor `index`; the last
    // mismatch when it never does.
    std::string waitForPattern(int index);

private:
    std::vector<MonitorGeometry> m_monitors;
    std::unique_ptr<XvfbServer> m_server;
    std::unique_ptr<XClient> m_client;
    std::unique_ptr<ChildProcess> m_fixture;
    std::unique_ptr<ChildProcess> m_kestrove;
    Window m_mirror = 0;
};

// Kestrove's mirror window on `x`'s display once it is shown: viewable and
// titled; nullopt before.
std::optional<Window> FindMirrorWindow(XClient& x);

// The client height that keeps the monitor's aspect at `width`: the
// monitor's height over its width, times the width, truncated.
int FittedHeight(const MonitorGeometry& monitor, int width);

// "" when `image` shows pattern `index` scaled to fill it.
std::string PatternMismatch(const Image& image, int index);

// The path of the executable under test and of the monitor fixture.
std::string KestrovePath();
std::string MonitorFixturePath();

} // namespace kestrove::e2e
