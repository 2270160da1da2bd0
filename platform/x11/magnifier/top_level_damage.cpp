#include "platform/x11/magnifier/top_level_damage.h"

#include <X11/Xlib-xcb.h>
#include <X11/extensions/Xfixes.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace kestrove::x11 {

namespace {

template <typename Reply> using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

// Replies are taken with their errors: a window that vanished meanwhile is
// simply left out, not reported as a fault.
template <typename Reply> ReplyPtr<Reply> Owned(Reply* reply) {
    return ReplyPtr<Reply>(reply, &std::free);
}

} // namespace

TopLevelDamage::TopLevelDamage(Display* display, int damageEventBase)
    : m_display(display), m_root(DefaultRootWindow(display)), m_damageEventBase(damageEventBase),
      m_scratch(XFixesCreateRegion(display, nullptr, 0)) {
    XWindowAttributes root{};
    XGetWindowAttributes(display, m_root, &root);
    XSelectInput(display, m_root, root.your_event_mask | SubstructureNotifyMask);
}

TopLevelDamage::~TopLevelDamage() {
    for (const TopLevel& top : m_windows) {
        forget(top);
    }
    XFixesDestroyRegion(m_display, m_scratch);
}

void TopLevelDamage::forget(const TopLevel& top) {
    // A window's damage goes with the window.
    if (m_destroyed.count(top.window) == 0) {
        XDamageDestroy(m_display, top.damage);
    }
}

bool TopLevelDamage::handleEvent(const XEvent& event) {
    if (event.type == m_damageEventBase + XDamageNotify) {
        const auto& notify = reinterpret_cast<const XDamageNotifyEvent&>(event);
        const bool ours = std::any_of(m_windows.begin(), m_windows.end(),
                                      [&](const TopLevel& t) { return t.damage == notify.damage; });
        m_pending = m_pending || ours;
        return ours;
    }
    if (event.xany.window != m_root) {
        return false;
    }
    switch (event.type) {
    case DestroyNotify:
        m_destroyed.insert(event.xdestroywindow.window);
        [[fallthrough]];
    case CreateNotify:
    case MapNotify:
    case UnmapNotify:
    case ConfigureNotify:
    case ReparentNotify:
    case CirculateNotify:
    case GravityNotify:
        m_stale = true;
        m_pending = true;
        break;
    default:
        break;
    }
    return false;
}

void TopLevelDamage::take(XserverRegion drawn, ChangeList& moved) {
    m_pending = false;
    if (m_stale) {
        m_stale = false;
        reread(moved);
    }
    // Requests only, no round trip: the caller fetches the sum once.
    for (const TopLevel& top : m_windows) {
        XDamageSubtract(m_display, top.damage, None, m_scratch);
        XFixesTranslateRegion(m_display, m_scratch, top.originX, top.originY);
        XFixesUnionRegion(m_display, drawn, drawn, m_scratch);
    }
}

void TopLevelDamage::discard() {
    for (const TopLevel& top : m_windows) {
        XDamageSubtract(m_display, top.damage, None, None);
    }
    // What moved is still told at the next look: the compositor may not
    // have shown it yet when everything is read.
    m_pending = m_stale;
}

void TopLevelDamage::reread(ChangeList& moved) {
    std::vector<TopLevel> now;
    xcb_connection_t* connection = XGetXCBConnection(m_display);
    auto tree = Owned(xcb_query_tree_reply(
        connection, xcb_query_tree(connection, static_cast<xcb_window_t>(m_root)), nullptr));
    if (tree) {
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        const int count = xcb_query_tree_children_length(tree.get());
        // All requests first, then the replies: one round trip for all of them.
        std::vector<std::pair<xcb_get_window_attributes_cookie_t, xcb_get_geometry_cookie_t>> asked;
        for (int i = 0; i < count; ++i) {
            asked.emplace_back(xcb_get_window_attributes(connection, children[i]),
                               xcb_get_geometry(connection, children[i]));
        }
        for (int i = 0; i < count; ++i) {
            auto attributes =
                Owned(xcb_get_window_attributes_reply(connection, asked[i].first, nullptr));
            auto geometry = Owned(xcb_get_geometry_reply(connection, asked[i].second, nullptr));
            // An input-only window draws nothing.
            if (!attributes || !geometry || attributes->map_state != XCB_MAP_STATE_VIEWABLE ||
                attributes->_class != XCB_WINDOW_CLASS_INPUT_OUTPUT) {
                continue;
            }
            const int border = geometry->border_width;
            now.push_back(
                TopLevel{children[i], None,
                         Rect{geometry->x, geometry->y, geometry->x + geometry->width + 2 * border,
                              geometry->y + geometry->height + 2 * border},
                         geometry->x + border, geometry->y + border});
        }
    }
    // What a window covered and covers changed where it appeared, went,
    // moved or changed its place in the stacking order.
    std::vector<Window> before;
    for (const TopLevel& old : m_windows) {
        before.push_back(old.window);
    }
    std::vector<Window> after;
    for (const TopLevel& top : now) {
        if (std::find(before.begin(), before.end(), top.window) != before.end()) {
            after.push_back(top.window);
        }
    }
    std::erase_if(
        before, [&](Window w) { return std::find(after.begin(), after.end(), w) == after.end(); });
    for (TopLevel& top : now) {
        const auto old = std::find_if(m_windows.begin(), m_windows.end(),
                                      [&](const TopLevel& t) { return t.window == top.window; });
        if (old == m_windows.end() || m_destroyed.count(top.window) != 0) {
            top.damage = XDamageCreate(m_display, top.window, XDamageReportNonEmpty);
            moved.add(top.outer);
            continue;
        }
        top.damage = old->damage;
        old->damage = None;
        const auto rank = [&](const std::vector<Window>& order) {
            return std::find(order.begin(), order.end(), top.window) - order.begin();
        };
        if (!(old->outer == top.outer) || rank(before) != rank(after)) {
            moved.add(old->outer);
            moved.add(top.outer);
        }
    }
    for (const TopLevel& old : m_windows) {
        if (old.damage != None) {
            moved.add(old.outer);
            forget(old);
        }
    }
    m_windows = std::move(now);
    m_destroyed.clear();
}

} // namespace kestrove::x11
