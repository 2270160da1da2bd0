// The backend's one event loop: it waits on the X connection, and on the
// descriptors of whatever else feeds the program (a compositor's frames),
// until the next deadline, then hands each event to the parts of the
// backend in turn.
#pragma once

#include "platform/x11/connection/x11_timers.h"

#include <X11/Xlib.h>

#include <functional>
#include <optional>
#include <vector>

namespace kestrove::x11 {

// A part of the backend that takes events, keeps deadlines or has
// descriptors of its own to wait on.
class EventTarget {
public:
    // True when the event was this target's; later targets do not see it.
    virtual bool handleEvent(XEvent& event) = 0;
    virtual std::optional<Clock::time_point> nextDeadline() const { return std::nullopt; }
    // Runs what is due at `now` (timers, ends of resizes).
    virtual void fireDue(Clock::time_point) {}
    virtual std::vector<int> waitDescriptors() const { return {}; }
    // One of the waitDescriptors() became readable.
    virtual void dispatchDescriptors() {}

protected:
    ~EventTarget() = default;
};

class EventLoop {
public:
    explicit EventLoop(Display* display) : m_display(display) {}

    // Targets see events in the order they were added.
    void addTarget(EventTarget& target) { m_targets.push_back(&target); }

    // One step: what is due, then one event, or a wait until the next event,
    // descriptor or deadline.
    void pumpOnce();

    // Waits until an event that `matches` arrives and takes it out of the
    // queue; other events stay queued in their order. Nothing at `deadline`.
    // The wait sleeps on the connection: it never spins while other events
    // are queued.
    std::optional<XEvent> waitForEvent(const std::function<bool(const XEvent&)>& matches,
                                       Clock::time_point deadline);

private:
    // Sleeps until the connection or a target's descriptor is readable, or
    // `deadline`, and dispatches the descriptors that are.
    void wait(Clock::time_point deadline);

    Display* m_display;
    std::vector<EventTarget*> m_targets;
};

} // namespace kestrove::x11
