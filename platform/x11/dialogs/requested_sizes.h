// The sizes a window asked the server (or window manager) for, and the sizes
// given in answer, for a short while. A window manager answers one request
// with a real ConfigureNotify and a synthetic one, and answers late; a report
// of such a size is the program's own resize coming back, never a size the
// user or the window manager chose, and must not start another refit.
#pragma once

#include "platform/x11/connection/x11_timers.h"

#include <utility>
#include <vector>

namespace kestrove::x11 {

class RequestedSizes {
public:
    // Reports later than this after the last request are someone else's.
    static constexpr auto kAnswerWindow = std::chrono::seconds{1};

    void note(int width, int height, Clock::time_point now);
    bool holds(int width, int height, Clock::time_point now) const;

private:
    std::vector<std::pair<int, int>> m_sizes;
    Clock::time_point m_until{};
};

} // namespace kestrove::x11
