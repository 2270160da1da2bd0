#include "platform/x11/magnifier/root_stacking.h"

#include <X11/Xlib-xcb.h>
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

RootStacking::RootStacking(Display* display, Window mirror)
    : m_display(display), m_root(DefaultRootWindow(display)), m_mirror(mirror) {
    XWindowAttributes root{};
    XGetWindowAttributes(display, m_root, &root);
    XSelectInput(display, m_root, root.your_event_mask | SubstructureNotifyMask);
}

void RootStacking::handleEvent(const XEvent& event) {
    if (event.xany.window != m_root) {
        return;
    }
    switch (event.type) {
    case CreateNotify:
    case DestroyNotify:
    case MapNotify:
    case UnmapNotify:
    case ConfigureNotify:
    case ReparentNotify:
    case CirculateNotify:
    case GravityNotify:
        m_stale = true;
        break;
    default:
        break;
    }
}

const std::vector<Rect>& RootStacking::coverAbove() {
    if (m_stale) {
        m_stale = false;
        reread();
    }
    return m_cover;
}

Window RootStacking::findTopLevel() const {
    xcb_connection_t* connection = XGetXCBConnection(m_display);
    xcb_window_t window = static_cast<xcb_window_t>(m_mirror);
    for (;;) {
        auto tree =
            Owned(xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr));
        if (!tree) {
            return None;
        }
        if (tree->parent == m_root) {
            return window;
        }
        if (tree->parent == XCB_WINDOW_NONE) {
            return None;
        }
        window = tree->parent;
    }
}

void RootStacking::reread() {
    m_cover.clear();
    const Window top = findTopLevel();
    if (top == None) {
        return; // the mirror is not on the screen: nothing of it can be seen
    }
    xcb_connection_t* connection = XGetXCBConnection(m_display);
    auto tree = Owned(xcb_query_tree_reply(
        connection, xcb_query_tree(connection, static_cast<xcb_window_t>(m_root)), nullptr));
    if (!tree) {
        return;
    }
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    const int count = xcb_query_tree_children_length(tree.get());
    // Bottom to top: only the windows after the mirror's matter.
    const auto* end = children + count;
    const auto* own = std::find(children, end, static_cast<xcb_window_t>(top));
    if (own == end) {
        return;
    }
    // All requests first, then the replies: one round trip for all of them.
    std::vector<std::pair<xcb_get_window_attributes_cookie_t, xcb_get_geometry_cookie_t>> asked;
    for (const auto* child = own + 1; child != end; ++child) {
        asked.emplace_back(xcb_get_window_attributes(connection, *child),
                           xcb_get_geometry(connection, *child));
    }
    for (const auto& [attributesCookie, geometryCookie] : asked) {
        auto attributes =
            Owned(xcb_get_window_attributes_reply(connection, attributesCookie, nullptr));
        auto geometry = Owned(xcb_get_geometry_reply(connection, geometryCookie, nullptr));
        // An input-only window draws nothing: what lies under it shows.
        if (!attributes || !geometry || attributes->map_state != XCB_MAP_STATE_VIEWABLE ||
            attributes->_class != XCB_WINDOW_CLASS_INPUT_OUTPUT) {
            continue;
        }
        const int border = 2 * geometry->border_width;
        m_cover.push_back(Rect{geometry->x, geometry->y, geometry->x + geometry->width + border,
                               geometry->y + geometry->height + border});
    }
}

} // namespace kestrove::x11
