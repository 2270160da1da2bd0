#include "tests/harness/xvfb_server.h"

#include <X11/Xlib.h>

#include <stdexcept>
#include <thread>

namespace kestrove::e2e {

XvfbServer::XvfbServer(int width, int height) {
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    // The server writes its display number on fd 1 once it accepts connections.
    m_process = std::make_unique<ChildProcess>(
        std::vector<std::string>{"Xvfb", "-displayfd", "1", "-screen", "0", screen, "-nolisten",
                                 "tcp", "-noreset"},
        std::vector<EnvironmentChange>{});
    const auto number = m_process->readLine(std::chrono::seconds(20));
    if (!number || number->empty()) {
        throw std::runtime_error("Xvfb did not start: " + m_process->standardError());
    }
    m_display = ":" + *number;

    // Belt and braces: the first connection must succeed within the bound.
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    for (;;) {
        if (Display* connection = XOpenDisplay(m_display.c_str())) {
            XCloseDisplay(connection);
            return;
        }
        if (Clock::now() >= deadline) {
            throw std::runtime_error("Xvfb " + m_display + " accepts no connection");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

} // namespace kestrove::e2e
