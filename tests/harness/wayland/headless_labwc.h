// A headless labwc (it can turn its outputs off and on, which sway 1.7
// cannot) with two outputs, run from a minimal Debian trixie root by
// labwc_root.sh, as the desktop's user; programs of this machine are its
// clients, wlr-randr and grim of the root talk to it. The destructor ends it.
#pragma once

#include "tests/harness/child_process.h"
#include "tests/harness/x_client.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace kestrove::e2e {

class HeadlessLabwc {
public:
    // There is no root yet and the archive to make one cannot be reached.
    struct Unreachable : std::runtime_error {
        using std::runtime_error::runtime_error;
    };

    // Why no root can be made on this machine (not root, a tool missing), or empty.
    static std::string Unavailable();

    // Makes the root when there is none (minutes), starts labwc with
    // HEADLESS-1 1280x720 at 0,0 and HEADLESS-2 800x600 at 1280,0 and waits
    // (bounded) for its XWayland; throws Unreachable, or std::runtime_error
    // with what went wrong.
    HeadlessLabwc();
    ~HeadlessLabwc();
    HeadlessLabwc(const HeadlessLabwc&) = delete;
    HeadlessLabwc& operator=(const HeadlessLabwc&) = delete;

    // A copy of `path` in the session's directory, executable by the desktop's user.
    std::string handOver(const std::string& path);
    // XWayland's display, open to this process.
    const std::string& display() const { return m_display; }
    // wlr-randr with these arguments; its standard output.
    std::string randr(const std::vector<std::string>& arguments);
    // The desktop's pixels in `area` (layout coordinates), read with grim.
    Image grab(const WindowGeometry& area);
    // Starts `argv` on this machine as the desktop's user, a client of the
    // session (Wayland and X); it ends with the returned process.
    std::unique_ptr<ChildProcess> spawn(const std::vector<std::string>& argv);
    // What labwc and the root's making said so far, for failure messages.
    std::string log() const;

private:
    std::vector<std::string> sessionEnvironment() const;
    // `argv` as the desktop's user, on this machine or in labwc's root.
    std::vector<std::string> asUser(const std::vector<std::string>& argv, bool inRoot) const;

    std::string m_user; // empty: this process's own user
    std::string m_directory;
    std::unique_ptr<ChildProcess> m_labwc; // labwc_root.sh
    std::string m_labwcPid;
    std::string m_display;
};

} // namespace kestrove::e2e
