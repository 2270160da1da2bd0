#include "platform/x11/connection/x11_event_loop.h"

#include <poll.h>

#include <algorithm>
#include <utility>

namespace kestrove::x11 {

namespace {

// With nothing due, the loop still looks round once a minute.
constexpr auto kLongestWait = std::chrono::seconds{60};

struct Matcher {
    const std::function<bool(const XEvent&)>* matches;
};

Bool MatchesEvent(Display*, XEvent* event, XPointer argument) {
    const auto* matcher = reinterpret_cast<const Matcher*>(argument);
    return (*matcher->matches)(*event) ? True : False;
}

} // namespace

void EventLoop::pumpOnce() {
    const auto now = Clock::now();
    for (EventTarget* target : m_targets) {
        target->fireDue(now);
    }
    if (XPending(m_display) > 0) {
        XEvent event;
        XNextEvent(m_display, &event);
        for (EventTarget* target : m_targets) {
            if (target->handleEvent(event)) {
                break;
            }
        }
        return;
    }
    auto deadline = Clock::now() + kLongestWait;
    for (const EventTarget* target : m_targets) {
        if (const auto next = target->nextDeadline(); next && *next < deadline) {
            deadline = *next;
        }
    }
    wait(deadline);
}

std::optional<XEvent> EventLoop::waitForEvent(const std::function<bool(const XEvent&)>& matches,
                                              Clock::time_point deadline) {
    Matcher matcher{&matches};
    XEvent event;
    XFlush(m_display);
    while (true) {
        // Looks through the queue and what the server has sent so far; what
        // does not match stays queued, and the socket is drained, so the wait
        // below sleeps until the server says something new.
        if (XCheckIfEvent(m_display, &event, MatchesEvent, reinterpret_cast<XPointer>(&matcher)) !=
            False) {
            return event;
        }
        if (Clock::now() >= deadline) {
            return std::nullopt;
        }
        wait(deadline);
    }
}

void EventLoop::wait(Clock::time_point deadline) {
    XFlush(m_display);
    std::vector<pollfd> descriptors{{ConnectionNumber(m_display), POLLIN, 0}};
    std::vector<std::pair<EventTarget*, std::size_t>> owners; // target, its first descriptor
    for (EventTarget* target : m_targets) {
        const std::vector<int> own = target->waitDescriptors();
        if (own.empty()) {
            continue;
        }
        owners.emplace_back(target, descriptors.size());
        for (const int fd : own) {
            descriptors.push_back({fd, POLLIN, 0});
        }
    }
    const auto remaining =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    // Round up, so the wait never ends just before the deadline.
    const int timeout = static_cast<int>(std::clamp<long long>(remaining + 1, 0, 60'000));
    if (poll(descriptors.data(), descriptors.size(), timeout) <= 0) {
        return;
    }
    for (std::size_t i = 0; i < owners.size(); ++i) {
        const std::size_t end = i + 1 < owners.size() ? owners[i + 1].second : descriptors.size();
        const bool ready =
            std::any_of(descriptors.begin() + owners[i].second, descriptors.begin() + end,
                        [](const pollfd& fd) { return fd.revents != 0; });
        if (ready) {
            owners[i].first->dispatchDescriptors();
        }
    }
}

} // namespace kestrove::x11
