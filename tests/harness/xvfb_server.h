// A private X server for one test: Xvfb on a display number it picks itself
// (-displayfd), so tests running side by side never collide.
#pragma once

#include "tests/harness/child_process.h"

#include <memory>
#include <string>

namespace kestrove::e2e {

class XvfbServer {
public:
    // Throws std::runtime_error when the server does not come up in time.
    XvfbServer(int width, int height);

    const std::string& display() const { return m_display; } // e.g. ":3"
    ChildProcess& process() { return *m_process; }           // to end it under its clients

private:
    std::unique_ptr<ChildProcess> m_process;
    std::string m_display;
};

} // namespace kestrove::e2e
