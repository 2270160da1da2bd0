// GLib's default main context, run from the program's own event loop
// instead of a GLib main loop: the descriptors and the deadline it waits
// for, and one round of whatever is ready. atk-bridge's bus connection lives
// on it.
#pragma once

#include "platform/x11/connection/x11_timers.h"

#include <optional>
#include <vector>

namespace kestrove::x11::a11y {

class GlibContextPump {
public:
    // Takes the context for this thread for the pump's life.
    GlibContextPump();
    ~GlibContextPump();
    GlibContextPump(const GlibContextPump&) = delete;
    GlibContextPump& operator=(const GlibContextPump&) = delete;

    struct Wait {
        std::vector<int> descriptors; // to be readable
        // When the context wants to run again without input: now when
        // something is ready, else its next timeout; nullopt for never.
        std::optional<Clock::time_point> deadline;
    };
    Wait wait() const;
    // Dispatches everything that is ready, without waiting.
    void run();
};

} // namespace kestrove::x11::a11y
