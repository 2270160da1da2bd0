#include "platform/x11/connection/x11_timers.h"

#include <algorithm>

namespace kestrove::x11 {

void TimerQueue::set(WindowHandle hwnd, TimerId id, std::chrono::milliseconds period,
                     Clock::time_point now) {
    // A zero period would spin the loop; Windows raises it to its minimum too.
    period = std::max(period, std::chrono::milliseconds{10});
    kill(hwnd, id);
    m_timers.push_back({hwnd, id, period, now + period});
}

void TimerQueue::kill(WindowHandle hwnd, TimerId id) {
    std::erase_if(m_timers, [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
}

void TimerQueue::killAll(WindowHandle hwnd) {
    std::erase_if(m_timers, [&](const Timer& t) { return t.hwnd == hwnd; });
}

std::optional<Clock::time_point> TimerQueue::nextDeadline() const {
    std::optional<Clock::time_point> next;
    for (const Timer& t : m_timers) {
        if (!next || t.next < *next) {
            next = t.next;
        }
    }
    return next;
}

std::vector<TimerQueue::Due> TimerQueue::takeDue(Clock::time_point now) {
    std::vector<Due> due;
    for (Timer& t : m_timers) {
        if (t.next <= now) {
            due.push_back({t.hwnd, t.id});
            t.next += t.period;
            if (t.next <= now) {
                t.next = now + t.period;
            }
        }
    }
    return due;
}

} // namespace kestrove::x11
