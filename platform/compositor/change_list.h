// The rectangles of a picture that changed, kept apart while that saves
// work and merged where it does not: two rectangles that overlap or nearly
// touch cost less as their bounding box than as two requests. Every place
// that keeps changes between two looks keeps them in one of these, so each
// has the same cap: past it, everything counts as changed.
#pragma once

#include "platform/types.h"

#include <cstddef>
#include <utility>
#include <vector>

namespace kestrove {

class ChangeList {
public:
    // Beyond `limit` rectangles the list gives up and counts as everything.
    explicit ChangeList(std::size_t limit = 64) : m_limit(limit) {}

    void add(const Rect& changed) {
        if (m_everything || IsEmpty(changed)) {
            return;
        }
        Rect merged = changed;
        // A merge can make the box reach others: look again until none joins.
        for (bool joined = true; joined;) {
            joined = false;
            for (auto it = m_rects.begin(); it != m_rects.end(); ++it) {
                const Rect box = Union(*it, merged);
                if (Area(box) <=
                    Area(*it) + Area(merged) - Area(Intersection(*it, merged)) + kRequestCost) {
                    merged = box;
                    m_rects.erase(it);
                    joined = true;
                    break;
                }
            }
        }
        if (m_rects.size() >= m_limit) {
            addEverything();
            return;
        }
        m_rects.push_back(merged);
    }
    void addEverything() {
        m_everything = true;
        m_rects.clear();
    }
    void clear() {
        m_everything = false;
        m_rects.clear();
    }
    bool everything() const { return m_everything; }
    bool empty() const { return !m_everything && m_rects.empty(); }
    const std::vector<Rect>& rects() const { return m_rects; }
    // What the caller kept of the rectangles (parts of them), as they are:
    // each was chosen, so none is merged again.
    void replaceRects(std::vector<Rect> kept) { m_rects = std::move(kept); }
    // What changed as rectangles: all of `whole` when everything did.
    std::vector<Rect> rectsIn(const Rect& whole) const {
        return m_everything ? std::vector<Rect>{whole} : m_rects;
    }
    // The pixels the rectangles cover; what two of them share counts twice.
    long long area() const {
        long long total = 0;
        for (const Rect& r : m_rects) {
            total += Area(r);
        }
        return total;
    }

private:
    // What one more request costs, in pixels: merging is worth it while the
    // bounding box adds fewer pixels than this.
    static constexpr long long kRequestCost = 1024;

    std::size_t m_limit;
    bool m_everything = false;
    std::vector<Rect> m_rects;
};

} // namespace kestrove
