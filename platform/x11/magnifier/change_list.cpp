#include "platform/x11/magnifier/change_list.h"

namespace kestrove::x11 {

namespace {

// What one more request costs, in pixels: merging is worth it while the
// bounding box adds fewer pixels than this.
constexpr long long kRequestCost = 1024;

} // namespace

void ChangeList::add(const Rect& changed) {
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
        m_everything = true;
        m_rects.clear();
        return;
    }
    m_rects.push_back(merged);
}

void ChangeList::clear() {
    m_everything = false;
    m_rects.clear();
}

long long ChangeList::area() const {
    long long total = 0;
    for (const Rect& r : m_rects) {
        total += Area(r);
    }
    return total;
}

} // namespace kestrove::x11
