#include "platform/x11/dialogs/requested_sizes.h"

#include <algorithm>

namespace kestrove::x11 {

void RequestedSizes::note(int width, int height, Clock::time_point now) {
    if (now >= m_until) {
        m_sizes.clear();
    }
    m_sizes.emplace_back(width, height);
    m_until = now + kAnswerWindow;
}

bool RequestedSizes::holds(int width, int height, Clock::time_point now) const {
    return now < m_until &&
           std::find(m_sizes.begin(), m_sizes.end(), std::pair{width, height}) != m_sizes.end();
}

} // namespace kestrove::x11
