// The rectangles of a picture that changed, kept apart while that saves
// work and merged where it does not: two rectangles that overlap or nearly
// touch cost less as their bounding box than as two requests.
#pragma once

#include "platform/types.h"

#include <cstddef>
#include <vector>

namespace kestrove::x11 {

class ChangeList {
public:
    // Beyond `limit` rectangles the list gives up and counts as everything.
    explicit ChangeList(std::size_t limit = 64) : m_limit(limit) {}

    void add(const Rect& changed);
    void clear();
    bool everything() const { return m_everything; }
    bool empty() const { return !m_everything && m_rects.empty(); }
    const std::vector<Rect>& rects() const { return m_rects; }
    // The pixels the rectangles cover; what two of them share counts twice.
    long long area() const;

private:
    std::size_t m_limit;
    bool m_everything = false;
    std::vector<Rect> m_rects;
};

} // namespace kestrove::x11
