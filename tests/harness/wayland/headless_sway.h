// A headless sway with two outputs, run as an unprivileged user (sway refuses
// root) with a private runtime directory, and programs started inside it as
// a user of that desktop would start them. The destructor ends everything.
#pragma once

#include "tests/harness/child_process.h"
#include "tests/harness/wayland/desktop_user.h"
#include "tests/harness/x_client.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrove::e2e {

class HeadlessSway {
public:
    // Why sway cannot run on this machine at all (not installed), or empty.
    static std::string Unavailable();

    // Starts sway with `config` (the two outputs of headless-sway.config in
    // this folder when empty) and waits (bounded) for it and its XWayland;
    // throws std::runtime_error with sway's log when they do not come up.
    explicit HeadlessSway(const std::string& config = {});
    ~HeadlessSway();
    HeadlessSway(const HeadlessSway&) = delete;
    HeadlessSway& operator=(const HeadlessSway&) = delete;

    // A directory the desktop's user owns, for files the test hands over.
    const std::string& directory() const { return m_directory; }
    // The session's XDG_RUNTIME_DIR.
    const std::string& runtimeDirectory() const { return m_runtime; }
    // The compositor's Wayland socket (absolute path), open to this process.
    std::string waylandSocket() const { return m_runtime + "/" + m_socket; }
    // A copy of `path` in directory(), executable by the desktop's user.
    std::string handOver(const std::string& path);
    // XWayland's display, open to this process.
    const std::string& display() const { return m_display; }

    // Runs `argv` as the desktop's user in the session's environment (plus
    // `environment`) and returns its standard output; throws when it fails.
    std::string run(const std::vector<std::string>& argv,
                    const std::vector<std::string>& environment = {});
    // Starts `argv` as the desktop's user in the session's environment; it
    // ends with the returned process.
    std::unique_ptr<ChildProcess> spawn(const std::vector<std::string>& argv);
    // swaymsg with these arguments.
    std::string message(const std::vector<std::string>& arguments);
    // Starts `command` (a shell command line) from sway, as its key
    // bindings would: it gets sway's XWayland.
    void exec(const std::string& command);
    // The desktop's pixels in `area` (layout coordinates), read with grim.
    Image grab(const WindowGeometry& area);
    // All of `output`'s pixels, as the compositor drew them (at its scale).
    Image grabOutput(const std::string& output);
    // The compositor's and its XWayland's processes, for what they cost;
    // -1 for an XWayland not found.
    pid_t swayPid() const { return m_swayPid; }
    pid_t xwaylandPid() const;
    // sway's log so far, for failure messages.
    std::string log() const;

private:
    std::vector<std::string> asUser(const std::vector<std::string>& argv,
                                    const std::vector<std::string>& environment) const;
    std::vector<std::string> sessionEnvironment() const;
    // Notes sway's Wayland and IPC sockets once both are there.
    bool findSockets();

    std::string m_user; // empty: this process's own user
    std::string m_directory;
    std::string m_runtime;
    std::string m_socket;    // WAYLAND_DISPLAY
    std::string m_ipcSocket; // SWAYSOCK
    std::unique_ptr<ChildProcess> m_sway;
    pid_t m_swayPid = -1;
    std::string m_display;
};

} // namespace kestrove::e2e
