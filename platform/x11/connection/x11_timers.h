// Window timers (SetTimer/KillTimer) for an event loop that waits on the X
// connection with a deadline.
#pragma once

#include "platform/types.h"

#include <chrono>
#include <optional>
#include <vector>

namespace kestrove::x11 {

using Clock = std::chrono::steady_clock;

class TimerQueue {
public:
    struct Due {
        WindowHandle hwnd;
        TimerId id;
    };

    // Starts or restarts timer `id` of `hwnd`; the first tick is one period away.
    void set(WindowHandle hwnd, TimerId id, std::chrono::milliseconds period,
             Clock::time_point now);
    void kill(WindowHandle hwnd, TimerId id);
    void killAll(WindowHandle hwnd);

    std::optional<Clock::time_point> nextDeadline() const;
    // The timers due at `now`, each rescheduled one period on; a timer that
    // fell behind fires once, not once per missed period.
    std::vector<Due> takeDue(Clock::time_point now);

private:
    struct Timer {
        WindowHandle hwnd;
        TimerId id;
        std::chrono::milliseconds period;
        Clock::time_point next;
    };
    std::vector<Timer> m_timers;
};

} // namespace kestrove::x11
